// Dialogs from templates on Qt Widgets: the part of the window system's dialog manager that
// the program relies on. The dialog and its controls are ordinary windows of window_qt.cpp,
// so every handle call works on them; what the dialog manager adds (keys, the close box,
// minimising, the system menu) is an event filter that posts the window system's messages
// to the dialog's receiver.
#include "platform/linux/ui_thread.h"
#include "platform/linux/widgets.h"
#include "platform/window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFont>
#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

namespace {

// window_qt.cpp marks every widget it makes with these.
const char kHandleProperty[] = "tandemixHandle";
const char kIdProperty[] = "tandemixControlId";

// "MS Sans Serif" is a Windows bitmap font that Debian does not have, and fontconfig would
// hand Qt whatever it ranks first. DejaVu Sans comes with Qt on every Debian desktop, and at
// 8 points its dialog base units come out as MS Sans Serif's 6 by 13 at 96 dpi.
constexpr char kMsSansSerifStandIn[] = "DejaVu Sans";
constexpr int kDefaultPointSize = 8;
constexpr int kIconSize = 32;  // an icon control takes the system's icon size, not its own

constexpr int kIdCancel = 2;
constexpr int kIdOk = 1;

IcoSource g_icoSource = nullptr;  // user-interface thread only

QWidget* WidgetOf(WindowHandle window) { return detail::FindWidget(window); }

QWidget* ItemOf(QWidget* dialog, int id) {
    for (QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->property(kIdProperty).isValid() && child->property(kIdProperty).toInt() == id)
            return child;
    return nullptr;
}

using detail::WithWindow;

QIcon IconFromIco(std::span<const unsigned char> ico) { return detail::IconFromIco(ico.data(), ico.size()); }

QFont DialogFont(const DialogTemplate& dialog) {
    QString family = QString::fromLatin1(dialog.fontName.c_str());
    if (family.isEmpty() || family.compare("MS Sans Serif", Qt::CaseInsensitive) == 0 ||
        family.compare("MS Shell Dlg", Qt::CaseInsensitive) == 0)
        family = kMsSansSerifStandIn;
    QFont font(family);
    font.setPointSize(dialog.pointSize > 0 ? dialog.pointSize : kDefaultPointSize);
    // Qt's weights are the window system's 100 to 900; 0 there means normal.
    if (dialog.weight > 0) font.setWeight(static_cast<QFont::Weight>(std::clamp(dialog.weight, 1, 1000)));
    font.setItalic(dialog.italic);
    return font;
}

DialogBaseUnits UnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(width / 26 + 1) / 2, metrics.height()};
}

int MulDiv(int number, int numerator, int denominator) {
    const long long product = static_cast<long long>(number) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

// A static's text as the window system shows it: "&" marks an access key and is not
// shown, "&&" shows one "&".
std::string WithoutPrefixes(const std::string& text) {
    std::string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') shown += '&';
            ++i;
            if (i < text.size() && text[i] != '&') shown += text[i];
            continue;
        }
        shown += text[i];
    }
    return shown;
}

class DialogHooks : public QObject {
public:
    DialogHooks(QWidget* dialog, WindowHandle handle, std::uint32_t style, int defaultId)
        : QObject(dialog), m_dialog(dialog), m_handle(handle), m_style(style),
          m_defaultId(defaultId) {}

    struct MenuItem {
        std::uint32_t flags;
        std::uintptr_t id;
        QString text;
    };
    std::vector<MenuItem> menu;
    bool minimizing = false;  // our own minimise, which passes

