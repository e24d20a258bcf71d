// The Windows headers, for the Win32 backend's own files only. Include it after every
// platform header: <windows.h> defines as macros many names that those headers declare as
// constants and functions of their own (WM_PAINT, SW_SHOW, CreateWindowA...), so after
// this point the backend uses the system's macros for them.
#pragma once

#include <cstdint>

#include <windows.h>

// Macros that would rename the layer's own functions in the code that follows.
#undef CreateWindowA
#undef CreateDialogIndirect

namespace plat::win32 {

inline HWND ToHwnd(std::uint32_t window) { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(window)); }
inline std::uint32_t FromHwnd(HWND hWnd) {
    // A window handle's significant bits are its low 32, on every Windows.
    return static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(hWnd));
}

}  // namespace plat::win32
