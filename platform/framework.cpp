#include "platform/framework.h"

bool CWnd::Create(const char* className, const char* text, std::uint32_t style,
                  const plat::Rect& rect, CWnd* parent, int id) {
    m_hWnd = plat::CreateWindowA(className, text, style, rect, parent ? parent->m_hWnd : 0, id);
    return m_hWnd != 0;
}

bool CWnd::DestroyWindow() {
    const bool ok = plat::DestroyWindow(m_hWnd);
    m_hWnd = 0;
    return ok;
}