    // A control's command, as a click or the dialog keys give it: none from a disabled
    // control. Without such a control the command still goes, as the dialog manager's does.
    void Command(int id) {
        QWidget* item = ItemOf(m_dialog, id);
        if (item && !item->isEnabled()) return;
        const WindowHandle itemHandle = item ? item->property(kHandleProperty).toUInt() : 0;
        PostMessageA(m_handle, WM_COMMAND, static_cast<std::uintptr_t>(id),
                     static_cast<std::intptr_t>(itemHandle));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool onDialog = watched == m_dialog;
        switch (event->type()) {
            case QEvent::KeyPress: return KeyPress(static_cast<QKeyEvent*>(event));
            case QEvent::Close:
                if (!onDialog) return false;
                // The close box is the close command; whether it closes is the handler's say.
                event->ignore();
                PostMessageA(m_handle, WM_SYSCOMMAND, SC_CLOSE, 0);
                return true;
            case QEvent::ContextMenu:
                // Also what a static passes up: a click on a label is one on the background.
                if (!onDialog) return false;
                OpenSystemMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
                return true;
            case QEvent::WindowStateChange:
                if (onDialog) StateChange(static_cast<QWindowStateChangeEvent*>(event));
                return false;
            case QEvent::Paint:
                if (onDialog) PostMessageA(m_handle, WM_PAINT, 0, 0);
                return false;
            default: return false;
        }
    }

private:
    bool KeyPress(QKeyEvent* key) {
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            modifiers == Qt::NoModifier) {
            Command(m_defaultId);
            return true;
        }
        if (key->key() == Qt::Key_Escape && modifiers == Qt::NoModifier) {
            Command(kIdCancel);
            return true;
        }
        // The window manager owns the title bar's menu on X11, so the dialog has its own.
        if (key->key() == Qt::Key_Space && modifiers == Qt::AltModifier) {
            OpenSystemMenu(m_dialog->mapToGlobal(QPoint(0, 0)));
            return true;
        }
        return false;
    }

    // A window manager minimises without asking; the window system asks the window first
    // (SC_MINIMIZE), and the window may choose to hide instead. So the minimise is undone
    // and the command delivered; the default handling minimises for real.
    void StateChange(QWindowStateChangeEvent* change) {
        if (minimizing || !(m_dialog->windowState() & Qt::WindowMinimized) ||
            (change->oldState() & Qt::WindowMinimized))
            return;
        const Qt::WindowStates previous = change->oldState();
        // Not from inside the state change itself: the window manager may still be at it.
        QTimer::singleShot(0, this, [this, previous] {
            m_dialog->setWindowState(previous);
            PostMessageA(m_handle, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        });
    }

    void OpenSystemMenu(QPoint at) {
        auto* popup = new QMenu(m_dialog);
        popup->setAttribute(Qt::WA_DeleteOnClose);
        Add(popup, "&Move", SC_MOVE);
        if (m_style & WS_MINIMIZEBOX) Add(popup, "Mi&nimize", SC_MINIMIZE);
        popup->addSeparator();
        Add(popup, "&Close", SC_CLOSE);
        for (const MenuItem& item : menu) {
            if (item.flags & MF_SEPARATOR) popup->addSeparator();
            else Add(popup, item.text, item.id);
        }
        popup->popup(at);
    }

    void Add(QMenu* popup, const QString& text, std::uintptr_t id) {
        QAction* action = popup->addAction(text);
        connect(action, &QAction::triggered, this,
                [this, id] { PostMessageA(m_handle, WM_SYSCOMMAND, id, 0); });
    }

    QWidget* m_dialog;
    WindowHandle m_handle;
    std::uint32_t m_style;
    int m_defaultId;
};

DialogHooks* HooksOf(QWidget* dialog) {
    return dialog->findChild<DialogHooks*>(QString(), Qt::FindDirectChildrenOnly);
}

const char* WindowClassOf(const std::string& className) {
    const QString name = QString::fromLatin1(className.c_str());
    if (name.compare("Button", Qt::CaseInsensitive) == 0) return "BUTTON";
    if (name.compare("Edit", Qt::CaseInsensitive) == 0) return "EDIT";
    if (name.compare("Static", Qt::CaseInsensitive) == 0) return "STATIC";
    return nullptr;
}

