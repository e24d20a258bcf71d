#include "platform/message_box.h"

#include <atomic>

#include "platform/win32/windows_api.h"
#include <winsock2.h>

namespace plat {

namespace {
std::atomic<bool> g_socketsFail{false};
}

int MessageBoxA(WindowHandle owner, const char* text, const char* caption, std::uint32_t type) {
    return ::MessageBoxA(win32::ToHwnd(owner), text, caption, type);
}

// Started once and never ended: the program relies on no more than the start.
bool SocketsStartup() {
    if (g_socketsFail.load()) return false;
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return false;
    if (data.wVersion != MAKEWORD(1, 1)) {  // a layer that offers no 1.1
        WSACleanup();
        return false;
    }
    return true;
}

void SetSocketsStartupFails(bool fail) { g_socketsFail.store(fail); }

}  // namespace plat
