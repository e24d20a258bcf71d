#include "platform/profile.h"

#include "platform/system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

namespace plat {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// ASCII folding only: the names here are ASCII, and the C library's tolower would make
// the result depend on the process's locale.
char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Fold(x) == Fold(y); });
}

// Windows drops a pair of quotes only when the same quote opens and closes the value.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// ".\tandemix.ini" is the Windows spelling of a name relative to the working directory.
// (A bare name is looked up in the Windows directory there; here it is relative too.)
std::string LocalPath(const char* fileName) {
    std::string path = fileName;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

bool ReadWhole(const std::string& path, std::string& text) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(errno);  // ENOENT is 2, as ERROR_FILE_NOT_FOUND is on Windows
        return false;
    }
    char chunk[4096];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n > 0) {
            text.append(chunk, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            SetLastError(errno);
            close(fd);
            return false;
        }
    }
    close(fd);
    return true;
}

// The value of `key` in the first section named `section`; the lookup stops at the end
// of that section, as Windows does not merge sections of the same name.
std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key) {
    bool inSection = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = Trim(line);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            if (inSection) return std::nullopt;
            const std::size_t close = line.find(']');
            inSection = SameName(Trim(line.substr(1, close == std::string_view::npos
                                                         ? std::string_view::npos
                                                         : close - 1)),
                                 section);
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inSection || equals == std::string_view::npos) continue;
        if (SameName(Trim(line.substr(0, equals)), key))
            return Unquote(Trim(line.substr(equals + 1)));
    }
    return std::nullopt;
}

std::uint32_t CopyOut(std::string_view value, char* buffer, std::uint32_t size) {
    if (!buffer || size == 0) return 0;
    const std::size_t count = std::min<std::size_t>(value.size(), size - 1);
    std::memcpy(buffer, value.data(), count);
    buffer[count] = '\0';
    return static_cast<std::uint32_t>(count);
}

}  // namespace

std::uint32_t GetPrivateProfileStringA(const char* section, const char* key,
                                       const char* defaultValue, char* buffer,
                                       std::uint32_t size, const char* fileName) {
    // Windows lists the section or key names here; nothing in this program asks for that.
    if (!section || !key) return CopyOut({}, buffer, size);

    std::string text;
    if (fileName && ReadWhole(LocalPath(fileName), text)) {
        if (const auto value = FindValue(text, section, key)) return CopyOut(*value, buffer, size);
    }
    std::string_view fallback = defaultValue ? defaultValue : "";
    // Windows cuts trailing blanks off the default (the documentation warns about it).
    while (!fallback.empty() && IsBlank(fallback.back())) fallback.remove_suffix(1);
    return CopyOut(fallback, buffer, size);
}

}  // namespace plat