void SetUpStatic(QLabel* label, const ControlTemplate& control) {
    const std::uint32_t type = control.style & SS_TYPEMASK;
    if (type == SS_ICON) {
        label->clear();
        if (g_icoSource && control.imageId)
            label->setPixmap(IconFromIco(g_icoSource(*control.imageId)).pixmap(kIconSize, kIconSize));
        label->resize(kIconSize, kIconSize);
        return;
    }
    label->setWordWrap(true);  // the window system's text statics wrap at words
    const Qt::Alignment horizontal = type == SS_CENTER ? Qt::AlignHCenter
                                     : type == SS_RIGHT ? Qt::AlignRight : Qt::AlignLeft;
    label->setAlignment(horizontal | Qt::AlignTop);
}

void PlaceDialog(QWidget* dialog, QWidget* owner) {
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QRect over = owner ? owner->window()->frameGeometry() : area;
    QRect placed(QPoint(0, 0), dialog->size());
    placed.moveCenter(over.center());
    placed.moveLeft(std::clamp(placed.left(), area.left(), std::max(area.left(), area.right() - placed.width())));
    placed.moveTop(std::clamp(placed.top(), area.top(), std::max(area.top(), area.bottom() - placed.height())));
    dialog->move(placed.topLeft());
}

}  // namespace

void SetIcoSource(IcoSource find) {
    detail::RunOnUiThread([&] { g_icoSource = find; });
}

DialogBaseUnits GetDialogBaseUnits(const DialogTemplate& dialog) {
    DialogBaseUnits units;
    detail::RunOnUiThread([&] { units = UnitsOf(DialogFont(dialog)); });
    return units;
}

Rect MapDialogRect(DialogBaseUnits units, int x, int y, int cx, int cy) {
    const int left = MulDiv(x, units.x, 4);
    const int top = MulDiv(y, units.y, 8);
    return {left, top, left + MulDiv(cx, units.x, 4), top + MulDiv(cy, units.y, 8)};
}

