#include "InfoCommand.h"

#include "CliEventPump.h"
#include "JsonFormatter.h"
#include "TextFormatter.h"
#include "audio/DecoderLevelAnalyser.h"
#include "core/Errors.h"
#include "core/OpenFile.h"
#include "platform/Mp3FrameDecoder.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <memory>

namespace zefrin {

namespace {

constexpr uint32_t ShortestFrameLength = 24; // MPEG-2 Layer III, 8 kbit/s at 24000 Hz
// Entries past the last frame that the scanner uses as sentinels.
constexpr uint32_t SentinelEntries = 3;
constexpr uint32_t MinimumCapacity = 16;
constexpr uint32_t MaximumCapacity =
    std::numeric_limits<uint32_t>::max() / ShortestFrameLength + SentinelEntries;

} // namespace

const CommandDefinition& InfoCommandDefinition()
{
    static const CommandDefinition definition{
        "info",
        "Shows what the information fields and the Advanced info window show for FILE.",
        "FILE",
        1,
        1,
        {
            {"--json", nullptr, "write one JSON object instead of text"},
            {"--frames", nullptr, "list every frame as well"},
            {"--max-frames", "N",
             "frame table of N records, so at most N - 3 frames (the window's table has "
             "16384); by default the table fits the file"},
        },
    };
    return definition;
}

uint32_t DefaultFrameTableCapacity(uint64_t fileSize)
{
    const uint64_t limited = std::min<uint64_t>(fileSize, std::numeric_limits<uint32_t>::max());
    return std::max(MinimumCapacity, uint32_t(limited / ShortestFrameLength) + SentinelEntries);
}

int RunInfoCommand(const CliOptions& options, std::ostream& out, std::ostream& err, bool progress)
{
    const std::string& fileName = options.Operands.at(0);
    const bool json = options.Has("--json");
    const bool frames = options.Has("--frames");

    uint32_t capacity = 0;
    if (auto given = NumberOption(options, "--max-frames", MinimumCapacity, MaximumCapacity)) {
        capacity = uint32_t(*given);
    } else {
        // A file that cannot be measured fails in the open, with the window's own text.
        std::error_code error;
        const auto size = std::filesystem::file_size(fileName, error);
        capacity = DefaultFrameTableCapacity(error ? 0 : size);
    }

    const SettingsRecord settings = ResolveSettings(options.Settings);
    const MessageTexts texts;
    CliEventPump pump(err, progress);
    const EngineContext context{settings, texts, pump};

    auto model = std::make_unique<StreamModel>(capacity);
    Mp3FrameDecoder decoder;
    DecoderLevelAnalyser levels(decoder);
    const OpenResult result = OpenFile(*model, context, fileName, levels);
    pump.Finish();

    if (json) {
        WriteInfoJson(out, *model, result, frames);
    } else {
        for (const std::string& warning : result.Warnings)
            WriteWarning(err, warning);
        WriteInfoText(out, *model, result, frames);
    }
    // A full disk or a closed pipe must not pass for a complete report.
    out.flush();
    if (!out)
        throw Error("Failed to write the output");
    return 0;
}

} // namespace zefrin
