#include "platform/system.h"

#include "platform/win32/windows_api.h"

namespace plat {

int LastError() { return static_cast<int>(::GetLastError()); }
void SetLastError(int error) { ::SetLastError(static_cast<DWORD>(error)); }

std::string ErrorDescription(int error) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<char*>(&text), 0, nullptr);
    std::string description(n && text ? text : "", n && text ? n : 0);
    if (text) LocalFree(text);
    return description;
}

LocalTime GetLocalTime() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

void Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

std::string ModuleBaseName() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path) return {};
    std::string name(path, n);
    if (const auto slash = name.find_last_of("\\/:"); slash != std::string::npos)
        name.erase(0, slash + 1);
    if (const auto dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
    return name;
}

struct File {
    HANDLE handle;
};

File* FileCreate(const char* name) {
    const HANDLE handle = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return new File{handle};
}

bool FileWrite(File* file, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file->handle, bytes, chunk, &written, nullptr)) return false;
        if (written == 0) {
            ::SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        bytes += written;
        size -= written;
    }
    return true;
}

bool FileClose(File* file) {
    // Written through to the disk here, so that a full disk is reported, not lost.
    bool ok = FlushFileBuffers(file->handle) != 0;
    DWORD error = ok ? 0 : ::GetLastError();
    if (!CloseHandle(file->handle) && ok) {
        ok = false;
        error = ::GetLastError();
    }
    delete file;
    if (!ok) ::SetLastError(error);
    return ok;
}

}  // namespace plat
