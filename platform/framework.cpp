#include "platform/framework.h"

#include <map>
#include <mutex>
#include <unordered_map>

namespace {

const DialogTemplate* (*g_findTemplate)(int id) = nullptr;
plat::IcoSource g_findIco = nullptr;
CWnd* g_mainWnd = nullptr;

// Icons made by AfxLoadIcon, with the bytes they came from, so that SetIcon can show them.
struct LoadedIcons {
    std::mutex mutex;
    std::map<int, plat::IconHandle> byId;
    std::unordered_map<plat::IconHandle, std::span<const unsigned char>> files;
};
LoadedIcons& Icons() {
    static auto* icons = new LoadedIcons;  // never freed: handles outlive every static
    return *icons;
}

// The wrappers GetDlgItem and AfxGetPermanentWnd hand out. Never freed: other threads may
// hold them after the dialog is gone, and a call through one must then fail on its handle,
// not on freed memory.
struct ItemWrappers {
    std::mutex mutex;
    std::unordered_map<plat::WindowHandle, CWnd*> byHandle;
};
ItemWrappers& Items() {
    static auto* items = new ItemWrappers;
    return *items;
}

}  // namespace

void AfxSetDialogTemplateSource(const DialogTemplate* (*find)(int id)) { g_findTemplate = find; }

void AfxSetIconSource(plat::IcoSource find) {
    g_findIco = find;
    plat::SetIcoSource(find);
}

plat::IconHandle AfxLoadIcon(int id) {
    LoadedIcons& icons = Icons();
    std::lock_guard lock(icons.mutex);
    if (const auto it = icons.byId.find(id); it != icons.byId.end()) return it->second;
    if (!g_findIco) return 0;
    const std::span<const unsigned char> file = g_findIco(id);
    const plat::IconHandle icon = plat::CreateIconFromIco(file.data(), file.size());
    if (!icon) return 0;
    icons.byId[id] = icon;
    icons.files[icon] = file;
    return icon;
}

void AfxSetMainWnd(CWnd* window) { g_mainWnd = window; }
CWnd* AfxGetMainWnd() { return g_mainWnd; }

bool CWnd::Create(const char* className, const char* text, std::uint32_t style,
                  const plat::Rect& rect, CWnd* parent, int id) {
    m_hWnd = plat::CreateWindowA(className, text, style, rect, parent ? parent->m_hWnd : 0, id);
    if (m_hWnd) plat::SetMessageReceiver(m_hWnd, this);
    return m_hWnd != 0;
}

CWnd::~CWnd() {
    if (m_hWnd) plat::SetMessageReceiver(m_hWnd, nullptr);
    if (g_mainWnd == this) g_mainWnd = nullptr;
}

const MessageMap* CWnd::GetThisMessageMap() {
    static const MessageMapEntry entries[] = {{0, nullptr, nullptr}};
    static const MessageMap map{nullptr, entries};
    return &map;
}

std::intptr_t CWnd::WindowProc(std::uint32_t message, std::uintptr_t wParam,
                               std::intptr_t lParam) {
    for (const MessageMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const MessageMapEntry* e = map->entries; e->handler; ++e) {
            const std::uint32_t id = e->registeredMessage ? *e->registeredMessage : e->message;
            if (id != 0 && id == message) return e->handler(this, wParam, lParam);
        }
    }
    switch (message) {
        case WM_COMMAND: OnCommand(wParam, lParam); return 0;
        case WM_SYSCOMMAND: OnSysCommand(static_cast<std::uint32_t>(wParam), lParam); return 0;
        case WM_PAINT: OnPaint(); return 0;
        case WM_QUERYDRAGICON: return static_cast<std::intptr_t>(OnQueryDragIcon());
        default: return 0;
    }
}

bool CWnd::OnCommand(std::uintptr_t, std::intptr_t) { return false; }

void CWnd::OnSysCommand(std::uint32_t id, std::intptr_t param) {
    plat::DefaultSysCommand(m_hWnd, id, param);
}

