// Splitting by hand-written cue sheets: where the tracks go and what they are called, a cue
// sheet carried in the ID3v2 tag, and the sheets that are refused before anything is written.
#include "CueFixtures.h"
#include "core/Errors.h"
#include "cue/CueSplitter.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace zefrin {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

// Everything below a folder, as paths relative to it.
std::vector<std::string> Tree(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(fs::relative(entry.path(), folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

class CueSplitTest : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        s_dir = new test::TempDir;
        s_tone = new Bytes(test::ReadFileBytes(test::MakeTone(*s_dir, "tone", 3.0)));
    }

    static void TearDownTestSuite()
    {
        delete s_tone;
        delete s_dir;
    }

    // The tone, behind `tag` when one is given, as "live.mp3" in a folder of this test, with
    // the cue sheet `cue` beside it unless it is empty; then opened.
    fs::path Place(const std::string& cue, const Bytes& tag = {})
    {
        const fs::path folder = m_dir / "music";
        fs::create_directory(folder);
        Bytes file = tag;
        test::Append(file, *s_tone);
        const fs::path path = folder / "live.mp3";
        test::WriteFileBytes(path, file);
        if (!cue.empty())
            test::WriteFileText(folder / "live.cue", cue);
        EXPECT_TRUE(m_file.Open(path));
        return path;
    }

    SplitResult Split(const fs::path& path)
    {
        return SplitByCueSheet(*m_file.Model, m_file.Context(), m_file.State, path.string(), {});
    }

    std::string Refusal(const fs::path& path)
    {
        try {
            Split(path);
        } catch (const Error& e) {
            return e.what();
        }
        return "accepted";
    }

    static test::TempDir* s_dir;
    static Bytes* s_tone;

    test::TempDir m_dir;
    test::OpenedMp3 m_file;
};

test::TempDir* CueSplitTest::s_dir = nullptr;
Bytes* CueSplitTest::s_tone = nullptr;

const std::vector<std::string> TwoTracks{"INDEX 01 00:00:00", "INDEX 01 00:01:00"};

std::vector<std::string> WithAlbum(const std::vector<std::string>& album)
{
    std::vector<std::string> lines = album;
    lines.push_back("FILE \"live.mp3\" MP3");
    lines.insert(lines.end(), TwoTracks.begin(), TwoTracks.end());
    return lines;
}

TEST_F(CueSplitTest, AlbumAndTrackNamesMakeFolderAndFileNames)
{
    const fs::path path = Place(test::CueText({
        "PERFORMER \"A\"",
        "TITLE \"B\"",
        "FILE \"live.mp3\" MP3",
        "TRACK 01 AUDIO",
        "PERFORMER \"X\"",
        "TITLE \"Y/Z?\"",
        "INDEX 01 00:00:00",
        "TRACK 02 AUDIO",
        "TITLE \"Encore\"",
        "INDEX 01 00:02:00",
    }));
    const SplitResult split = Split(path);
    // Beside the audio file, wherever the program was started.
    EXPECT_EQ(split.OutputFolder, (m_dir / "music" / "A - B").string() + "/");
    EXPECT_EQ(Tree(m_dir.Path()),
              (std::vector<std::string>{"music", "music/A - B", "music/A - B/01 X - Y-Z .mp3",
                                        "music/A - B/02 Encore.mp3", "music/live.cue",
                                        "music/live.mp3"}));
    const auto two = int32_t(MillisecondsToFrames(m_file.Model->Info.Reference, 2000));
    EXPECT_EQ(test::DecodeSamples(split.Files[0]).size(), size_t(two) * 1152);
    EXPECT_EQ(test::DecodeSamples(split.Files[1]).size(),
              size_t(m_file.Model->Info.FrameCount - two) * 1152);
}

struct FolderCase
{
    const char* Name;
    std::vector<std::string> AlbumLines; // before the FILE line
    std::string TagArtist;
    std::string TagTitle;
    std::string Folder; // under the audio file's folder
};

class CueSplitFolderTest : public CueSplitTest, public ::testing::WithParamInterface<FolderCase>
{
};

TEST_P(CueSplitFolderTest, FolderBesideTheAudioFileAndNoWhereElse)
{
    const FolderCase& c = GetParam();
    Bytes tag;
    if (!c.TagArtist.empty() || !c.TagTitle.empty()) {
        std::vector<std::pair<std::string, Bytes>> frames;
        if (!c.TagArtist.empty())
            frames.emplace_back("TPE1", test::TextFrameBody(c.TagArtist));
        if (!c.TagTitle.empty())
            frames.emplace_back("TIT2", test::TextFrameBody(c.TagTitle));
        tag = test::Id3v23Tag(frames);
    }
    const fs::path path = Place(test::CueText(WithAlbum(c.AlbumLines)), tag);
    const SplitResult split = Split(path);
    EXPECT_EQ(split.OutputFolder, (m_dir / "music" / c.Folder).string() + "/");
    std::vector<std::string> expected{"music",
                                      "music/" + c.Folder,
                                      "music/" + c.Folder + "/01.mp3",
                                      "music/" + c.Folder + "/02.mp3",
                                      "music/live.cue",
                                      "music/live.mp3"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Tree(m_dir.Path()), expected);
}

const FolderCase FolderCases[] = {
    {"PerformerAndTitle", {"PERFORMER \"A\"", "TITLE \"B\""}, "", "", "A - B"},
    {"PerformerAlone", {"PERFORMER \"A\""}, "Tag", "Tag", "A"},
    {"TitleAlone", {"TITLE \"B\""}, "", "", "B"},
    {"NoAlbumTagArtistAndTitle", {}, "Artist", "Album", "Artist - Album"},
    {"NoAlbumTagArtistAlone", {}, "Artist", "", "Artist"},
    {"NoAlbumTagTitleAlone", {}, "", "Album", "Album"},
    {"NoAlbumNoTag", {}, "", "", "live"},
    {"ParentFoldersInTheTitle", {"TITLE \"../../x\""}, "", "", "..-..-x"},
    {"AbsolutePathAsPerformer", {"PERFORMER \"/etc\""}, "", "", "-etc"},
    {"DotDotTitleFallsBackToTheTag", {"TITLE \"..\""}, "Artist", "Album", "Artist - Album"},
    {"DotDotFallsBackToTheFileName", {"TITLE \"..\""}, "..", "", "live"},
    {"DotTitle", {"TITLE \".\""}, "", "", "live"},
    {"SeparatorsInTheTag", {}, "AC/DC", "Live: 1991?", "AC-DC - Live  1991 "},
};

INSTANTIATE_TEST_SUITE_P(Cases, CueSplitFolderTest, ::testing::ValuesIn(FolderCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(CueSplitTest, CueSheetInTheTagIsUsedAndRemoved)
{
    const std::string cue = test::CueText({"FILE \"live.mp3\" MP3", "TRACK 01 AUDIO",
                                           "TITLE \"One\"", "INDEX 01 00:00:00", "TRACK 02 AUDIO",
                                           "TITLE \"Two\"", "INDEX 01 00:01:50"});
    const Bytes tag = test::Id3v23Tag({{"TPE1", test::TextFrameBody("Artist")},
                                       {"TIT2", test::TextFrameBody("Album")},
                                       {"GEOB", test::GeobFrameBody(cue)}});
    const fs::path path = Place("", tag);
    ASSERT_GT(m_file.Model->Id3v2.GeobLength, 0);
    const SplitResult split = Split(path);
    EXPECT_TRUE(split.Found);
    EXPECT_TRUE(split.CueFromTag);
    EXPECT_EQ(Tree(m_dir.Path()),
              (std::vector<std::string>{"music", "music/Artist - Album",
                                        "music/Artist - Album/01 One.mp3",
                                        "music/Artist - Album/02 Two.mp3", "music/live.mp3"}));

    // A sheet beside the file comes first, and stays.
    const std::string beside = test::CueText({"INDEX 01 00:00:00"});
    test::WriteFileText(m_dir / "music" / "live.cue", beside);
    const SplitResult second = Split(path);
    EXPECT_FALSE(second.CueFromTag);
    EXPECT_EQ(second.Files,
              std::vector<std::string>{(m_dir / "music" / "Artist - Album" / "01.mp3").string()});
    EXPECT_EQ(test::ReadFileText(m_dir / "music" / "live.cue"), beside);
}

TEST_F(CueSplitTest, RefusedCueSheetFromTheTagIsRemovedToo)
{
    const Bytes tag = test::Id3v23Tag(
        {{"GEOB", test::GeobFrameBody(test::CueText({"TRACK 02 AUDIO", "INDEX 01 00:00:00"}))}});
    const fs::path path = Place("", tag);
    EXPECT_EQ(Refusal(path), "invalid CUE file");
    EXPECT_EQ(Tree(m_dir.Path()), (std::vector<std::string>{"music", "music/live.mp3"}));
}

TEST_F(CueSplitTest, NoCueSheetAtAllFindsNothing)
{
    const Bytes tag = test::Id3v23Tag({{"TIT2", test::TextFrameBody("Album")}});
    const fs::path path = Place("", tag);
    const SplitResult split = Split(path);
    EXPECT_FALSE(split.Found);
    EXPECT_TRUE(split.Files.empty());
    EXPECT_EQ(Tree(m_dir.Path()), (std::vector<std::string>{"music", "music/live.mp3"}));
}

TEST_F(CueSplitTest, RefusedSheetsWriteNothing)
{
    std::vector<std::string> hundred{"PERFORMER \"A\"", "TITLE \"B\"", "FILE \"live.mp3\" MP3"};
    // One every 30 ms, more than a frame apart.
    for (int t = 0; t < 100; ++t) {
        const int ms = 30 * t;
        hundred.push_back("INDEX 01 00:0" + std::to_string(ms / 1000) + ":" +
                          std::to_string(100 + ms % 1000 / 10).substr(1));
    }
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {WithAlbum({"TITLE \"B\"", "TRACK 02 AUDIO"}), "invalid CUE file"},
        {{"TITLE \"B\"", "FILE \"live.mp3\" MP3", "INDEX 01 00:00:00", "INDEX 01 00:00:00"},
         "invalid CUE file - bad index order"},
        {{"TITLE \"B\"", "FILE \"live.mp3\" MP3", "INDEX 01 00:00:00", "INDEX 01 00:04:00"},
         "invalid CUE file - index out of range"},
        {{"TITLE \"B\"", "FILE \"live.mp3\" MP3", "INDEX 01 00:00:00", "PERFORMER \"A\"",
          "PERFORMER \"C\"", "INDEX 01 00:01:00"},
         "CUE PERFORMER found after INDEX"},
        {{"TITLE \"B\"", "FILE \"live.mp3\" MP3", "INDEX 01 00:00:00", "INDEX 01 00:0x:00"},
         "'0x' is not a valid integer value"},
        {hundred, "invalid CUE file - too many tracks"},
    };
    for (const auto& [lines, refusal] : cases) {
        const fs::path path = Place(test::CueText(lines));
        EXPECT_EQ(Refusal(path), refusal);
        EXPECT_EQ(Tree(m_dir.Path()),
                  (std::vector<std::string>{"music", "music/live.cue", "music/live.mp3"}))
            << refusal;
    }
}

TEST_F(CueSplitTest, TrackFileThatCannotBeWrittenIsTheWritersError)
{
    const fs::path path = Place(test::CueText(WithAlbum({"TITLE \"B\""})));
    // A file where the folder should be.
    test::WriteFileText(m_dir / "music" / "B", "");
    const std::string refusal = Refusal(path);
    EXPECT_EQ(refusal.rfind("Can't create destination file", 0), 0u) << refusal;
}

} // namespace
} // namespace zefrin
