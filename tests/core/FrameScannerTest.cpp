#include "core/FrameScanner.h"

#include "core/Crc16.h"
#include "core/Errors.h"
#include "settings/SettingsTable.h"
#include "support/TestSupport.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>

using namespace zefrin;
using zefrin::test::Append;
using zefrin::test::Bytes;
using zefrin::test::SynthFrame;
using zefrin::test::SynthFrameShape;
using zefrin::test::SynthStream;

namespace {

// Counts what the scanner asks of the user interface; may request a stop.
class RecordingPump : public EventPump
{
  public:
    explicit RecordingPump(StreamModel* stopModel = nullptr, int stopAfter = -1)
        : m_stopModel(stopModel)
        , m_stopAfter(stopAfter)
    {
    }
    void ProcessMessages() override
    {
        ++Pumped;
        if (m_stopModel != nullptr && Pumped == m_stopAfter)
            m_stopModel->StopRequested = true;
    }
    void ProgressChanged(int position) override { LastProgress = position; }

    int Pumped = 0;
    int LastProgress = -1;

  private:
    StreamModel* m_stopModel;
    int m_stopAfter;
};

struct ScanRun
{
    explicit ScanRun(uint32_t capacity = FrameTableCapacity)
        : Model(std::make_unique<StreamModel>(capacity))
    {
    }
    std::unique_ptr<StreamModel> Model;
    SettingsRecord Settings = DefaultSettings();
    MessageTexts Texts;
    RecordingPump Pump;

    StreamInfo& Info() { return Model->Info; }
    FrameRecord& Frame(int i) { return Model->Frames[uint32_t(i)]; }
    void Scan(const Bytes& data, int bitrateIndex = 0)
    {
        EngineContext context{Settings, Texts, Pump};
        ScanFrames(*Model, context, data.data(), uint32_t(data.size()), bitrateIndex);
    }
    std::string ScanError(const Bytes& data)
    {
        try {
            Scan(data);
        } catch (const Error& e) {
            return e.what();
        }
        return "(no error)";
    }
};

SynthFrameShape Cbr128()
{
    return SynthFrameShape{};
}

// Frames with a different seed each, so that no two payloads are alike.
Bytes Frames(SynthFrameShape shape, int count, uint32_t firstSeed = 1)
{
    Bytes out;
    for (int i = 0; i < count; ++i) {
        shape.Seed = firstSeed + uint32_t(i);
        Append(out, SynthFrame(shape));
    }
    return out;
}

Bytes Junk(size_t n, uint8_t value = 0)
{
    return Bytes(n, value);
}

} // namespace

TEST(FrameScanner, CleanCbrStream)
{
    ScanRun run;
    const Bytes data = Frames(Cbr128(), 50);
    run.Scan(data);
    EXPECT_EQ(run.Info().FrameCount, 50);
    EXPECT_EQ(run.Info().MissingHeaderCount, 0);
    EXPECT_FALSE(run.Info().FirstFrameMissing);
    EXPECT_FALSE(run.Info().LastFrameIncomplete);
    EXPECT_FALSE(run.Info().HasExtraInfo);
    EXPECT_FALSE(IsVariableBitrate(run.Info()));
    EXPECT_EQ(run.Info().ConstantBits, 0xFFFDFFFFu);
    EXPECT_EQ(run.Info().BitrateUse[9], 50);
    EXPECT_EQ(run.Info().Reference.Bitrate, 128);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(run.Frame(i).Offset, uint32_t(i * 417));
        EXPECT_EQ(run.Frame(i).Length, 417u);
        EXPECT_EQ(run.Frame(i).HeaderSize, 4);
        EXPECT_FALSE(run.Frame(i).Silent);
    }
    EXPECT_EQ(run.Frame(50).Offset, data.size()); // sentinel: where the last frame ends
    EXPECT_EQ(run.Pump.LastProgress, 62);
}

TEST(FrameScanner, JunkBeforeFirstFrame)
{
    ScanRun run;
    Bytes data = Junk(300, 0x11);
    Append(data, Frames(Cbr128(), 20));
    run.Scan(data);
    EXPECT_TRUE(run.Info().FirstFrameMissing);
    EXPECT_EQ(run.Info().MissingHeaderCount, 0);
    EXPECT_EQ(run.Info().FrameCount, 20);
    EXPECT_EQ(run.Frame(0).Offset, 300u);
}