plat::IconHandle CWnd::SetIcon(plat::IconHandle icon, bool bigIcon) {
    const plat::IconHandle previous = m_icons[bigIcon ? 1 : 0];
    m_icons[bigIcon ? 1 : 0] = icon;
    std::span<const unsigned char> file;
    {
        LoadedIcons& icons = Icons();
        std::lock_guard lock(icons.mutex);
        if (const auto it = icons.files.find(icon); it != icons.files.end()) file = it->second;
    }
    // Qt picks the size it needs from one icon of all sizes: either call sets it.
    if (!file.empty()) plat::SetWindowIconIco(m_hWnd, file);
    return previous;
}

bool CWnd::DestroyWindow() {
    plat::SetMessageReceiver(m_hWnd, nullptr);
    const bool ok = plat::DestroyWindow(m_hWnd);
    m_hWnd = 0;
    return ok;
}

CDialog::~CDialog() {
    if (m_hWnd) CDialog::DestroyWindow();
}

int CDialog::DoModal() {
    const DialogTemplate* dialog = g_findTemplate ? g_findTemplate(m_templateId) : nullptr;
    if (!dialog) return -1;
    CWnd* owner = m_parent ? m_parent : (g_mainWnd != this ? g_mainWnd : nullptr);
    m_ended = false;
    m_result = -1;
    m_hWnd = plat::CreateDialogIndirect(*dialog, owner ? owner->m_hWnd : 0);
    if (!m_hWnd) return -1;
    plat::SetMessageReceiver(m_hWnd, this);
    m_systemMenu.m_window = m_hWnd;
    if (OnInitDialog()) plat::SetInitialDialogFocus(m_hWnd);
    // A modal dialog is shown whether or not its template says WS_VISIBLE (the About
    // template does not), as the window system's modal dialog boxes are.
    if (!m_ended) ShowWindow(plat::SW_SHOW);
    // Ends with EndDialog, or when the window is gone under it (the toolkit ended).
    while (!m_ended && plat::IsWindow(m_hWnd)) plat::WaitAndProcessMessages();
    ShowWindow(plat::SW_HIDE);
    DestroyWindow();
    return m_result;
}

void CDialog::EndDialog(int result) {
    m_result = result;
    m_ended = true;
}

bool CDialog::DestroyWindow() {
    m_systemMenu.m_window = 0;
    return CWnd::DestroyWindow();
}

CWnd* AfxGetPermanentWnd(plat::WindowHandle window) {
    if (!window) return nullptr;
    ItemWrappers& items = Items();
    std::lock_guard lock(items.mutex);
    CWnd*& wrapper = items.byHandle[window];
    if (!wrapper) wrapper = new CWnd(window);
    return wrapper;
}

CWnd* CDialog::GetDlgItem(int id) const { return AfxGetPermanentWnd(plat::GetDlgItem(m_hWnd, id)); }

CMenu* CDialog::GetSystemMenu(bool revert) {
    if (!m_hWnd) return nullptr;
    if (revert) {
        plat::ResetSystemMenu(m_hWnd);
        return nullptr;
    }
    return &m_systemMenu;
}

bool CDialog::OnCommand(std::uintptr_t wParam, std::intptr_t lParam) {
    switch (wParam & 0xFFFF) {
        case IDOK: OnOK(); return true;
        case IDCANCEL: OnCancel(); return true;
        default: return CWnd::OnCommand(wParam, lParam);
    }
}

void CDialog::OnSysCommand(std::uint32_t id, std::intptr_t param) {
    if ((id & 0xFFF0) != SC_CLOSE) {
        CWnd::OnSysCommand(id, param);
        return;
    }
    // As the dialog manager does: close is the cancel button's command, and a disabled
    // cancel button delivers none.
    CWnd* cancel = GetDlgItem(IDCANCEL);
    if (cancel && !cancel->IsWindowEnabled()) return;
    WindowProc(WM_COMMAND, IDCANCEL, static_cast<std::intptr_t>(cancel ? cancel->m_hWnd : 0));
}
