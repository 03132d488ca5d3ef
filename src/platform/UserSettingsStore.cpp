#include "UserSettingsStore.h"

#include "core/Errors.h"

#include <QSettings>
#include <QString>
#include <QVariant>

namespace zefrin {

namespace {

QString KeyOf(const std::string& section, const std::string& name)
{
    // Section "Zefrin" is the top level: the values sit directly in Software\Zefrin.
    if (section == "Zefrin")
        return QString::fromStdString(name);
    return QString::fromStdString(section) + "/" + QString::fromStdString(name);
}

} // namespace

struct UserSettingsStore::Impl
{
    QSettings Settings{QSettings::NativeFormat, QSettings::UserScope, "Zefrin"};
};

UserSettingsStore::UserSettingsStore()
    : m_impl(std::make_unique<Impl>())
{
}

UserSettingsStore::~UserSettingsStore() = default;

int32_t UserSettingsStore::ReadInteger(const std::string& section, const std::string& name,
                                       int32_t defaultValue) const
{
    QVariant value = m_impl->Settings.value(KeyOf(section, name));
    if (!value.isValid())
        return defaultValue;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        // A 32-bit value, as the registry keeps integers.
        return static_cast<int32_t>(static_cast<uint32_t>(value.toLongLong()));
    default:
        // A string (every value of the Linux file reads back as one): its decimal text.
        return ParseSettingInteger(value.toString().toStdString(), false).value_or(defaultValue);
    }
}

std::string UserSettingsStore::ReadString(const std::string& section, const std::string& name,
                                          const std::string& defaultValue) const
{
    QVariant value = m_impl->Settings.value(KeyOf(section, name));
    if (!value.isValid())
        return defaultValue;
    return value.toString().toStdString();
}

void UserSettingsStore::WriteInteger(const std::string& section, const std::string& name,
                                     int32_t value)
{
    m_impl->Settings.setValue(KeyOf(section, name), int(value));
}

void UserSettingsStore::WriteString(const std::string& section, const std::string& name,
                                    const std::string& value)
{
    m_impl->Settings.setValue(KeyOf(section, name), QString::fromStdString(value));
}

void UserSettingsStore::Flush()
{
    m_impl->Settings.sync();
    if (m_impl->Settings.status() != QSettings::NoError)
        throw Error("Unable to write the settings to " + Location());
}

std::string UserSettingsStore::Location() const
{
    return m_impl->Settings.fileName().toStdString();
}

void SetUserSettingsFolderForTests(const std::filesystem::path& folder)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(folder.string()));
}

} // namespace zefrin
