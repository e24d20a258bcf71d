// The named marker is the kernel's named mutex, created unowned and never waited on.
#include "platform/instance_lock.h"

#include "platform/win32/windows_api.h"

namespace plat {

LockHandle CreateNamedLock(const char* name) {
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, name && *name ? name : nullptr);
    // CreateMutexA leaves ERROR_ALREADY_EXISTS, or 0, on success.
    return reinterpret_cast<LockHandle>(mutex);
}

bool CloseNamedLock(LockHandle lock) {
    if (!lock) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return CloseHandle(reinterpret_cast<HANDLE>(lock));
}

}  // namespace plat
