#include "platform/instance_lock.h"

#include "platform/system.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// The name is an abstract-namespace Unix socket address: the kernel frees it when the
// last descriptor bound to it closes, so a process killed in any way leaves nothing behind
// (a lock file would outlive a kill -9). Quirks: abstract addresses have no permissions
// and are per network namespace, so the uid goes into the address to keep users apart; a
// child forked while the name is held inherits the descriptor and keeps the name alive.
//
// Only one process can bind the address. A process that finds it taken holds a handle
// that does not own it; where Windows would keep the mutex alive through such a handle,
// here the name goes with its owner, unless this process creates it again meanwhile.

namespace plat {

namespace {

// This process's hold on one name: the bound socket (-1 when another process owns the
// address) and the number of open handles.
struct Hold {
    int socket = -1;
    int handles = 0;
};

std::mutex g_lock;
std::map<std::string, Hold> g_holds;
std::map<LockHandle, std::string> g_handles;  // "" for an unnamed marker
LockHandle g_lastHandle = 0;

// The bound socket, or -1 with errno set.
int BindName(const std::string& name) {
    const std::string address = "tandemix.lock." + std::to_string(getuid()) + "." + name;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (address.size() + 1 > sizeof addr.sun_path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    // A leading NUL selects the abstract namespace; the length, not a NUL, ends the name.
    std::memcpy(addr.sun_path + 1, address.data(), address.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + address.size());

    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), length) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

}  // namespace

LockHandle CreateNamedLock(const char* name) {
    std::lock_guard guard(g_lock);
    const std::string key = name ? name : "";
    bool existed = false;
    if (!key.empty()) {
        Hold& hold = g_holds[key];
        existed = hold.handles > 0;  // a handle of our own keeps it in existence
        if (hold.socket < 0) {
            hold.socket = BindName(key);
            if (hold.socket < 0 && errno == EADDRINUSE) {
                existed = true;
            } else if (hold.socket < 0 && !existed) {
                const int error = errno;
                g_holds.erase(key);
                SetLastError(error);
                return 0;
            }
        }
        ++hold.handles;
    }
    const LockHandle handle = ++g_lastHandle;
    g_handles.emplace(handle, key);
    SetLastError(existed ? kErrorAlreadyExists : 0);
    return handle;
}

bool CloseNamedLock(LockHandle lock) {
    std::lock_guard guard(g_lock);
    const auto handle = g_handles.find(lock);
    if (handle == g_handles.end()) {
        SetLastError(EBADF);
        return false;
    }
    if (!handle->second.empty()) {
        const auto hold = g_holds.find(handle->second);
        if (--hold->second.handles == 0) {
            if (hold->second.socket >= 0) close(hold->second.socket);
            g_holds.erase(hold);
        }
    }
    g_handles.erase(handle);
    return true;
}

}  // namespace plat
