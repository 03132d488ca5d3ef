#include "IniFile.h"

#include "core/Errors.h"

#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace zefrin {

namespace fs = std::filesystem;

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The name of a section line, or nothing for any other line.
std::optional<std::string_view> SectionOf(std::string_view line)
{
    line = Trimmed(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    return Trimmed(line.substr(0, line.find(']')));
}

struct KeyLine
{
    std::string_view Key;
    std::string_view Value;
};

// The key and raw value of a "key=value" line, or nothing for any other line.
std::optional<KeyLine> KeyOf(std::string_view line)
{
    std::string_view trimmed = Trimmed(line);
    if (trimmed.empty() || trimmed.front() == '[' || trimmed.front() == ';')
        return std::nullopt;
    size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    return KeyLine{Trimmed(trimmed.substr(0, equals)), Trimmed(trimmed.substr(equals + 1))};
}

std::string ValueAsRead(std::string_view raw)
{
    if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"')
        raw = raw.substr(1, raw.size() - 2);
    return std::string(raw.substr(0, IniFile::ValueLimit));
}

bool HasLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

void WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw std::system_error(errno, std::generic_category());
        }
        done += size_t(written);
    }
}

} // namespace

IniFile IniFile::FromText(std::string_view text)
{
    IniFile file;
    size_t firstBreak = text.find('\n');
    if (firstBreak != std::string_view::npos && firstBreak > 0 && text[firstBreak - 1] == '\r')
        file.m_lineBreak = "\r\n";
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        file.m_lines.emplace_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return file;
}

IniFile IniFile::Load(const fs::path& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return IniFile();
        RaiseWithSystemError("Unable to read " + path.string());
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            int error = errno;
            ::close(fd);
            RaiseWithSystemError("Unable to read " + path.string(), error);
        }
        if (got == 0)
            break;
        text.append(buffer, size_t(got));
    }
    ::close(fd);
    return FromText(text);
}

std::optional<size_t> IniFile::FindKeyLine(std::string_view section, std::string_view key) const
{
    bool inSection = false;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (auto name = SectionOf(m_lines[i])) {
            inSection = SameLetters(*name, section);
            continue;
        }
        if (!inSection)
            continue;
        auto keyLine = KeyOf(m_lines[i]);
        if (keyLine && SameLetters(keyLine->Key, key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::Read(std::string_view section, std::string_view key) const
{
    std::optional<size_t> line = FindKeyLine(section, key);
    if (!line)
        return std::nullopt;
    return ValueAsRead(KeyOf(m_lines[*line])->Value);
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                const std::string& defaultValue) const
{
    return Read(section, key).value_or(defaultValue);
}

void IniFile::Write(std::string_view section, std::string_view key, std::string_view value)
{
    std::string_view trimmedKey = Trimmed(key);
    if (HasLineBreak(section) || section.find(']') != std::string_view::npos ||
        Trimmed(section) != section)
        throw Error("Invalid ini section name \"" + std::string(section) + "\"");
    if (HasLineBreak(key) || trimmedKey.empty() || trimmedKey != key ||
        key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';')
        throw Error("Invalid ini key name \"" + std::string(key) + "\"");
    if (HasLineBreak(value))
        throw Error("The value of " + std::string(key) + " holds a line break");

    std::string line = std::string(key) + "=" + std::string(value);
    if (std::optional<size_t> existing = FindKeyLine(section, key)) {
        m_lines[*existing] = line;
        return;
    }

    // After the last non-blank line of the first occurrence of the section.
    for (size_t i = 0; i < m_lines.size(); ++i) {
        auto name = SectionOf(m_lines[i]);
        if (!name || !SameLetters(*name, section))
            continue;
        size_t insertAt = i + 1;
        for (size_t j = i + 1; j < m_lines.size() && !SectionOf(m_lines[j]); ++j) {
            if (!Trimmed(m_lines[j]).empty())
                insertAt = j + 1;
        }
        m_lines.insert(m_lines.begin() + std::ptrdiff_t(insertAt), line);
        return;
    }

    if (!m_lines.empty() && !Trimmed(m_lines.back()).empty())
        m_lines.emplace_back();
    m_lines.push_back("[" + std::string(section) + "]");
    m_lines.push_back(line);
}

std::string IniFile::Text() const
{
    std::string text;
    for (const std::string& line : m_lines) {
        text += line;
        text += m_lineBreak;
    }
    return text;
}

void IniFile::Save(const fs::path& path) const
{
    std::error_code ignored;
    fs::path target = fs::is_symlink(path, ignored) ? fs::canonical(path, ignored) : path;
    if (target.empty())
        target = path;

    struct stat existing
    {
    };
    bool exists = ::stat(target.c_str(), &existing) == 0;

    fs::path temporary = target;
    temporary += "." + std::to_string(::getpid()) + ".tmp";
    ::unlink(temporary.c_str());
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        RaiseWithSystemError("Unable to write " + path.string());
    try {
        if (exists && ::fchmod(fd, existing.st_mode & 07777) != 0)
            throw std::system_error(errno, std::generic_category());
        WriteAll(fd, Text());
        if (::fsync(fd) != 0)
            throw std::system_error(errno, std::generic_category());
        if (::close(fd) != 0) {
            fd = -1;
            throw std::system_error(errno, std::generic_category());
        }
        fd = -1;
        if (::rename(temporary.c_str(), target.c_str()) != 0)
            throw std::system_error(errno, std::generic_category());
    } catch (const std::system_error& failure) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporary.c_str());
        RaiseWithSystemError("Unable to write " + path.string(), failure.code().value());
    }
}

IniSettingsStore::IniSettingsStore(fs::path path)
    : m_path(std::move(path))
    , m_file(IniFile::Load(m_path))
{
}

IniSettingsStore::~IniSettingsStore()
{
    try {
        Flush();
    } catch (const Error&) {
        // Destructors must not throw; WriteSettings has flushed and reported already.
    }
}

int32_t IniSettingsStore::ReadInteger(const std::string& section, const std::string& name,
                                      int32_t defaultValue) const
{
    std::optional<std::string> text = m_file.Read(section, name);
    if (!text)
        return defaultValue;
    return ParseSettingInteger(*text, true).value_or(defaultValue);
}

std::string IniSettingsStore::ReadString(const std::string& section, const std::string& name,
                                         const std::string& defaultValue) const
{
    return m_file.ReadString(section, name, defaultValue);
}

void IniSettingsStore::WriteInteger(const std::string& section, const std::string& name,
                                    int32_t value)
{
    m_file.Write(section, name, std::to_string(value));
    m_pending = true;
}

void IniSettingsStore::WriteString(const std::string& section, const std::string& name,
                                   const std::string& value)
{
    bool blankAtEnd = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
    bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    m_file.Write(section, name, blankAtEnd || quoted ? "\"" + value + "\"" : value);
    m_pending = true;
}

void IniSettingsStore::Flush()
{
    if (!m_pending)
        return;
    m_file.Save(m_path);
    m_pending = false;
}

} // namespace zefrin
