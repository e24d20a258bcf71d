// On Windows every process's windows are the window system's own: no request is needed.
#include "platform/window_search.h"

#include "platform/win32/windows_api.h"

namespace plat {

WindowHandle FindWindowA(const char* className, const char* title) {
    return win32::FromHwnd(::FindWindowA(className, title));
}

bool ShowAnyWindow(WindowHandle window, int command) {
    ::ShowWindow(win32::ToHwnd(window), command);
    return ::IsWindow(win32::ToHwnd(window));
}

bool SetForegroundWindow(WindowHandle window) {
    return ::SetForegroundWindow(win32::ToHwnd(window));
}

}  // namespace plat
