// The notification icon on Qt's QSystemTrayIcon. Every change runs on the user-interface
// thread from a copy of the caller's record, so the caller's record is never shared.
#include "platform/linux/ui_thread.h"
#include "platform/tray.h"

#include <QApplication>
#include <QPixmap>
#include <QIcon>
#include <QPointer>
#include <QSystemTrayIcon>

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
        QPixmap image;
        if (!image.loadFromData(data, static_cast<uint>(size), "ICO")) return;
        g_iconTable.push_back(QIcon(image));
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
                if (QSystemTrayIcon::isSystemTrayAvailable()) tray->show();
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
