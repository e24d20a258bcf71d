// Windows by handle on Windows: the handles are the window system's own, so calls from
// other threads, and calls on windows that are gone, behave as the system makes them.
// Creating and destroying a window is the one thing only its own thread can do here; the
// program does both on the user-interface thread.
#include "platform/window.h"

#include "platform/win32/dispatch.h"

#include <atomic>
#include <map>
#include <mutex>
#include <utility>

namespace plat {

namespace {

constexpr char kWindowClass[] = "TandemixWindow";

std::atomic<DWORD> g_uiThread{0};

struct Registry {
    std::mutex mutex;
    std::map<HWND, MessageReceiver*> receivers;
    std::map<HWND, HWND> dialogs;  // dialog -> the owner it disabled, or null
};
Registry& State() {
    static auto* registry = new Registry;  // never freed: late threads may still ask
    return *registry;
}

LRESULT CALLBACK WindowProcedure(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY) win32::Forget(hWnd);
    if (win32::ForReceiver(message)) {
        if (MessageReceiver* receiver = win32::ReceiverOf(hWnd)) {
            const LRESULT result = receiver->WindowProc(message, wParam, lParam);
            if (message != WM_PAINT) return result;
        }
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

BOOL CALLBACK DestroyEach(HWND hWnd, LPARAM) {
    DestroyWindow(win32::FromHwnd(hWnd));
    return TRUE;
}

}  // namespace

namespace win32 {

MessageReceiver* ReceiverOf(HWND window) {
    Registry& state = State();
    std::lock_guard lock(state.mutex);
    const auto it = state.receivers.find(window);
    return it == state.receivers.end() ? nullptr : it->second;
}

void AddDialog(HWND dialog, HWND disabledOwner) {
    Registry& state = State();
    std::lock_guard lock(state.mutex);
    state.dialogs[dialog] = disabledOwner;
}

bool IsDialog(HWND window) {
    Registry& state = State();
    std::lock_guard lock(state.mutex);
    return state.dialogs.count(window) != 0;
}

void GiveOwnerBack(HWND dialog) {
    HWND owner = nullptr;
    {
        Registry& state = State();
        std::lock_guard lock(state.mutex);
        if (const auto it = state.dialogs.find(dialog); it != state.dialogs.end())
            std::swap(owner, it->second);
    }
    if (owner) ::EnableWindow(owner, TRUE);
}

void Forget(HWND window) {
    Registry& state = State();
    std::lock_guard lock(state.mutex);
    state.receivers.erase(window);
    state.dialogs.erase(window);
}

}  // namespace win32

bool UiStartup(int, char**) {
    g_uiThread = GetCurrentThreadId();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void UiShutdown() {
    // A window can only be destroyed by its own thread: this one.
    if (g_uiThread == GetCurrentThreadId()) EnumThreadWindows(g_uiThread, DestroyEach, 0);
    ProcessPendingMessages();
}

bool IsUiThread() { return g_uiThread == GetCurrentThreadId(); }

void ProcessPendingMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // The thread is asked to end: its windows go, which ends any dialog's loop, and
            // the request stays for whatever loop is outside.
            EnumThreadWindows(GetCurrentThreadId(), DestroyEach, 0);
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        const HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && win32::IsDialog(root)) {
            // The dialog manager would still send a disabled cancel button's command.
            if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
                const HWND cancel = ::GetDlgItem(root, IDCANCEL);
                if (cancel && !::IsWindowEnabled(cancel)) continue;
            }
            if (IsDialogMessageA(root, &msg)) continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

WindowHandle CreateWindowA(const char* className, const char* text, std::uint32_t style,
                           const Rect& rect, WindowHandle parent, int id) {
    const HWND parentWindow = win32::ToHwnd(parent);
    if (parent && !::IsWindow(parentWindow)) return 0;
    if (parent) style |= WS_CHILD;
    const HWND hWnd = CreateWindowExA(
        0, className ? className : kWindowClass, text ? text : "", style, rect.left, rect.top,
        rect.right - rect.left, rect.bottom - rect.top, parentWindow,
        parent ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)) : nullptr,
        GetModuleHandleA(nullptr), nullptr);
    return win32::FromHwnd(hWnd);
}

bool DestroyWindow(WindowHandle window) {
    const HWND hWnd = win32::ToHwnd(window);
    if (!::IsWindow(hWnd)) return false;
    // A modal dialog gives its owner back before it goes, so that the owner is activated.
    win32::GiveOwnerBack(hWnd);
    SetMessageReceiver(window, nullptr);
    return ::DestroyWindow(hWnd);
}

bool IsWindow(WindowHandle window) { return window && ::IsWindow(win32::ToHwnd(window)); }

WindowHandle GetDlgItem(WindowHandle parent, int id) {
    if (!parent) return 0;
    return win32::FromHwnd(::GetDlgItem(win32::ToHwnd(parent), id));
}

bool SetWindowTextA(WindowHandle window, const char* text) {
    return window && ::SetWindowTextA(win32::ToHwnd(window), text ? text : "");
}

int GetWindowTextA(WindowHandle window, char* buffer, int maxCount) {
    if (maxCount <= 0) return 0;
    buffer[0] = '\0';
    if (!window) return 0;
    return ::GetWindowTextA(win32::ToHwnd(window), buffer, maxCount);
}

bool EnableWindow(WindowHandle window, bool enable) {
    if (!IsWindow(window)) return false;
    ::EnableWindow(win32::ToHwnd(window), enable);  // answers the previous state, not success
    return true;
}

bool IsWindowEnabled(WindowHandle window) {
    return window && ::IsWindowEnabled(win32::ToHwnd(window));
}

bool ShowWindow(WindowHandle window, int command) {
    if (!IsWindow(window)) return false;
    // A modal dialog that is hidden is ending: as the dialog manager does, its owner takes
    // input again first, so that it is the window activated next.
    if (command == SW_HIDE) win32::GiveOwnerBack(win32::ToHwnd(window));
    ::ShowWindow(win32::ToHwnd(window), command);  // answers the previous visibility
    return true;
}

bool IsWindowVisible(WindowHandle window) {
    return window && ::IsWindowVisible(win32::ToHwnd(window));
}

void SetMessageReceiver(WindowHandle window, MessageReceiver* receiver) {
    if (!window) return;
    Registry& state = State();
    std::lock_guard lock(state.mutex);
    if (receiver) state.receivers[win32::ToHwnd(window)] = receiver;
    else state.receivers.erase(win32::ToHwnd(window));
}

bool PostMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                  std::intptr_t lParam) {
    return window && ::PostMessageA(win32::ToHwnd(window), message, wParam, lParam);
}

}  // namespace plat
