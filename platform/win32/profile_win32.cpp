// Settings files are read by the kernel's own private-profile reader.
#include "platform/profile.h"

#include "platform/win32/windows_api.h"

namespace plat {

std::uint32_t GetPrivateProfileStringA(const char* section, const char* key,
                                       const char* defaultValue, char* buffer,
                                       std::uint32_t size, const char* fileName) {
    if (size == 0) return 0;
    // A null section or key would list names instead of reading a value.
    if (!section || !key) {
        buffer[0] = '\0';
        return 0;
    }
    return ::GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName);
}

}  // namespace plat
