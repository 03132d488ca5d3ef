#include "cli/CliOptions.h"

#include "cli/InfoCommand.h"
#include "core/Errors.h"
#include "settings/SettingsTable.h"
#include "support/TestSupport.h"

#include <fstream>
#include <gtest/gtest.h>

namespace zefrin {
namespace {

CliOptions Parse(const std::vector<std::string>& args)
{
    const CommandDefinition definitions[] = {InfoCommandDefinition()};
    return ParseCommandLine(args, definitions);
}

TEST(CliOptions, TakesOptionsInEitherFormAndKeepsAssignmentsInOrder)
{
    const CliOptions o =
        Parse({"info", "--json", "--max-frames=100", "--set", "A=1", "--settings", "x.ini",
               "--set=B=c=d", "--user-settings", "song.mp3", "--max-frames", "200"});
    EXPECT_EQ(o.Command, "info");
    EXPECT_TRUE(o.Has("--json"));
    EXPECT_FALSE(o.Has("--frames"));
    EXPECT_EQ(o.Value("--max-frames"), "200"); // the last one counts
    EXPECT_EQ(o.Operands, std::vector<std::string>{"song.mp3"});
    EXPECT_TRUE(o.Settings.UserSettings);
    EXPECT_EQ(o.Settings.File, "x.ini");
    const std::vector<std::pair<std::string, std::string>> expected = {{"A", "1"}, {"B", "c=d"}};
    EXPECT_EQ(o.Settings.Assignments, expected);
}

TEST(CliOptions, DoubleDashMakesTheRestOperands)
{
    const CliOptions o = Parse({"info", "--", "--json"});
    EXPECT_FALSE(o.Has("--json"));
    EXPECT_EQ(o.Operands, std::vector<std::string>{"--json"});
    EXPECT_EQ(Parse({"info", "-"}).Operands, std::vector<std::string>{"-"});
}

TEST(CliOptions, HelpNeedsNoOperands)
{
    EXPECT_TRUE(Parse({"--help"}).Help);
    EXPECT_TRUE(Parse({"-h"}).Help);
    EXPECT_TRUE(Parse({"info", "--help"}).Help);
}

TEST(CliOptions, RefusesMalformedCommandLines)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"inf", "a.mp3"},
        {"--json", "info", "a.mp3"},
        {"info"},
        {"info", "a.mp3", "b.mp3"},
        {"info", "--jsn", "a.mp3"},
        {"info", "--json=1", "a.mp3"},
        {"info", "a.mp3", "--max-frames"},
        {"info", "--set", "NoEquals", "a.mp3"},
        {"info", "--set", "=1", "a.mp3"},
    };
    for (const auto& args : cases) {
        std::string line;
        for (const auto& a : args)
            line += a + " ";
        SCOPED_TRACE(line);
        EXPECT_THROW(Parse(args), UsageError);
    }
}

TEST(CliOptions, NumberOptionChecksTextAndRange)
{
    struct Case
    {
        const char* Text;
        bool Valid;
        uint64_t Value;
    };
    const Case cases[] = {{"16", true, 16},      {"16384", true, 16384}, {"15", false, 0},
                          {"1000001", false, 0}, {"", false, 0},         {"12x", false, 0},
                          {"-20", false, 0},     {" 20", false, 0},      {"0x20", false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        const CliOptions o = Parse({"info", std::string("--max-frames=") + c.Text, "a.mp3"});
        if (c.Valid) {
            EXPECT_EQ(NumberOption(o, "--max-frames", 16, 1000000), c.Value);
        } else {
            EXPECT_THROW(NumberOption(o, "--max-frames", 16, 1000000), UsageError);
        }
    }
    EXPECT_EQ(NumberOption(Parse({"info", "a.mp3"}), "--max-frames", 16, 100), std::nullopt);
}

TEST(ResolveSettings, DefaultsThenFileThenAssignmentsInOrder)
{
    test::TempDir dir;
    const auto ini = dir / "Zefrin.ini";
    std::ofstream(ini) << "[Zefrin]\nCheckBoxSmartCBR=0\nCheckBoxCleanup=0\nEditID3Artist=Band\n";

    SettingsSources sources;
    EXPECT_EQ(ResolveSettings(sources).CheckBoxSmartCBR, DefaultSettings().CheckBoxSmartCBR);

    sources.File = ini.string();
    SettingsRecord record = ResolveSettings(sources);
    EXPECT_EQ(record.CheckBoxSmartCBR, 0);
    EXPECT_EQ(record.CheckBoxCleanup, 0);
    EXPECT_EQ(record.EditID3Artist, "Band");
    // Keys the file lacks keep their defaults.
    EXPECT_EQ(record.ComboBoxFadeDepth, DefaultSettings().ComboBoxFadeDepth);

    sources.Assignments = {
        {"CheckBoxSmartCBR", "-1"}, {"editid3artist", "Other Band"}, {"CheckBoxSmartCBR", "7"}};
    record = ResolveSettings(sources);
    EXPECT_EQ(record.CheckBoxSmartCBR, 7);
    EXPECT_EQ(record.CheckBoxCleanup, 0);
    EXPECT_EQ(record.EditID3Artist, "Other Band");
}

TEST(ResolveSettings, RefusedAssignmentIsUsageErrorMissingFileIsFailure)
{
    for (const auto& [name, value] :
         std::vector<std::pair<std::string, std::string>>{{"CheckBoxNoSuchThing", "1"},
                                                          {"CheckBoxSmartCBR", "on"},
                                                          {"RadioButtonID3Remove", "256"}}) {
        SCOPED_TRACE(name + "=" + value);
        SettingsSources sources;
        sources.Assignments = {{name, value}};
        EXPECT_THROW(ResolveSettings(sources), UsageError);
    }

    test::TempDir dir;
    SettingsSources sources;
    sources.File = (dir / "missing.ini").string();
    try {
        ResolveSettings(sources);
        FAIL() << "a missing settings file was taken as empty";
    } catch (const UsageError&) {
        FAIL() << "a missing file is no usage error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("missing.ini"), std::string::npos) << e.what();
    }
}

TEST(CliOptions, UsageTextListsEveryOptionWithinEightyColumns)
{
    const CommandDefinition definitions[] = {InfoCommandDefinition()};
    const std::string text = UsageText("zefrin-cli", definitions);
    for (const char* option : {"--json", "--frames", "--max-frames N", "--settings FILE",
                               "--set NAME=VALUE", "--user-settings", "--help"})
        EXPECT_NE(text.find(option), std::string::npos) << option;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
        start = end + 1;
    }
}

TEST(DefaultFrameTableCapacity, FitsAFileOfShortestFrames)
{
    EXPECT_EQ(DefaultFrameTableCapacity(0), 16u);
    EXPECT_EQ(DefaultFrameTableCapacity(24 * 1000), 1003u);
    // Files the mapping refuses (4 GiB and more) do not overflow the count.
    EXPECT_EQ(DefaultFrameTableCapacity(uint64_t(1) << 40), 0xFFFFFFFFu / 24 + 3);
}

} // namespace
} // namespace zefrin
