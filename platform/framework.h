// The application/dialog framework that the program's classes derive from.
#pragma once

#include "platform/window.h"

// A window wrapper: holds only the handle, so every call goes through the window system
// and fails quietly once the window is gone.
class CWnd : public plat::MessageReceiver {
public:
    CWnd() = default;
    explicit CWnd(plat::WindowHandle hWnd) : m_hWnd(hWnd) {}
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    bool Create(const char* className, const char* text, std::uint32_t style,
                const plat::Rect& rect, CWnd* parent, int id);
    virtual bool DestroyWindow();

    void SetWindowText(const char* text) { plat::SetWindowTextA(m_hWnd, text); }
    int GetWindowText(char* buffer, int maxCount) const {
        return plat::GetWindowTextA(m_hWnd, buffer, maxCount);
    }
    bool EnableWindow(bool enable = true) { return plat::EnableWindow(m_hWnd, enable); }
    bool IsWindowEnabled() const { return plat::IsWindowEnabled(m_hWnd); }
    bool ShowWindow(int command) { return plat::ShowWindow(m_hWnd, command); }
    bool IsWindowVisible() const { return plat::IsWindowVisible(m_hWnd); }

    // Messages posted to the window arrive here, on the user-interface thread.
    std::intptr_t WindowProc(std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;

    plat::WindowHandle m_hWnd = 0;
};
