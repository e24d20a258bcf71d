#include "platform/framework.h"

bool CWnd::Create(const char* className, const char* text, std::uint32_t style,
                  const plat::Rect& rect, CWnd* parent, int id) {
    m_hWnd = plat::CreateWindowA(className, text, style, rect, parent ? parent->m_hWnd : 0, id);
    if (m_hWnd) plat::SetMessageReceiver(m_hWnd, this);
    return m_hWnd != 0;
}

CWnd::~CWnd() {
    if (m_hWnd) plat::SetMessageReceiver(m_hWnd, nullptr);
}

std::intptr_t CWnd::WindowProc(std::uint32_t, std::uintptr_t, std::intptr_t) { return 0; }

bool CWnd::DestroyWindow() {
    plat::SetMessageReceiver(m_hWnd, nullptr);
    const bool ok = plat::DestroyWindow(m_hWnd);
    m_hWnd = 0;
    return ok;
}
