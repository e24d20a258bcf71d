// The notification icon on Qt's QSystemTrayIcon. Every change runs on the user-interface
// thread from a copy of the caller's record, so the caller's record is never shared.
#include "platform/linux/ui_thread.h"
#include "platform/linux/widgets.h"
#include "platform/tray.h"

#include <QApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <cctype>
#include <map>
#include <utility>
#include <vector>

namespace plat {

namespace {

std::vector<QIcon> g_iconTable;  // UI thread only; handle n is entry n - 1

QIcon IconOf(IconHandle icon) {
    return icon > 0 && icon <= g_iconTable.size() ? g_iconTable[icon - 1] : QIcon();
}

// UI thread only. Qt deletes the icons with the application; QPointer notices.
std::map<std::pair<WindowHandle, std::uint32_t>, QPointer<QSystemTrayIcon>> g_icons;

// Reports mouse events on one icon to its owner window, numbered as the window system
// numbers them. QSystemTrayIcon::activated is not enough: it fires on the press and folds
// a second click into DoubleClick, where the owner needs down, up, double-click, up.
class MouseReporter : public QObject {
public:
    MouseReporter(QSystemTrayIcon* tray, const NotifyIconData& d)
        : QObject(tray), m_window(d.hWnd), m_id(d.uID), m_message(d.uCallbackMessage) {}

    // On X11 the icon is a small top-level widget of Qt's docked into the tray: its own
    // mouse events are the real ones. Elsewhere (a D-Bus tray) only activated() exists.
    void Attach(QSystemTrayIcon* tray, const QWidgetList& before) {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->inherits("QSystemTrayIconSys") && !before.contains(w)) {
                w->installEventFilter(this);
                return;
            }
        }
        connect(tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
            switch (r) {
                case QSystemTrayIcon::Trigger: Post(WM_LBUTTONDOWN); Post(WM_LBUTTONUP); break;
                case QSystemTrayIcon::DoubleClick: Post(WM_LBUTTONDBLCLK); Post(WM_LBUTTONUP); break;
                case QSystemTrayIcon::Context: Post(WM_RBUTTONDOWN); Post(WM_RBUTTONUP); break;
                case QSystemTrayIcon::MiddleClick: Post(WM_MBUTTONDOWN); Post(WM_MBUTTONUP); break;
                default: break;
            }
        });
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        const auto type = event->type();
        if (type == QEvent::MouseMove) {
            Post(WM_MOUSEMOVE);
        } else if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                   type == QEvent::MouseButtonDblClick) {
            const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
            const int step = type == QEvent::MouseButtonPress ? 0
                             : type == QEvent::MouseButtonRelease ? 1 : 2;
            if (button == Qt::LeftButton) Post(WM_LBUTTONDOWN + step);
            else if (button == Qt::RightButton) Post(WM_RBUTTONDOWN + step);
            else if (button == Qt::MiddleButton) Post(WM_MBUTTONDOWN + step);
        }
        return false;  // Qt's own handling (its context menu, activated) goes on
    }

private:
    void Post(std::uint32_t mouseMessage) {
        if (m_message) PostMessageA(m_window, m_message, m_id, static_cast<std::intptr_t>(mouseMessage));
    }
    WindowHandle m_window;
    std::uint32_t m_id;
    std::uint32_t m_message;
};

void Apply(QSystemTrayIcon* tray, const NotifyIconData& d) {
    if (d.uFlags & NIF_ICON) {
        tray->setIcon(IconOf(d.hIcon));
        tray->setProperty("iconHandle", QVariant::fromValue<qulonglong>(d.hIcon));
    }
    if (d.uFlags & NIF_TIP) tray->setToolTip(QString::fromLatin1(d.szTip));
}

}  // namespace

IconHandle CreateIconFromIco(const unsigned char* data, std::size_t size) {
    IconHandle handle = 0;
    detail::RunOnUiThread([&] {
        const QIcon icon = detail::IconFromIco(data, size);
        if (icon.isNull()) return;
        g_iconTable.push_back(icon);
        handle = g_iconTable.size();
    });
    return handle;
}

std::uint32_t RegisterWindowMessageA(const char* name) {
    if (!name || !*name) return 0;
    // The same name gives the same id in every process: a hash folded into the range the
    // window system keeps for registered messages (0xC000 to 0xFFFF).
    std::uint32_t hash = 2166136261u;
    for (const char* c = name; *c; ++c)
        hash = (hash ^ static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(*c)))) *
               16777619u;
    return 0xC000u + hash % 0x4000u;
}

bool ShellNotifyIcon(NotifyAction action, const NotifyIconData* data) {
    const NotifyIconData d = *data;
    bool ok = false;
    const bool ran = detail::RunOnUiThread([&] {
        const auto key = std::make_pair(d.hWnd, d.uID);
        auto it = g_icons.find(key);
        if (it != g_icons.end() && !it->second) {
            g_icons.erase(it);
            it = g_icons.end();
        }
        switch (action) {
            case NotifyAction::Add: {
                if (it != g_icons.end() || !qApp) return;
                auto* tray = new QSystemTrayIcon(qApp);
                tray->setObjectName(QStringLiteral("tray-%1-%2").arg(d.hWnd).arg(d.uID));
                Apply(tray, d);
                // No notification area: the icon stays unseen and the program works on.
                if (QSystemTrayIcon::isSystemTrayAvailable()) {
                    const QWidgetList before = QApplication::topLevelWidgets();
                    tray->show();
                    (new MouseReporter(tray, d))->Attach(tray, before);
                }
                g_icons[key] = tray;
                ok = true;
                return;
            }
            case NotifyAction::Modify:
                if (it == g_icons.end()) return;
                Apply(it->second, d);
                ok = true;
                return;
            case NotifyAction::Delete:
                if (it == g_icons.end()) return;
                delete it->second.data();
                g_icons.erase(it);
                ok = true;
                return;
        }
    });
    return ran && ok;
}

}  // namespace plat
