// Window search across processes on X11. A Qt window mapped or unmapped from outside stays
// unknown to its own Qt (a window shown that way stays black), so the searching process
// only finds the X window and sends it a client message; the owning process, watching
// for that message, shows and raises its own widget.
#include "platform/linux/ui_thread.h"
#include "platform/window_search.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

namespace plat {

namespace {

// Handles of other processes' windows carry the X window id with this bit set; our own
// handles are small counters and never reach it.
constexpr WindowHandle kForeign = 0x80000000u;
constexpr std::uint32_t kForeground = 0x1000;
constexpr char kRequestAtom[] = "_TANDEMIX_WINDOW_REQUEST";

xcb_connection_t* Connection() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

std::string Property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 256), nullptr);
    std::string value;
    if (reply && reply->format == 8)
        value.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                     static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return value;
}

// A window manager puts shown windows into frames of its own and gives hidden ones back
// to the root, so the search goes a few levels down.
xcb_window_t Search(xcb_connection_t* c, xcb_window_t parent, const char* title,
                    xcb_atom_t netName, int depth) {
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr);
    if (!tree) return 0;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    const int count = xcb_query_tree_children_length(tree);
    xcb_window_t found = 0;
    for (int i = 0; i < count && !found; ++i) {
        std::string name = Property(c, children[i], netName);
        if (name.empty()) name = Property(c, children[i], XCB_ATOM_WM_NAME);
        if (!name.empty() && strcasecmp(name.c_str(), title) == 0) found = children[i];
    }
    for (int i = 0; i < count && !found && depth > 0; ++i)
        found = Search(c, children[i], title, netName, depth - 1);
    std::free(tree);
    return found;
}

// Our own top-level widget with that native window, if any.
QWidget* OwnWidget(xcb_window_t window) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->testAttribute(Qt::WA_WState_Created) && w->winId() == window) return w;
    return nullptr;
}

void Perform(QWidget* w, std::uint32_t command) {
    if (command == kForeground) {
        w->raise();
        w->activateWindow();
    } else if (command == SW_HIDE) {
        w->hide();
    } else {
        w->show();
        w->raise();
        w->activateWindow();
    }
}

class RequestFilter : public QAbstractNativeEventFilter {
public:
    explicit RequestFilter(xcb_atom_t atom) : m_atom(atom) {}
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
        auto* request = reinterpret_cast<xcb_client_message_event_t*>(event);
        if (request->type != m_atom) return false;
        if (QWidget* w = OwnWidget(request->window)) Perform(w, request->data.data32[0]);
        return true;
    }

private:
    xcb_atom_t m_atom;
};

RequestFilter* g_filter = nullptr;  // user-interface thread only

bool SendRequest(xcb_window_t window, std::uint32_t command) {
    xcb_connection_t* c = Connection();
    if (!c) return false;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = Atom(c, kRequestAtom);
    event.data.data32[0] = command;
    // No event mask: the event goes to the client that created the window.
    xcb_void_cookie_t cookie =
        xcb_send_event_checked(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_generic_error_t* error = xcb_request_check(c, cookie);
    std::free(error);
    return error == nullptr;
}

// Our handle for the widget, when it is one of ours.
WindowHandle OwnHandle(QWidget* w) { return w->property("tandemixHandle").toUInt(); }

}  // namespace

namespace detail {

void StartWindowRequests() {
    xcb_connection_t* c = Connection();
    if (!c || g_filter) return;
    g_filter = new RequestFilter(Atom(c, kRequestAtom));
    qApp->installNativeEventFilter(g_filter);
}

}  // namespace detail

WindowHandle FindWindowA(const char*, const char* title) {
    if (!title) return 0;
    WindowHandle found = 0;
    detail::RunOnUiThread([&] {
        if (xcb_connection_t* c = Connection()) {
            const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
            const xcb_window_t window = Search(c, screen->root, title, Atom(c, "_NET_WM_NAME"), 3);
            if (!window) return;
            QWidget* own = OwnWidget(window);
            found = own && OwnHandle(own) ? OwnHandle(own) : (kForeign | window);
            return;
        }
        // No window system to ask (offscreen): only our own windows exist.
        for (QWidget* w : QApplication::topLevelWidgets())
            if (OwnHandle(w) && w->windowTitle().compare(QString::fromLatin1(title), Qt::CaseInsensitive) == 0)
                found = OwnHandle(w);
    });
    return found;
}

bool ShowAnyWindow(WindowHandle window, int command) {
    if (!(window & kForeign)) return ShowWindow(window, command);
    bool sent = false;
    detail::RunOnUiThread([&] { sent = SendRequest(window & ~kForeign, static_cast<std::uint32_t>(command)); });
    return sent;
}

bool SetForegroundWindow(WindowHandle window) {
    bool done = false;
    detail::RunOnUiThread([&] {
        if (window & kForeign) {
            done = SendRequest(window & ~kForeign, kForeground);
            return;
        }
        for (QWidget* w : QApplication::topLevelWidgets())
            if (OwnHandle(w) == window) {
                Perform(w, kForeground);
                done = true;
            }
    });
    return done;
}

}  // namespace plat
