// A real file opened as the window opens it, and saved as the Save and Save As commands save
// it: figures recomputed for the trimming points and the settings of the moment, then the
// writer with the parameters both commands pass. The loudness of the ending is not judged
// (this layer has no decoder): every frame counts as loud, which only affects the ending
// warning.
#pragma once

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

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace zefrin::test {

class LoudEndLevels final : public EndLevelAnalyser
{
  public:
    void AnalyseLevels(StreamModel& model, const EngineContext&, const std::string&, int firstFrame,
                       int endFrame) override
    {
        for (int i = firstFrame; i < endFrame; ++i)
            model.Frames[uint32_t(i)].Level = 1 << 20;
    }
};

class OpenedForSaving
{
  public:
    SettingsRecord Settings = DefaultSettings();
    MessageTexts Texts;
    NullEventPump Pump;
    std::unique_ptr<StreamModel> Model = std::make_unique<StreamModel>();
    EditState State;
    std::string Path;
    std::string EditName;

    // Fails the current test when the file does not open.
    bool Open(const std::filesystem::path& path)
    {
        LoudEndLevels levels;
        Path = path.string();
        try {
            EditName = OpenFile(*Model, Context(), Path, levels).EditName;
        } catch (const Error& e) {
            ADD_FAILURE() << "opening " << Path << ": " << e.what();
            return false;
        }
        State.FileOpen = true;
        return true;
    }

    // Save (dest empty) or Save As (dest given) with the controls as they stand; the figures
    // are brought up to date first, as every change of a control or setting does. With
    // `memory`, the same call writes into that buffer instead, up to its size.
    WriteResult Save(const std::filesystem::path& dest, const EditControls& controls,
                     std::vector<uint8_t>* memory = nullptr)
    {
        UpdateDiskSpaceSavingDisplay(State, *Model, Settings, controls.Begin, controls.End);
        WriteParameters parameters;
        EXPECT_TRUE(SaveWriterParameters(parameters, *Model, Settings, State, Path, dest.string(),
                                         EditName, controls));
        if (memory != nullptr) {
            parameters.MemoryOut = memory->data();
            parameters.MemoryOutCapacity = memory->size();
        }
        return WriteEditedFile(*Model, Context(), State, parameters);
    }

    EngineContext Context() { return EngineContext{Settings, Texts, Pump}; }
    const StreamInfo& Info() const { return Model->Info; }
};

} // namespace zefrin::test