TEST(FrameScanner, JunkBetweenFramesIsAMissingHeader)
{
    ScanRun run;
    Bytes data = Frames(Cbr128(), 10);
    Append(data, Junk(20));
    Append(data, Frames(Cbr128(), 10, 100));
    run.Scan(data);
    EXPECT_EQ(run.Info().FrameCount, 20);
    EXPECT_EQ(run.Info().MissingHeaderCount, 1);
    EXPECT_EQ(run.Info().MissingHeaderFrames[0], 10);
    EXPECT_EQ(run.Frame(10).Offset, 10u * 417 + 20);
    EXPECT_FALSE(run.Info().LastFrameIncomplete);
}

TEST(FrameScanner, FrameAfterAGapMustAgreeWithTheConstantBits)
{
    // After the gap comes a frame whose copyright bit differs from every frame before it:
    // only a patched-stream scan takes it.
    SynthFrameShape other = Cbr128();
    Bytes odd = SynthFrame(other);
    odd[3] |= 0x08; // copyright bit (Raw bit 27)
    Bytes data = Frames(Cbr128(), 10);
    Append(data, Junk(20));
    Append(data, odd);
    Append(data, Frames(Cbr128(), 10, 100));

    ScanRun strict;
    strict.Scan(data);
    EXPECT_EQ(strict.Info().FrameCount, 20);
    EXPECT_EQ(strict.Frame(10).Offset, 10u * 417 + 20 + 417);
    EXPECT_EQ(strict.Info().ConstantBits & CopyrightBit, CopyrightBit);

    ScanRun patched;
    patched.Settings.CheckBoxAllowPatchedStreams = -1;
    patched.Scan(data);
    EXPECT_EQ(patched.Info().FrameCount, 21);
    EXPECT_EQ(patched.Frame(10).Offset, 10u * 417 + 20);
    EXPECT_EQ(patched.Info().ConstantBits & CopyrightBit, 0u);
}

TEST(FrameScanner, HeaderWithBitrateIndex15IsNotMissing)
{
    // The word at the expected place passes the sync test but does not decode; the next
    // candidate is taken without the constant-bits agreement.
    Bytes bad = SynthFrame(Cbr128());
    bad[2] |= 0xF0; // bitrate index 15
    Bytes odd = SynthFrame(Cbr128());
    odd[3] |= 0x08;
    Bytes data = Frames(Cbr128(), 10);
    Append(data, Bytes(bad.begin(), bad.begin() + 30));
    Append(data, odd);
    Append(data, Frames(Cbr128(), 5, 50));
    ScanRun run;
    run.Scan(data);
    EXPECT_EQ(run.Info().MissingHeaderCount, 0);
    EXPECT_EQ(run.Info().FrameCount, 16);
    EXPECT_EQ(run.Frame(10).Offset, 10u * 417 + 30);
}

TEST(FrameScanner, TrailingJunkMakesAnIncompleteEnd)
{
    ScanRun run;
    Bytes data = Frames(Cbr128(), 1000);
    Append(data, Junk(500));
    run.Scan(data);
    EXPECT_EQ(run.Info().FrameCount, 1000);
    EXPECT_EQ(run.Info().MissingHeaderCount, 0);
    EXPECT_TRUE(run.Info().LastFrameIncomplete);
    EXPECT_EQ(run.Frame(1000).Offset, 1000u * 417);
    EXPECT_EQ(run.Frame(1000).Length, 500u);
    EXPECT_EQ(run.Frame(1001).Offset, data.size());
}

TEST(FrameScanner, CutLastFrameAndShortTails)
{
    const Bytes whole = Frames(Cbr128(), 12);
    {
        ScanRun run;
        const Bytes cut(whole.begin(), whole.end() - 100);
        run.Scan(cut);
        EXPECT_EQ(run.Info().FrameCount, 11);
        EXPECT_TRUE(run.Info().LastFrameIncomplete);
        EXPECT_EQ(run.Frame(11).Offset, 11u * 417);
        EXPECT_EQ(run.Frame(11).Length, 417u - 100);
        EXPECT_EQ(run.Frame(12).Offset, cut.size());
    }
    for (size_t extra = 1; extra <= 4; ++extra) {
        SCOPED_TRACE(extra);
        ScanRun run;
        Bytes data = whole;
        Append(data, Junk(extra, 0xFF));
        run.Scan(data);
        EXPECT_EQ(run.Info().FrameCount, 12);
        EXPECT_FALSE(run.Info().LastFrameIncomplete);
    }
}

