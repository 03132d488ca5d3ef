// The command-line tool as a function: parses the arguments, runs one command and turns its
// failures into the program's message texts on `err` and an exit code (0 done, 1 failed,
// 2 usage error). main() only hands it the real streams; tests hand it string streams.
#pragma once

#include <ostream>

namespace zefrin {

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err);

} // namespace zefrin
