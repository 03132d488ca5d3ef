#include "Cli.h"

#include <iostream>

int main(int argc, char** argv)
{
    return zefrin::RunCli(argc, argv, std::cout, std::cerr);
}