TEST(FrameScanner, ExtraInformationFrame)
{
    for (bool crc : {false, true}) {
        SCOPED_TRACE(crc ? "with CRC" : "without CRC");
        SynthFrameShape shape = Cbr128();
        shape.ChannelMode = 0;
        shape.Crc = crc;
        Bytes info = SynthFrame(shape);
        const size_t tagAt = crc ? 38 : 36;
        std::memcpy(info.data() + tagAt, "Info", 4);
        Bytes data = info;
        Append(data, Frames(shape, 30, 7));
        ScanRun run;
        run.Scan(data);
        EXPECT_TRUE(run.Info().HasInfo);
        EXPECT_FALSE(run.Info().HasXing);
        EXPECT_TRUE(run.Info().HasExtraInfo);
        EXPECT_FALSE(run.Info().FirstFrameMissing);
        EXPECT_EQ(run.Info().FrameCount, 30);
        EXPECT_EQ(run.Frame(0).Offset, 417u);
        EXPECT_FALSE(run.Info().ExtraInfoHeader.HasCrc);
        // The copy is normalised: no CRC, the tag right after the side information.
        EXPECT_EQ(run.Info().ExtraInfoFrame[1] & 1, 1);
        EXPECT_EQ(std::memcmp(run.Info().ExtraInfoFrame.data() + 36, "Info", 4), 0);
    }
}

TEST(FrameScanner, LongExtraInformationFrameIsNotCopiedPastItsBuffer)
{
    // The copy holds 1728 bytes (MPEG-1 Layer II at 384 kbit/s and 32 kHz); MPEG-2.5
    // Layer II at 160 kbit/s and 8 kHz has 2880-byte frames.
    SynthFrameShape shape;
    shape.Version = 0;
    shape.Layer = 2;
    shape.BitrateIndex = 14;
    shape.SampleRateIndex = 2;
    shape.ChannelMode = 0;
    Bytes xing = SynthFrame(shape);
    ASSERT_EQ(xing.size(), 2880u);
    std::memcpy(xing.data() + 21, "Xing", 4);
    Bytes data = xing;
    Append(data, Frames(shape, 6, 3));
    ScanRun run;
    run.Scan(data);
    EXPECT_TRUE(run.Info().HasXing);
    EXPECT_EQ(run.Info().FrameCount, 6);
}

TEST(FrameScanner, VariableBitrateAndDominantIndex)
{
    SynthFrameShape at160 = Cbr128();
    at160.BitrateIndex = 10;
    const auto stream = [&](int others) {
        Bytes data = Frames(Cbr128(), 1000 - others);
        Append(data, Frames(at160, others, 5000));
        return data;
    };
    ScanRun few;
    few.Scan(stream(7)); // 7 <= 1000 / 128
    EXPECT_TRUE(IsVariableBitrate(few.Info()));
    EXPECT_EQ(DominantBitrateIndex(few.Info()), 9);

    ScanRun many;
    many.Scan(stream(8));
    EXPECT_TRUE(IsVariableBitrate(many.Info()));
    EXPECT_EQ(DominantBitrateIndex(many.Info()), 0);

    // With a fixed bitrate index, the others become gaps.
    ScanRun fixed;
    fixed.Scan(stream(7), 9);
    EXPECT_EQ(fixed.Info().FrameCount, 993);
    EXPECT_FALSE(IsVariableBitrate(fixed.Info()));
    EXPECT_TRUE(fixed.Info().LastFrameIncomplete);
}

TEST(FrameScanner, SilenceJudgement)
{
    SynthFrameShape noHuffman = Cbr128();
    noHuffman.SilentSideInfo = true;
    SynthFrameShape uniform = Cbr128();
    uniform.RandomPayload = false;
    uniform.Fill = 0x00;
    SynthFrameShape mostlyOneByte = Cbr128(); // 60 % of the payload one value
    const auto mostly = [&] {
        Bytes f = SynthFrame(mostlyOneByte);
        for (size_t i = 36; i < 36 + (417 - 36) * 6 / 10; ++i)
            f[i] = 0x77;
        return f;
    }();

    Bytes data = Frames(Cbr128(), 3);
    Append(data, SynthFrame(noHuffman)); // 3
    Append(data, SynthFrame(uniform));   // 4
    Append(data, mostly);                // 5
    Append(data, Frames(Cbr128(), 3, 40));

    const struct
    {
        int Aggressivity;
        bool Uniform, Mostly;
    } cases[] = {{0, true, false}, {1, true, true}, {2, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Aggressivity);
        ScanRun run;
        run.Settings.RadioGroupTrimAggressivity = c.Aggressivity;
        run.Scan(data);
        ASSERT_EQ(run.Info().FrameCount, 9);
        EXPECT_FALSE(run.Frame(2).Silent);
        EXPECT_TRUE(run.Frame(3).Silent);
        EXPECT_EQ(run.Frame(4).Silent, c.Uniform);
        EXPECT_EQ(run.Frame(5).Silent, c.Mostly);
        EXPECT_FALSE(run.Frame(6).Silent);
    }

    // The last frame takes the silence of the one before it.
    Bytes tail = Frames(Cbr128(), 5);
    Append(tail, SynthFrame(noHuffman));
    Append(tail, Frames(Cbr128(), 1, 99));
    ScanRun run;
    run.Scan(tail);
    EXPECT_TRUE(run.Frame(6).Silent);
}

