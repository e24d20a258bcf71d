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

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;
bool ShowWindow(WindowHandle window, int command);
bool IsWindowVisible(WindowHandle window);

// Mouse messages, as the window system numbers them.
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr std::uint32_t WM_RBUTTONDBLCLK = 0x0206;
inline constexpr std::uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr std::uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr std::uint32_t WM_MBUTTONDBLCLK = 0x0209;

// Whatever handles a window's messages: the framework's window wrapper.
class MessageReceiver {
public:
    virtual std::intptr_t WindowProc(std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam) = 0;

protected:
    ~MessageReceiver() = default;
};

// Messages to `window` go to `receiver` from now on; nullptr stops them.
void SetMessageReceiver(WindowHandle window, MessageReceiver* receiver);
// Queues a message for the window's receiver on the user-interface thread and returns at
// once; false once the toolkit is gone. A message whose window or receiver is gone by the
// time it is taken is dropped.
bool PostMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                  std::intptr_t lParam);

}  // namespace plat
