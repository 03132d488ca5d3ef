#include "ProgramPaths.h"

#include "IniFile.h"
#include "core/Errors.h"
#include "settings/SettingsTable.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>

namespace zefrin {

namespace fs = std::filesystem;

namespace {

std::string WithSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

// A folder the preview file can go to: it exists or could be made, and it takes new files.
bool UsableFolder(const QString& folder)
{
    return !folder.isEmpty() && QDir().mkpath(folder) && QFileInfo(folder).isWritable();
}

} // namespace

const std::string& ProgramFolder()
{
    static const std::string folder = [] {
        std::error_code error;
        fs::path executable = fs::read_symlink("/proc/self/exe", error);
        if (error)
            RaiseWithSystemError("Unable to find the program folder", error.value());
        return WithSlash(executable.parent_path().string());
    }();
    return folder;
}

std::string FindPreviewFilePath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!UsableFolder(folder))
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!UsableFolder(folder))
        folder = QDir::homePath();
    if (!UsableFolder(folder))
        folder = QDir::tempPath();
    return WithSlash(folder.toStdString()) + "Zefrin.preview.mp3";
}

const std::string& PreviewFilePath()
{
    static const std::string path = FindPreviewFilePath();
    return path;
}

std::string SettingsExportPath()
{
    return ProgramFolder() + "Zefrin.ini";
}

void ExportSettings(const SettingsRecord& record, const fs::path& path)
{
    IniSettingsStore store(path);
    WriteSettings(record, store);
}

void ImportSettings(SettingsRecord& record, const fs::path& path)
{
    std::error_code error;
    if (!fs::exists(path, error))
        throw Error(path.string() + " not found");
    IniSettingsStore store(path);
    ReadSettings(record, store);
}

} // namespace zefrin