TEST(FrameScanner, ReservoirDepth)
{
    // main_data_begin is the first 9 bits of the side information (MPEG-1).
    const auto withBegin = [](uint32_t seed, unsigned mainDataBegin) {
        SynthFrameShape shape = Cbr128();
        shape.Seed = seed;
        Bytes f = SynthFrame(shape);
        f[4] = uint8_t(mainDataBegin >> 1);
        f[5] = uint8_t((f[5] & 0x7F) | ((mainDataBegin & 1) << 7));
        return f;
    };
    Bytes data;
    Append(data, withBegin(1, 300)); // first frame: nothing before it
    Append(data, withBegin(2, 0));
    Append(data, withBegin(3, 381)); // exactly one frame of 381 main-data bytes
    Append(data, withBegin(4, 382)); // one byte into the frame before that
    Append(data, withBegin(5, 511));
    ScanRun run;
    run.Scan(data);
    ASSERT_EQ(run.Info().FrameCount, 5);
    const int expected[] = {0, 0, 1, 2, 2};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(run.Frame(i).ReservoirDepth, expected[i]) << "frame " << i;
}

TEST(FrameScanner, BadCrcIsCounted)
{
    SynthFrameShape shape = Cbr128();
    shape.Crc = true;
    Bytes data = Frames(shape, 20);
    data[5 * 417 + 4] ^= 0x5A;
    ScanRun run;
    run.Scan(data);
    EXPECT_EQ(run.Info().FrameCount, 20);
    EXPECT_EQ(run.Info().BadCrcCount, 1);
    EXPECT_TRUE(run.Info().Reference.HasCrc);
    EXPECT_NE(run.Frame(5).Crc, StoredFrameCrc(data.data() + 5 * 417));
    EXPECT_EQ(run.Frame(6).Crc, StoredFrameCrc(data.data() + 6 * 417));
}

TEST(FrameScanner, FrameTableLimit)
{
    SynthFrameShape small; // MPEG-2 Layer III 8 kbit/s 22.05 kHz: 26-byte frames
    small.Version = 2;
    small.BitrateIndex = 1;
    small.ChannelMode = 3;
    const Bytes frame = SynthFrame(small);
    ASSERT_EQ(frame.size(), 26u);
    const auto stream = [&](int count) {
        Bytes data;
        data.reserve(size_t(count) * frame.size());
        for (int i = 0; i < count; ++i)
            Append(data, frame);
        return data;
    };
    ScanRun fits;
    fits.Scan(stream(16381));
    EXPECT_EQ(fits.Info().FrameCount, 16381);

    ScanRun tooBig;
    EXPECT_EQ(tooBig.ScanError(stream(16382)),
              "File too big (100%)\n\nCheck Zefrin FAQ for more info.");

    // A table sized for the file takes any number of frames.
    ScanRun large(100000);
    large.Scan(stream(40000));
    EXPECT_EQ(large.Info().FrameCount, 40000);
    EXPECT_EQ(large.Frame(40000).Offset, 40000u * 26);
}

TEST(FrameScanner, NoHeaderAndStops)
{
    const std::string noHeader = "Failed to find a valid MPEG header - this is not an MP3 file!";
    ScanRun tiny;
    EXPECT_EQ(tiny.ScanError(Bytes{0xFF, 0xFB, 0x90}), noHeader);
    ScanRun text;
    EXPECT_EQ(text.ScanError(Bytes(5000, 'a')), noHeader);

    // Esc during the scan: the pump sets StopRequested, the next frame stops.
    ScanRun stopped;
    stopped.Pump = RecordingPump(stopped.Model.get(), 1);
    EXPECT_EQ(stopped.ScanError(Frames(Cbr128(), 3000)), "Stopped at user request");
    EXPECT_EQ(stopped.Info().FrameCount, 1024);
}

TEST(FrameScanner, PumpsEvery1024Frames)
{
    ScanRun run;
    run.Scan(Frames(Cbr128(), 3100));
    EXPECT_EQ(run.Pump.Pumped, 3); // at 1023, 2047 and 3071 frames
}
