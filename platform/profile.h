// Reading a value from a settings file with the semantics of the system's private-profile
// reader (GetPrivateProfileStringA): "[section]" lines, "key=value" lines, ';' comments.
#pragma once

#include <cstdint>

namespace plat {

// Copies the value of `key` in `section` of `fileName`, or `defaultValue` (null means "",
// trailing blanks removed) when the file, the section or the key is missing, into `buffer`,
// cut to size-1 characters and NUL-terminated. Returns the number of characters copied.
// Names are compared without regard to case; the first matching section and key count.
// Only the named section and key lookup is provided: a null section or key gives 0 and an
// empty buffer. A file that cannot be opened leaves its error in LastError(). The file is
// only read.
std::uint32_t GetPrivateProfileStringA(const char* section, const char* key,
                                       const char* defaultValue, char* buffer,
                                       std::uint32_t size, const char* fileName);

}  // namespace plat
