// Inputs the fuzzer found harmful, kept with the fault they showed in their names. Each must
// open or be refused with a message, under every silence setting; the sanitizer build and the
// fuzzer's own seed run (these files are in its corpus too) catch stray reads.
#include "core/Errors.h"
#include "core/FileInformation.h"
#include "core/OpenFile.h"
#include "settings/SettingsTable.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace zefrin;
using namespace zefrin::test;
namespace fs = std::filesystem;

namespace {

class NoLevels : public EndLevelAnalyser
{
  public:
    void AnalyseLevels(StreamModel&, const EngineContext&, const std::string&, int, int) override {}
};

} // namespace

TEST(FuzzFindings, OpenOrAreRefusedWithAMessage)
{
    const fs::path folder = fs::path(ZEFRIN_FIXTURES_DIR) / "fuzz";
    int seen = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        SCOPED_TRACE(entry.path().filename().string());
        ++seen;
        const Bytes data = ReadFileBytes(entry.path());
        for (int aggressivity : {0, 1, 2}) {
            for (int32_t patched : {0, -1}) {
                SettingsRecord settings = DefaultSettings();
                settings.RadioGroupTrimAggressivity = aggressivity;
                settings.CheckBoxAllowPatchedStreams = patched;
                MessageTexts texts;
                NullEventPump pump;
                EngineContext context{settings, texts, pump};
                NoLevels levels;
                StreamModel model;
                std::vector<std::string> warnings;
                try {
                    AnalyseFile(model, context, entry.path().string(), data.data(),
                                uint32_t(data.size()), levels, warnings);
                    ShowFileInformation(model, texts);
                    EXPECT_GT(model.Info.FrameCount, 0);
                } catch (const Error& e) {
                    EXPECT_NE(std::string(e.what()), "");
                }
            }
        }
    }
    EXPECT_GT(seen, 0);
}

TEST(FuzzFindings, SilentFrameOfLayerIIsAWholeFrameOfZeroAllocations)
{
    // Layer I at 32 kbit/s has 32-byte frames, shorter than the side-information size that
    // the scanner requires of a frame: the silent frame takes the next bitrate that holds
    // it, and stays all zero after its header (every bit allocation 0).
    SynthFrameShape layer1;
    layer1.Layer = 3;
    layer1.BitrateIndex = 4;
    SynthFrameShape other = layer1;
    other.BitrateIndex = 5;
    Bytes data;
    for (int i = 0; i < 300; ++i) {
        SynthFrameShape s = i % 3 == 0 ? other : layer1;
        s.Seed = uint32_t(i + 1);
        Append(data, SynthFrame(s));
    }
    SettingsRecord settings = DefaultSettings();
    settings.CheckBoxSmartCBR = 0;
    MessageTexts texts;
    NullEventPump pump;
    EngineContext context{settings, texts, pump};
    NoLevels levels;
    StreamModel model;
    std::vector<std::string> warnings;
    AnalyseFile(model, context, "layer1.mp2", data.data(), uint32_t(data.size()), levels, warnings);
    ASSERT_EQ(model.Info.FrameCount, 300);
    const FrameHeader& silent = model.Info.SilentFrameHeader;
    EXPECT_GT(silent.FrameLength, silent.SideInfoEnd);
    EXPECT_EQ(silent.Bitrate, 64);
    for (uint32_t i = 4; i < silent.FrameLength; ++i)
        EXPECT_EQ(model.Info.SilentFrame[i], 0) << i;
}
