#include "cli/CliEventPump.h"

#include <gtest/gtest.h>
#include <sstream>

namespace zefrin {
namespace {

TEST(CliEventPump, DrawsOnlyWhenEnabledAndErasesItsLine)
{
    std::ostringstream quiet;
    {
        CliEventPump pump(quiet, false);
        pump.ProgressChanged(31);
        pump.ProcessMessages();
    }
    EXPECT_EQ(quiet.str(), "");

    std::ostringstream shown;
    CliEventPump pump(shown, true);
    pump.ProgressChanged(31);
    EXPECT_EQ(shown.str(), "\r[" + std::string(20, '#') + std::string(20, ' ') + "] 50%");
    pump.ProgressChanged(CliEventPump::BarEnd);
    pump.Finish();
    const std::string erased = "\r\x1b[K";
    ASSERT_GE(shown.str().size(), erased.size());
    EXPECT_EQ(shown.str().substr(shown.str().size() - erased.size()), erased);
    EXPECT_NE(shown.str().find("] 100%"), std::string::npos);
    // Nothing shown, nothing to erase: a message written next starts where it should.
    const size_t before = shown.str().size();
    pump.Finish();
    EXPECT_EQ(shown.str().size(), before);
}

} // namespace
} // namespace zefrin
