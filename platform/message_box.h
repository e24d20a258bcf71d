// The window system's message box, and the sockets layer's start-up.
#pragma once

#include "platform/window.h"

#include <cstdint>

namespace plat {

inline constexpr std::uint32_t MB_OK = 0x0;
inline constexpr std::uint32_t MB_ICONEXCLAMATION = 0x30;
inline constexpr int IDOK_RESULT = 1;

// Shows `text` with `caption` and waits until the operator closes it. Only OK and the
// exclamation icon are needed here. Returns the button chosen, 0 when none could be shown.
int MessageBoxA(WindowHandle owner, const char* text, const char* caption, std::uint32_t type);

// Starts the sockets layer at version 1.1, as the program always has. Linux needs no such
// step, so it succeeds, unless a test has asked it to fail.
bool SocketsStartup();
void SetSocketsStartupFails(bool fail);  // for tests of the failure path

}  // namespace plat
