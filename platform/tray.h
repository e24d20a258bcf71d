// The notification-area (tray) icon calls of the platform layer, and the icons they show.
#pragma once

#include "platform/window.h"

#include <cstddef>
#include <cstdint>

namespace plat {

using IconHandle = std::uintptr_t;  // 0: no icon

// An icon made from the bytes of an .ico file; 0 when they hold no icon. Icons live as
// long as the program.
IconHandle CreateIconFromIco(const unsigned char* data, std::size_t size);

// A message id that every process registering `name` gets alike (names compare without
// regard to case); 0 on failure.
std::uint32_t RegisterWindowMessageA(const char* name);

inline constexpr std::uint32_t NIF_MESSAGE = 0x1;
inline constexpr std::uint32_t NIF_ICON = 0x2;
inline constexpr std::uint32_t NIF_TIP = 0x4;

// The record of one notification icon, as the shell takes it.
struct NotifyIconData {
    std::uint32_t cbSize = 0;
    WindowHandle hWnd = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    IconHandle hIcon = 0;
    char szTip[64] = "";
};

enum class NotifyAction { Add, Modify, Delete };

// Adds, changes or removes the icon named by hWnd and uID. Mouse events on it reach hWnd
// as uCallbackMessage with uID and the mouse message. Where the desktop has no
// notification area the icon is kept but not shown. The record is copied at once.
bool ShellNotifyIcon(NotifyAction action, const NotifyIconData* data);

}  // namespace plat
