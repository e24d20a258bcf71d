// Window-system calls of the platform layer. A window is named by a handle, never by a
// pointer, so that a call on a window that no longer exists fails quietly instead of
// touching freed memory.
//
// Every call may come from any thread. From a thread other than the user-interface thread
// it behaves like the window system's cross-thread calls: it is carried out when the
// user-interface thread processes it, and the caller waits until then.
#pragma once

#include "platform/dialog_template.h"

#include <cstdint>
#include <span>

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

// Messages and commands of dialogs, as the window system numbers them.
inline constexpr std::uint32_t WM_PAINT = 0x000F;
inline constexpr std::uint32_t WM_QUERYDRAGICON = 0x0037;
inline constexpr std::uint32_t WM_COMMAND = 0x0111;
inline constexpr std::uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr std::uint32_t SC_MOVE = 0xF010;
inline constexpr std::uint32_t SC_MINIMIZE = 0xF020;
inline constexpr std::uint32_t SC_CLOSE = 0xF060;

// Style bits of templates that the dialog manager acts on.
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000;
inline constexpr std::uint32_t WS_DISABLED = 0x08000000;
inline constexpr std::uint32_t WS_BORDER = 0x00800000;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000;
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
inline constexpr std::uint32_t BS_TYPEMASK = 0x0000000F;
inline constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x00000001;
inline constexpr std::uint32_t SS_TYPEMASK = 0x0000001F;
inline constexpr std::uint32_t SS_CENTER = 0x00000001;
inline constexpr std::uint32_t SS_RIGHT = 0x00000002;
inline constexpr std::uint32_t SS_ICON = 0x00000003;
inline constexpr std::uint32_t SS_NOPREFIX = 0x00000080;

inline constexpr std::uint32_t MF_STRING = 0x0000;
inline constexpr std::uint32_t MF_SEPARATOR = 0x0800;

// Dialogs. Only on the user-interface thread.

// Where the icons that templates name (SS_ICON) come from: the bytes of an .ico file.
using IcoSource = std::span<const unsigned char> (*)(int id);
void SetIcoSource(IcoSource find);

// The pixels per four horizontal and eight vertical dialog units of a template's font.
struct DialogBaseUnits {
    int x = 0, y = 0;
};
DialogBaseUnits GetDialogBaseUnits(const DialogTemplate& dialog);
// The one conversion from dialog units to pixels.
Rect MapDialogRect(DialogBaseUnits units, int x, int y, int cx, int cy);

// Creates the dialog and its controls hidden, modal over `owner` when there is one. Its
// keys, buttons and title-bar commands are posted to its receiver (SetMessageReceiver) as
// WM_COMMAND and WM_SYSCOMMAND, as the window system's dialog manager turns them into.
WindowHandle CreateDialogIndirect(const DialogTemplate& dialog, WindowHandle owner);
// Gives the focus to the first enabled, visible control with WS_TABSTOP.
bool SetInitialDialogFocus(WindowHandle dialog);
// Runs what is pending for the user-interface thread, waiting until there is something.
void WaitAndProcessMessages();
bool IsIconic(WindowHandle window);
// What the window system does with a title-bar command nobody handled: minimise, move,
// open the system menu...
void DefaultSysCommand(WindowHandle window, std::uint32_t id, std::intptr_t param);
bool SetWindowIconIco(WindowHandle window, std::span<const unsigned char> ico);
// The dialog's own system menu: the window's commands, then what was appended here.
bool AppendSystemMenu(WindowHandle dialog, std::uint32_t flags, std::uintptr_t id,
                      const char* text);
bool ResetSystemMenu(WindowHandle dialog);

}  // namespace plat
