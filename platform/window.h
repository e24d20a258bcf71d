// Window-system calls of the platform layer. A window is named by a handle, never by a
// pointer, so that a call on a window that no longer exists fails quietly instead of
// touching freed memory.
//
// Every call may come from any thread. From a thread other than the user-interface thread
// it behaves like the window system's cross-thread calls: it is carried out when the
// user-interface thread processes it, and the caller waits until then.
#pragma once

#include <cstdint>

namespace plat {

using WindowHandle = std::uint32_t;  // 0: no window

struct Rect {
    int left, top, right, bottom;
};

// Makes the calling thread the user-interface thread and starts the toolkit on it.
// Returns false when no display could be opened.
bool UiStartup(int argc, char** argv);
// Ends the toolkit: every window is gone, and calls still waiting or made afterwards fail.
void UiShutdown();
bool IsUiThread();
// Runs what is pending for the user-interface thread (events, and the calls other threads
// were waiting on when it began), then returns. Only on the user-interface thread.
void ProcessPendingMessages();

// Window classes: "STATIC" (a label, multi-line), "EDIT" (a one-line field), "BUTTON" (a
// push button); a null class or parent 0 makes a top-level window.
WindowHandle CreateWindowA(const char* className, const char* text, std::uint32_t style,
                           const Rect& rect, WindowHandle parent, int id);
bool DestroyWindow(WindowHandle window);
bool IsWindow(WindowHandle window);
WindowHandle GetDlgItem(WindowHandle parent, int id);

bool SetWindowTextA(WindowHandle window, const char* text);
// Copies at most maxCount - 1 characters and a NUL; returns the count copied, 0 on failure.
int GetWindowTextA(WindowHandle window, char* buffer, int maxCount);
bool EnableWindow(WindowHandle window, bool enable);
bool IsWindowEnabled(WindowHandle window);

}  // namespace plat
