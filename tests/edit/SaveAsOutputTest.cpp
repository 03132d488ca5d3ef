// What Save As writes, held against what the program itself says about it: the size the trim
// controls predicted (the WAV header's data size, the seek frame's byte count and the
// preview's buffer all rest on it), and the frames the saved file shows when it is opened.
// The common cases are in WriterTest; these are the corners the writer fuzzer pointed at.
#include "core/EndLevels.h"
#include "core/Errors.h"
#include "core/EventPump.h"
#include "core/MessageTexts.h"
#include "core/OpenFile.h"
#include "edit/EditState.h"
#include "edit/FileWriter.h"
#include "edit/SaveCommands.h"
#include "edit/TrimFigures.h"
#include "settings/SettingsTable.h"
#include "support/TestSupport.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace zefrin::test {
namespace {

class NoEndLevels final : public EndLevelAnalyser
{
  public:
    void AnalyseLevels(StreamModel&, const EngineContext&, const std::string&, int, int) override {}
};

// One file opened as the window opens it, saved as Save As saves it.
struct Session
{
    SettingsRecord Settings = DefaultSettings();
    MessageTexts Texts;
    NullEventPump Pump;
    std::unique_ptr<StreamModel> Model;
    EditState State;
    std::string Name;

    EngineContext Context() { return EngineContext{Settings, Texts, Pump}; }

    // Fails the current test when the file does not open.
    bool Open(const std::string& name)
    {
        Model = std::make_unique<StreamModel>();
        Name = name;
        NoEndLevels levels;
        try {
            OpenFile(*Model, Context(), Name, levels);
        } catch (const Error& e) {
            ADD_FAILURE() << "opening " << Name << ": " << e.what();
            return false;
        }
        State = EditState{};
        State.FileOpen = true;
        return true;
    }

    void SaveAs(const std::string& dest, const EditControls& controls)
    {
        UpdateDiskSpaceSavingDisplay(State, *Model, Settings, controls.Begin, controls.End);
        WriteParameters parameters;
        ASSERT_TRUE(SaveWriterParameters(parameters, *Model, Settings, State, Name, dest, "in.mp3",
                                         controls));
        WriteEditedFile(*Model, Context(), State, parameters);
    }
};

// 40 frames, the shapes repeated in turn.
Bytes Frames(const std::vector<SynthFrameShape>& shapes)
{
    Bytes out;
    for (size_t i = 0; i < 40; ++i)
        Append(out, SynthFrame(shapes[i % shapes.size()]));
    return out;
}

// A frame that carries no audio, only an "Info" tag (flags, frames, bytes) after its side
// information, as encoders write one at the start of a file.
Bytes InfoFrame(SynthFrameShape shape)
{
    shape.RandomPayload = false;
    shape.Fill = 0;
    shape.SilentSideInfo = true;
    Bytes frame = SynthFrame(shape);
    FrameHeader header;
    EXPECT_TRUE(DecodeFrameHeader(header, LoadHeaderWord(frame.data())));
    const uint8_t tag[] = {'I', 'n', 'f', 'o', 0, 0, 0, 3, 0, 0, 0, 40, 0, 0, 0x10, 0};
    std::memcpy(frame.data() + header.SideInfoEnd, tag, sizeof tag);
    return frame;
}

uint32_t BigEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

SynthFrameShape WithBitrate(SynthFrameShape shape, int index)
{
    shape.BitrateIndex = index;
    shape.Seed = uint32_t(index);
    return shape;
}

// The writer keeps the source's frame only when the model's copy of it is whole; a longer one
// is replaced by a fresh frame, and the prediction must count that one.
TEST(SaveAsOutput, SizeIsThePredictedOneWhenTheSourcesInfoFrameIsTooLongToKeep)
{
    // MPEG-2.5 Layer II at 8000 Hz: 32 kbit/s audio, an Info frame at 160 kbit/s (2880 bytes,
    // more than the 1728 the model keeps).
    const SynthFrameShape audio{.Version = 0, .Layer = 2, .BitrateIndex = 4, .SampleRateIndex = 2};
    TempDir dir;
    Bytes file = InfoFrame(WithBitrate(audio, 14));
    Append(file, Frames({audio}));
    WriteFileBytes(dir / "in.mp3", file);
    Session session; // the defaults keep the source's extra-information frame
    ASSERT_TRUE(session.Open((dir / "in.mp3").string()));
    ASSERT_TRUE(session.Model->Info.HasExtraInfo);

    session.SaveAs((dir / "out.mp3").string(), EditControls{.Begin = 2, .End = 3});

    const Bytes written = ReadFileBytes(dir / "out.mp3");
    EXPECT_EQ(int64_t(written.size()), session.State.PredictedSize);
    FrameHeader seekFrame;
    ASSERT_TRUE(DecodeFrameHeader(seekFrame, LoadHeaderWord(written.data())));
    EXPECT_LT(seekFrame.FrameLength, 1728u);
    EXPECT_EQ(BigEndian32(written.data() + seekFrame.SideInfoEnd + 12), written.size())
        << "the seek frame's byte count";
}

// Silent frames are made from the stream's reference header; the saved file must show them as
// frames when it is opened again.
TEST(SaveAsOutput, SilenceAddedBeforeTheAudioOpensAsFrames)
{
    const SynthFrameShape layer1{.Layer = 3, .BitrateIndex = 5};
    // Layer I at 32 kbit/s and 44100 Hz: 36 bytes with padding, 32 without, never more than
    // the 36 bytes of side information the scanner expects in a frame.
    const SynthFrameShape shortLayer1{.Layer = 3, .BitrateIndex = 1, .Padding = true};
    const SynthFrameShape mpeg25{.Version = 0, .Layer = 1, .BitrateIndex = 1, .SampleRateIndex = 2};
    struct Case
    {
        const char* Name;
        Bytes File;
        bool Patched;
    };
    Bytes shortFirst = SynthFrame(shortLayer1);
    Append(shortFirst, Frames({mpeg25}));
    const Case cases[] = {
        // Silence of a variable bitrate takes the lowest bitrate that still makes a frame.
        {"Layer I, variable bitrate", Frames({layer1, WithBitrate(layer1, 6)}), false},
        // The first header is taken for the reference although it is too short to be counted
        // as a frame; the frames after it are of another layer, which a patched stream allows.
        {"a first header too short for a frame, patched stream", shortFirst, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempDir dir;
        WriteFileBytes(dir / "in.mp3", c.File);
        Session session;
        session.Settings.ComboBoxAddSilenceBeginning = 2; // 0.2 s
        session.Settings.CheckBoxAllowPatchedStreams = c.Patched ? -1 : 0;
        ASSERT_TRUE(session.Open((dir / "in.mp3").string()));
        session.SaveAs((dir / "out.mp3").string(), EditControls{});
        ASSERT_GT(session.State.AddSilenceBeginFrames, 0);

        Session saved;
        saved.Settings = session.Settings;
        ASSERT_TRUE(saved.Open((dir / "out.mp3").string()));
        EXPECT_EQ(saved.Model->Info.MissingHeaderCount, 0);
        EXPECT_FALSE(saved.Model->Info.FirstFramesInvalid);
        EXPECT_EQ(saved.Model->Info.FrameCount, session.State.OutputFrameCount);
    }
}

} // namespace
} // namespace zefrin::test
