// What every long engine operation reads from the program around it: the settings record
// (read at the moment a value is needed), the message texts (maybe translated), and the
// event pump of the user interface.
#pragma once

#include "EventPump.h"
#include "MessageTexts.h"
#include "settings/SettingsRecord.h"

namespace zefrin {

struct EngineContext
{
    const SettingsRecord& Settings;
    const MessageTexts& Texts;
    EventPump& Pump;
};

} // namespace zefrin
