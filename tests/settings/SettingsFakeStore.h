// An in-memory settings store for tests: values keep the type they were written with, as in
// the registry, and integer reads of strings take their decimal text.
#pragma once

#include "settings/SettingsStore.h"

#include <map>
#include <string>
#include <utility>
#include <variant>

namespace zefrin::test {

class FakeSettingsStore : public SettingsStore
{
  public:
    using Value = std::variant<int32_t, std::string>;
    using Key = std::pair<std::string, std::string>; // section, name

    int32_t ReadInteger(const std::string& section, const std::string& name,
                        int32_t defaultValue) const override
    {
        auto it = Values.find({section, name});
        if (it == Values.end())
            return defaultValue;
        if (auto number = std::get_if<int32_t>(&it->second))
            return *number;
        return ParseSettingInteger(std::get<std::string>(it->second), false).value_or(defaultValue);
    }
    std::string ReadString(const std::string& section, const std::string& name,
                           const std::string& defaultValue) const override
    {
        auto it = Values.find({section, name});
        if (it == Values.end())
            return defaultValue;
        if (auto number = std::get_if<int32_t>(&it->second))
            return std::to_string(*number);
        return std::get<std::string>(it->second);
    }
    void WriteInteger(const std::string& section, const std::string& name, int32_t value) override
    {
        Values[{section, name}] = value;
    }
    void WriteString(const std::string& section, const std::string& name,
                     const std::string& value) override
    {
        Values[{section, name}] = value;
    }
    void Flush() override { ++FlushCount; }

    std::map<Key, Value> Values;
    int FlushCount = 0;
};

} // namespace zefrin::test
