// The per-user settings store: the settings, the window positions and the other per-user
// values under the organisation "Zefrin" of the system's native settings store (the key
// Software\Zefrin of the current user on Windows, $XDG_CONFIG_HOME/Zefrin.conf on Linux).
#pragma once

#include "settings/SettingsStore.h"

#include <filesystem>
#include <memory>

namespace zefrin {

// Section "Zefrin" is the top level of the store, so each setting is one value named exactly
// like its control directly under the key; any other section is a group (a subkey) of that
// name. Integers are stored as integers and texts as strings. An integer read that finds a
// string converts its decimal text; a text that is no number gives the default. Names are
// compared as the native store compares them (without regard to case in the registry, exactly
// in the Linux file).
//
// Works without a Qt application object. Values written reach the disk at Flush (which
// WriteSettings calls) or when the store is destroyed.
class UserSettingsStore : public SettingsStore
{
  public:
    UserSettingsStore();
    ~UserSettingsStore() override;
    UserSettingsStore(const UserSettingsStore&) = delete;
    UserSettingsStore& operator=(const UserSettingsStore&) = delete;

    int32_t ReadInteger(const std::string& section, const std::string& name,
                        int32_t defaultValue) const override;
    std::string ReadString(const std::string& section, const std::string& name,
                           const std::string& defaultValue) const override;
    void WriteInteger(const std::string& section, const std::string& name, int32_t value) override;
    void WriteString(const std::string& section, const std::string& name,
                     const std::string& value) override;
    // Raises an Error naming the store when it cannot be written.
    void Flush() override;

    // Where the store lives: the file on Linux, the registry path on Windows.
    std::string Location() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Makes every UserSettingsStore made afterwards keep its file in `folder` instead of the
// user's configuration folder. For tests (and the GUI tests' private stores); call it before
// the first store is made.
void SetUserSettingsFolderForTests(const std::filesystem::path& folder);

} // namespace zefrin
