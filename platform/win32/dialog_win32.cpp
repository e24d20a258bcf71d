// Dialogs on Windows are the dialog manager's own, made from the templates compiled into
// the executable: the template passed in names which one.
#include "platform/window.h"

#include "platform/win32/dispatch.h"
#include "platform/win32/icons.h"

#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace plat {

namespace {

// A template's style is its first field in the standard form; the extended form starts
// with its version, signature, help id and extended style.
constexpr std::size_t kExtendedStyleOffset = 12;

// The compiled template, with WS_VISIBLE cleared: the dialog appears only once it is
// initialised, when the framework shows it.
std::vector<unsigned char> HiddenTemplate(int id) {
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
    if (!found) return {};
    const HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(module, found);
    if (!bytes || size < 18) return {};
    std::vector<unsigned char> copy(static_cast<const unsigned char*>(bytes),
                                    static_cast<const unsigned char*>(bytes) + size);
    const bool extended = copy[2] == 0xFF && copy[3] == 0xFF;
    const std::size_t at = extended ? kExtendedStyleOffset : 0;
    DWORD style;
    std::memcpy(&style, copy.data() + at, sizeof style);
    style &= ~static_cast<DWORD>(WS_VISIBLE);
    std::memcpy(copy.data() + at, &style, sizeof style);
    return copy;
}

INT_PTR CALLBACK DialogProcedure(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return TRUE;  // the dialog manager sets the first focus
    if (message == WM_NCDESTROY) {
        // Gone without DestroyWindow here (with its owner, say): the owner takes input again.
        win32::GiveOwnerBack(hDlg);
        win32::Forget(hDlg);
        return FALSE;
    }
    if (!win32::ForReceiver(message)) return FALSE;
    MessageReceiver* receiver = win32::ReceiverOf(hDlg);
    if (!receiver) return FALSE;
    const LRESULT result = receiver->WindowProc(message, wParam, lParam);
    switch (message) {
        case WM_PAINT: return FALSE;  // the handlers draw nothing of their own
        case WM_QUERYDRAGICON: return static_cast<INT_PTR>(result);
        default: return TRUE;
    }
}

INT_PTR CALLBACK MeasureProcedure(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

struct WindowIcons {
    std::mutex mutex;
    std::map<const unsigned char*, std::pair<HICON, HICON>> byFile;  // big, small
};
WindowIcons& Icons() {
    static auto* icons = new WindowIcons;
    return *icons;
}

}  // namespace

// The dialog manager draws a template's icons from the executable's own icon resources.
void SetIcoSource(IcoSource) {}

DialogBaseUnits GetDialogBaseUnits(const DialogTemplate& dialog) {
    std::vector<unsigned char> bytes = HiddenTemplate(dialog.id);
    if (bytes.empty()) return {};
    const HWND measure = CreateDialogIndirectParamA(
        GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()), nullptr,
        MeasureProcedure, 0);
    if (!measure) return {};
    RECT units{0, 0, 4, 8};
    ::MapDialogRect(measure, &units);
    ::DestroyWindow(measure);
    return {units.right, units.bottom};
}

Rect MapDialogRect(DialogBaseUnits units, int x, int y, int cx, int cy) {
    const int left = MulDiv(x, units.x, 4);
    const int top = MulDiv(y, units.y, 8);
    return {left, top, left + MulDiv(cx, units.x, 4), top + MulDiv(cy, units.y, 8)};
}

WindowHandle CreateDialogIndirect(const DialogTemplate& dialog, WindowHandle owner) {
    const HWND ownerWindow = win32::ToHwnd(owner);
    if (owner && !::IsWindow(ownerWindow)) return 0;
    std::vector<unsigned char> bytes = HiddenTemplate(dialog.id);
    if (bytes.empty()) return 0;
    const HWND hDlg = CreateDialogIndirectParamA(
        GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()),
        ownerWindow, DialogProcedure, 0);
    if (!hDlg) return 0;
    // Modal: the owner takes no input while the dialog exists.
    const bool disable = ownerWindow && ::IsWindowEnabled(ownerWindow);
    if (disable) ::EnableWindow(ownerWindow, FALSE);
    win32::AddDialog(hDlg, disable ? ownerWindow : nullptr);
    return win32::FromHwnd(hDlg);
}

bool SetInitialDialogFocus(WindowHandle dialog) {
    const HWND hDlg = win32::ToHwnd(dialog);
    const HWND first = GetNextDlgTabItem(hDlg, nullptr, FALSE);
    if (!first) return false;
    SendMessageA(hDlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
    return true;
}

void WaitAndProcessMessages() {
    MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    ProcessPendingMessages();
}

bool IsIconic(WindowHandle window) { return window && ::IsIconic(win32::ToHwnd(window)); }

void DefaultSysCommand(WindowHandle window, std::uint32_t id, std::intptr_t param) {
    if (IsWindow(window)) DefWindowProcA(win32::ToHwnd(window), WM_SYSCOMMAND, id, param);
}

bool SetWindowIconIco(WindowHandle window, std::span<const unsigned char> ico) {
    if (!IsWindow(window) || ico.empty()) return false;
    std::pair<HICON, HICON> icons;
    {
        WindowIcons& all = Icons();
        std::lock_guard lock(all.mutex);
        auto& made = all.byFile[ico.data()];
        if (!made.first) made.first = win32::IcoImage(ico, GetSystemMetrics(SM_CXICON));
        if (!made.second) made.second = win32::IcoImage(ico, GetSystemMetrics(SM_CXSMICON));
        icons = made;
    }
    const HWND hWnd = win32::ToHwnd(window);
    if (icons.first) SendMessageA(hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icons.first));
    if (icons.second)
        SendMessageA(hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icons.second));
    return icons.first || icons.second;
}

bool AppendSystemMenu(WindowHandle dialog, std::uint32_t flags, std::uintptr_t id,
                      const char* text) {
    const HMENU menu = IsWindow(dialog) ? GetSystemMenu(win32::ToHwnd(dialog), FALSE) : nullptr;
    return menu && AppendMenuA(menu, flags, id, text);
}

bool ResetSystemMenu(WindowHandle dialog) {
    if (!IsWindow(dialog)) return false;
    GetSystemMenu(win32::ToHwnd(dialog), TRUE);
    return true;
}

}  // namespace plat
