// The application/dialog framework that the program's classes derive from.
#pragma once

#include "platform/dialog_template.h"
#include "platform/tray.h"
#include "platform/window.h"

#include <cstdint>
#include <span>

// The window system's button identifiers; resource.h defines them the same way.
#ifndef IDOK
#define IDOK 1
#endif
#ifndef IDCANCEL
#define IDCANCEL 2
#endif

using plat::MF_SEPARATOR;
using plat::MF_STRING;
using plat::SC_CLOSE;
using plat::SC_MINIMIZE;
using plat::SC_MOVE;
using plat::WM_COMMAND;
using plat::WM_PAINT;
using plat::WM_QUERYDRAGICON;
using plat::WM_SYSCOMMAND;

class CWnd;

// One entry of a class's message table: a message, or the variable that holds a
// registered message's id (read when a message is dispatched, since it is only known once
// registered), and the handler.
struct MessageMapEntry {
    std::uint32_t message;
    const std::uint32_t* registeredMessage;
    std::intptr_t (*handler)(CWnd* self, std::uintptr_t wParam, std::intptr_t lParam);
};

struct MessageMap {
    const MessageMap* (*base)();
    const MessageMapEntry* entries;  // ends with an entry whose handler is null
};

#define DECLARE_MESSAGE_MAP()                                  \
protected:                                                     \
    static const ::MessageMap* GetThisMessageMap();            \
    const ::MessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                        \
    const ::MessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const ::MessageMap* theClass::GetThisMessageMap() {                               \
        using ThisClass = theClass;                                                   \
        using TheBaseClass = baseClass;                                               \
        static_assert(sizeof(ThisClass) > 0);                                         \
        static const ::MessageMapEntry entries[] = {

#define END_MESSAGE_MAP()                                                     \
        {0, nullptr, nullptr}};                                               \
        static const ::MessageMap map{&TheBaseClass::GetThisMessageMap, entries}; \
        return &map;                                                          \
    }

#define ON_WM_SYSCOMMAND()                                                              \
    {WM_SYSCOMMAND, nullptr, [](CWnd* w, std::uintptr_t wp, std::intptr_t lp) -> std::intptr_t { \
         static_cast<ThisClass*>(w)->OnSysCommand(static_cast<std::uint32_t>(wp), lp);  \
         return 0;                                                                      \
     }},
#define ON_WM_PAINT()                                                                    \
    {WM_PAINT, nullptr, [](CWnd* w, std::uintptr_t, std::intptr_t) -> std::intptr_t {  \
         static_cast<ThisClass*>(w)->OnPaint();                                          \
         return 0;                                                                       \
     }},
#define ON_WM_QUERYDRAGICON()                                                                \
    {WM_QUERYDRAGICON, nullptr, [](CWnd* w, std::uintptr_t, std::intptr_t) -> std::intptr_t { \
         return static_cast<std::intptr_t>(static_cast<ThisClass*>(w)->OnQueryDragIcon());  \
     }},
#define ON_MESSAGE(message, memberFn)                                                      \
    {message, nullptr, [](CWnd* w, std::uintptr_t wp, std::intptr_t lp) -> std::intptr_t { \
         return static_cast<ThisClass*>(w)->memberFn(wp, lp);                              \
     }},
#define ON_REGISTERED_MESSAGE(messageVariable, memberFn)                                     \
    {0, &messageVariable, [](CWnd* w, std::uintptr_t wp, std::intptr_t lp) -> std::intptr_t { \
         return static_cast<ThisClass*>(w)->memberFn(wp, lp);                                 \
     }},

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
    bool IsIconic() const { return plat::IsIconic(m_hWnd); }
    // The window's icon; icons from AfxLoadIcon are shown. Returns the previous one.
    plat::IconHandle SetIcon(plat::IconHandle icon, bool bigIcon);
    bool PostMessage(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
        return plat::PostMessageA(m_hWnd, message, wParam, lParam);
    }

    // Messages to the window arrive here, on the user-interface thread: first the class's
    // message table, then the virtual handlers below.
    std::intptr_t WindowProc(std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;

    // Default handling of each; a derived class's handler calls its base for it.
    virtual bool OnCommand(std::uintptr_t wParam, std::intptr_t lParam);
    virtual void OnSysCommand(std::uint32_t id, std::intptr_t param);
    virtual void OnPaint() {}
    virtual plat::IconHandle OnQueryDragIcon() { return 0; }

    plat::WindowHandle m_hWnd = 0;

protected:
    static const MessageMap* GetThisMessageMap();
    virtual const MessageMap* GetMessageMap() const { return GetThisMessageMap(); }

private:
    plat::IconHandle m_icons[2] = {0, 0};  // small, big
};

// The system menu of a dialog, as GetSystemMenu hands it out.
class CMenu {
public:
    // flags MF_STRING with an id and a text ('&' marks the access key), or MF_SEPARATOR.
    bool AppendMenu(std::uint32_t flags, std::uintptr_t id = 0, const char* text = nullptr) {
        return plat::AppendSystemMenu(m_window, flags, id, text);
    }
    plat::WindowHandle m_window = 0;
};

// A dialog built from a template of the program's resources.
class CDialog : public CWnd {
public:
    explicit CDialog(int templateId, CWnd* parent = nullptr)
        : m_templateId(templateId), m_parent(parent) {}
    ~CDialog() override;

    // Creates the dialog, initialises it, shows it and runs it until EndDialog; then hides
    // it, calls DestroyWindow and returns the result: -1 when it could not be created.
    int DoModal();
    void EndDialog(int result);
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    bool DestroyWindow() override;

    // A wrapper that lives as long as the process, so a thread holding it never touches
    // freed memory; calls through it fail once the control is gone. Null without control.
    CWnd* GetDlgItem(int id) const;
    // The live menu; with revert, the window's own commands only and null.
    CMenu* GetSystemMenu(bool revert);

    bool OnCommand(std::uintptr_t wParam, std::intptr_t lParam) override;
    void OnSysCommand(std::uint32_t id, std::intptr_t param) override;

private:
    int m_templateId;
    CWnd* m_parent;
    bool m_ended = false;
    int m_result = -1;
    CMenu m_systemMenu;
};

// The program hands over its dialog templates and icons once, before the first dialog.
void AfxSetDialogTemplateSource(const DialogTemplate* (*find)(int id));
void AfxSetIconSource(plat::IcoSource find);
// An icon of the program's resources, made once per id; 0 when there is none.
plat::IconHandle AfxLoadIcon(int id);
// The application's main window: dialogs without a parent are modal over it.
void AfxSetMainWnd(CWnd* window);
// A wrapper of `window` that is never freed, one per handle: for threads that may outlive
// the window's own object. Null for no window.
CWnd* AfxGetPermanentWnd(plat::WindowHandle window);
CWnd* AfxGetMainWnd();
