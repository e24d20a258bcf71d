// Kernel-side services of the platform layer: the thread's last error, error texts, time,
// sleeping and plain files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

// The error number of the last failing platform call on this thread (errno on Linux,
// GetLastError on Windows). Backends set it right after the failing system call.
int LastError();
void SetLastError(int error);

// The system's own description of an error number, exactly as the system words it
// (on Windows that includes a closing line break). Empty when the system has none.
std::string ErrorDescription(int error);

struct LocalTime {
    int year, month, day, hour, minute, second;
};
LocalTime GetLocalTime();

void Sleep(std::uint32_t milliseconds);

// The running program's file name without directory and extension.
std::string ModuleBaseName();

// A file written in one go, byte for byte. Each call returns false on failure with the
// error in LastError().
struct File;
File* FileCreate(const char* name);  // replaces a file of that name
bool FileWrite(File* file, const void* data, std::size_t size);
bool FileClose(File* file);          // always releases the file

}  // namespace plat
