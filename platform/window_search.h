// Finding a top-level window by its title, in this process or another, and asking it to
// come forward. The window found may belong to another program: it is named by a handle
// all the same, and only the calls below act on such a window.
#pragma once

#include "platform/window.h"

namespace plat {

// A top-level window titled `title`, compared without regard to case, hidden or shown,
// of any class (`className` is not looked at); 0 when there is none.
WindowHandle FindWindowA(const char* className, const char* title);

// On a window of this process these are ShowWindow and a raise; a window of another
// process is asked to do it itself, since only its own toolkit can show it properly.
bool ShowAnyWindow(WindowHandle window, int command);
bool SetForegroundWindow(WindowHandle window);

namespace detail {
// Lets other processes' requests reach this process's windows; at toolkit start.
void StartWindowRequests();
}  // namespace detail

}  // namespace plat
