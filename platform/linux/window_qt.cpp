// Windows on Qt Widgets. Handles map to widgets in a table that only the user-interface
// thread touches; a widget that Qt has deleted leaves a null QPointer behind, so a late
// call on its handle fails instead of reaching freed memory.
#include "platform/linux/ui_thread.h"
#include "platform/linux/widgets.h"
#include "platform/window.h"
#include "platform/window_search.h"

#include <QApplication>
#include <QBuffer>
#include <QImageReader>
#include <QPixmap>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <cstring>
#include <unordered_map>

namespace plat {

namespace {

QApplication* g_app = nullptr;
int g_argc = 0;  // QApplication keeps a reference to it
std::unordered_map<WindowHandle, QPointer<QWidget>> g_windows;  // user-interface thread only
WindowHandle g_lastHandle = 0;
std::unordered_map<WindowHandle, MessageReceiver*> g_receivers;  // user-interface thread only

const char kHandleProperty[] = "tandemixHandle";
const char kIdProperty[] = "tandemixControlId";

QWidget* Find(WindowHandle window) { return detail::FindWidget(window); }
using detail::WithWindow;

// Texts are 8-bit; Latin-1 keeps every byte value as it is.
QString FromAnsi(const char* text) { return QString::fromLatin1(text ? text : ""); }

QString TextOf(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
    return w->windowTitle();
}

void SetTextOf(QWidget* w, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(w)) label->setText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setText(text);
    else w->setWindowTitle(text);
}

}  // namespace

namespace detail {

QWidget* FindWidget(WindowHandle window) {
    const auto it = g_windows.find(window);
    return it == g_windows.end() ? nullptr : it->second.data();
}

QIcon IconFromIco(const unsigned char* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ICO");
    QIcon icon;
    for (int i = 0; i < reader.imageCount(); ++i) {
        if (!reader.jumpToImage(i)) break;
        const QImage image = reader.read();
        if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

}  // namespace detail

bool UiStartup(int argc, char** argv) {
    if (g_app) return true;
    g_argc = argc;
    g_app = new QApplication(g_argc, argv);
    detail::StartUiCallQueue();
    detail::StartWindowRequests();
    return true;
}

void UiShutdown() {
    if (!g_app) return;
    detail::StopUiCallQueue();
    for (auto& [handle, widget] : g_windows)
        if (widget && !widget->parentWidget()) delete widget.data();
    g_windows.clear();
    g_receivers.clear();
    delete g_app;
    g_app = nullptr;
}

void ProcessPendingMessages() {
    detail::DrainUiCallQueue();
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
}

WindowHandle CreateWindowA(const char* className, const char* text, std::uint32_t,
                           const Rect& rect, WindowHandle parent, int id) {
    WindowHandle handle = 0;
    detail::RunOnUiThread([&] {
        QWidget* owner = parent ? Find(parent) : nullptr;
        if (parent && !owner) return;
        const char* kind = className ? className : "";
        QWidget* w;
        if (std::strcmp(kind, "STATIC") == 0) {
            auto* label = new QLabel(owner);
            label->setTextFormat(Qt::PlainText);  // never guess at rich text
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            w = label;
        } else if (std::strcmp(kind, "EDIT") == 0) {
            w = new QLineEdit(owner);
        } else if (std::strcmp(kind, "BUTTON") == 0) {
            w = new QPushButton(owner);
        } else {
            w = new QWidget(owner);
        }
        SetTextOf(w, FromAnsi(text));
        w->setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        handle = ++g_lastHandle;
        w->setProperty(kHandleProperty, handle);
        w->setProperty(kIdProperty, id);
        g_windows[handle] = w;
    });
    return handle;
}

bool DestroyWindow(WindowHandle window) {
    bool found = false;
    detail::RunOnUiThread([&] {
        const auto it = g_windows.find(window);
        if (it == g_windows.end()) return;
        found = it->second != nullptr;
        delete it->second.data();
        g_windows.erase(it);
        g_receivers.erase(window);
    });
    return found;
}

bool IsWindow(WindowHandle window) {
    return WithWindow(window, [](QWidget*) {});
}

WindowHandle GetDlgItem(WindowHandle parent, int id) {
    WindowHandle item = 0;
    WithWindow(parent, [&](QWidget* w) {
        for (QWidget* child : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (child->property(kIdProperty).toInt() == id)
                item = child->property(kHandleProperty).toUInt();
    });
    return item;
}

bool SetWindowTextA(WindowHandle window, const char* text) {
    const QString value = FromAnsi(text);
    return WithWindow(window, [&](QWidget* w) { SetTextOf(w, value); });
}

int GetWindowTextA(WindowHandle window, char* buffer, int maxCount) {
    if (!buffer || maxCount <= 0) return 0;
    QByteArray text;
    if (!WithWindow(window, [&](QWidget* w) { text = TextOf(w).toLatin1(); })) {
        buffer[0] = '\0';
        return 0;
    }
    const int n = std::min<int>(static_cast<int>(text.size()), maxCount - 1);
    std::memcpy(buffer, text.constData(), static_cast<std::size_t>(n));
    buffer[n] = '\0';
    return n;
}

bool EnableWindow(WindowHandle window, bool enable) {
    return WithWindow(window, [&](QWidget* w) { w->setEnabled(enable); });
}

bool IsWindowEnabled(WindowHandle window) {
    bool enabled = false;
    WithWindow(window, [&](QWidget* w) { enabled = w->isEnabled(); });
    return enabled;
}

bool ShowWindow(WindowHandle window, int command) {
    return WithWindow(window, [&](QWidget* w) {
        if (command == SW_HIDE) {
            w->hide();
        } else {
            w->show();
            w->raise();
            w->activateWindow();
        }
    });
}

bool IsWindowVisible(WindowHandle window) {
    bool visible = false;
    WithWindow(window, [&](QWidget* w) { visible = w->isVisible(); });
    return visible;
}

void SetMessageReceiver(WindowHandle window, MessageReceiver* receiver) {
    detail::RunOnUiThread([&] {
        if (receiver && Find(window)) g_receivers[window] = receiver;
        else g_receivers.erase(window);
    });
}

bool PostMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                  std::intptr_t lParam) {
    // Looked up again when it is taken: by then the window or its receiver may be gone.
    return detail::PostToUiThread([=] {
        const auto it = g_receivers.find(window);
        if (it != g_receivers.end() && Find(window)) it->second->WindowProc(message, wParam, lParam);
    });
}

}  // namespace plat