WindowHandle CreateDialogIndirect(const DialogTemplate& dialog, WindowHandle owner) {
    WindowHandle handle = 0;
    detail::RunOnUiThread([&] {
        QWidget* ownerWidget = WidgetOf(owner);
        if (owner && !ownerWidget) return;
        const QFont font = DialogFont(dialog);
        const DialogBaseUnits units = UnitsOf(font);
        const Rect client = MapDialogRect(units, 0, 0, dialog.cx, dialog.cy);
        handle = CreateWindowA(nullptr, dialog.caption.c_str(), dialog.style, client, 0, 0);
        QWidget* w = WidgetOf(handle);
        if (!w) {
            handle = 0;
            return;
        }
        // No maximise box and no sizing border: the template's is the only size.
        Qt::WindowFlags flags = (ownerWidget ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint |
                                Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                Qt::WindowCloseButtonHint;
        if (dialog.style & WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
        if (ownerWidget) {
            w->setParent(ownerWidget->window(), flags);
            w->setWindowModality(Qt::ApplicationModal);
        } else {
            w->setWindowFlags(flags);
        }
        w->setFont(font);
        w->setFixedSize(client.right, client.bottom);

        int defaultId = kIdOk;
        for (const ControlTemplate& c : dialog.controls)
            if (WindowClassOf(c.className) == std::string("BUTTON") &&
                (c.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                defaultId = c.id;
        auto* hooks = new DialogHooks(w, handle, dialog.style, defaultId);
        w->installEventFilter(hooks);

        QWidget* previousTabStop = nullptr;
        for (const ControlTemplate& c : dialog.controls) {
            const char* windowClass = WindowClassOf(c.className);
            const bool isStatic = windowClass && std::string(windowClass) == "STATIC";
            const std::string text =
                isStatic && !(c.style & SS_NOPREFIX) ? WithoutPrefixes(c.text) : c.text;
            const Rect r = MapDialogRect(units, c.x, c.y, c.cx, c.cy);
            QWidget* item = WidgetOf(CreateWindowA(windowClass, text.c_str(), c.style, r, handle, c.id));
            if (!item) continue;
            if (auto* button = qobject_cast<QPushButton*>(item)) {
                // Enter is the dialog's, for its default button, wherever the focus is.
                button->setAutoDefault(false);
                const int id = c.id;
                QObject::connect(button, &QPushButton::clicked, hooks, [hooks, id] { hooks->Command(id); });
            } else if (auto* edit = qobject_cast<QLineEdit*>(item)) {
                edit->setFrame(c.style & WS_BORDER);
            } else if (auto* label = qobject_cast<QLabel*>(item)) {
                SetUpStatic(label, c);
            }
            const bool tabStop = c.style & WS_TABSTOP;
            item->setFocusPolicy(tabStop ? Qt::StrongFocus : isStatic ? Qt::NoFocus : Qt::ClickFocus);
            if (tabStop) {
                if (previousTabStop) QWidget::setTabOrder(previousTabStop, item);
                previousTabStop = item;
            }
            item->setEnabled(!(c.style & WS_DISABLED));
            if (!(c.style & WS_VISIBLE)) item->hide();
            item->installEventFilter(hooks);
        }
        PlaceDialog(w, ownerWidget);
    });
    return handle;
}

bool SetInitialDialogFocus(WindowHandle dialog) {
    bool focused = false;
    WithWindow(dialog, [&](QWidget* w) {
        for (QObject* child : w->children()) {
            auto* item = qobject_cast<QWidget*>(child);
            if (!item || !item->property(kIdProperty).isValid()) continue;
            if ((item->focusPolicy() & Qt::TabFocus) && item->isEnabled() && !item->isHidden()) {
                item->setFocus(Qt::TabFocusReason);
                focused = true;
                return;
            }
        }
    });
    return focused;
}

void WaitAndProcessMessages() {
    // Calls from other threads and posted messages come in through the call queue's socket
    // notifier, so a wait here wakes for them too. Qt's event sources may recurse, so this
    // holds in a modal loop that a posted message started.
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

bool IsIconic(WindowHandle window) {
    bool iconic = false;
    WithWindow(window, [&](QWidget* w) { iconic = w->isMinimized(); });
    return iconic;
}

namespace {

bool MinimizeWindow(WindowHandle window) {
    return WithWindow(window, [&](QWidget* w) {
        DialogHooks* hooks = HooksOf(w);
        if (hooks) hooks->minimizing = true;
        w->setWindowState((w->windowState() & ~Qt::WindowActive) | Qt::WindowMinimized);
        if (hooks) hooks->minimizing = false;
    });
}

bool StartWindowMove(WindowHandle window) {
    bool started = false;
    WithWindow(window, [&](QWidget* w) {
        if (QWindow* native = w->windowHandle()) started = native->startSystemMove();
    });
    return started;
}

}  // namespace

void DefaultSysCommand(WindowHandle window, std::uint32_t id, std::intptr_t) {
    // The low four bits belong to the window system.
    switch (id & 0xFFF0) {
        case SC_MINIMIZE: MinimizeWindow(window); break;
        case SC_MOVE: StartWindowMove(window); break;
        default: break;
    }
}

bool SetWindowIconIco(WindowHandle window, std::span<const unsigned char> ico) {
    return WithWindow(window, [&](QWidget* w) { w->setWindowIcon(IconFromIco(ico)); });
}

bool AppendSystemMenu(WindowHandle dialog, std::uint32_t flags, std::uintptr_t id,
                      const char* text) {
    bool appended = false;
    const QString label = QString::fromLatin1(text ? text : "");
    WithWindow(dialog, [&](QWidget* w) {
        if (DialogHooks* hooks = HooksOf(w)) {
            hooks->menu.push_back({flags, id, label});
            appended = true;
        }
    });
    return appended;
}

bool ResetSystemMenu(WindowHandle dialog) {
    bool reset = false;
    WithWindow(dialog, [&](QWidget* w) {
        if (DialogHooks* hooks = HooksOf(w)) {
            hooks->menu.clear();
            reset = true;
        }
    });
    return reset;
}

}  // namespace plat
