#include "platform/system.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <time.h>
#include <unistd.h>

namespace plat {

namespace {
thread_local int t_lastError = 0;
}

int LastError() { return t_lastError; }
void SetLastError(int error) { t_lastError = error; }

std::string ErrorDescription(int error) {
    char buffer[256];
    // GNU strerror_r: may return a static text instead of filling the buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return text ? std::string(text) : std::string();
}

LocalTime GetLocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

void Sleep(std::uint32_t milliseconds) {
    timespec left{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

std::string ModuleBaseName() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    std::string name(path, static_cast<std::size_t>(n));
    name.erase(0, name.rfind('/') + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

struct File {
    std::FILE* stream;
};

File* FileCreate(const char* name) {
    std::FILE* stream = std::fopen(name, "wb");
    if (!stream) {
        SetLastError(errno);
        return nullptr;
    }
    return new File{stream};
}

bool FileWrite(File* file, const void* data, std::size_t size) {
    errno = 0;
    if (std::fwrite(data, 1, size, file->stream) == size) return true;
    SetLastError(errno ? errno : EIO);
    return false;
}

bool FileClose(File* file) {
    // A full disk often shows only here, when the last buffered block is flushed.
    errno = 0;
    const bool ok = std::fclose(file->stream) == 0;
    if (!ok) SetLastError(errno ? errno : EIO);
    delete file;
    return ok;
}

}  // namespace plat
