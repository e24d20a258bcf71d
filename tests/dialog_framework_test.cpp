// Dialogs built from the program's real templates, driven through their real Qt widgets:
// layout in pixels, focus, the dialog keys, the close box, minimising, the system menu and
// the message table.
#include "platform/framework.h"
#include "res/ResourceScript.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr int kTestTemplate = 9000;
DialogTemplate g_testTemplate;  // kTestTemplate, made by the test that uses it
std::uint32_t g_testMessage = 0;  // registered by the test that uses it

const DialogTemplate* FindTemplate(int id) {
    return id == kTestTemplate ? &g_testTemplate : Resources().dialog(id);
}

std::span<const unsigned char> FindIco(int id) {
    const IconResource* icon = Resources().icon(id);
    return icon ? icon->file : std::span<const unsigned char>();
}

QWidget* WidgetOf(plat::WindowHandle window) {
    for (QWidget* w : QApplication::allWidgets())
        if (window && w->property("tandemixHandle").toUInt() == window) return w;
    return nullptr;
}

// The dialog's controls in template order.
std::vector<QWidget*> ControlsOf(QWidget* dialog) {
    std::vector<QWidget*> controls;
    for (QObject* child : dialog->children())
        if (auto* w = qobject_cast<QWidget*>(child); w && w->property("tandemixControlId").isValid())
            controls.push_back(w);
    return controls;
}

int Pixels(int units, int base, int divisor) { return (units * base + divisor / 2) / divisor; }

class TestDialog : public CDialog {
public:
    explicit TestDialog(int id = IDD_MAIN, CWnd* parent = nullptr) : CDialog(id, parent) {}

    std::function<void(TestDialog&)> onInit, onShown, onCancel;
    std::function<void(TestDialog&, std::uint32_t)> onSysCommand;  // instead of the base
    int oks = 0, cancels = 0;
    bool destroyed = false;
    std::vector<std::uint32_t> sysCommands;
    std::vector<std::uintptr_t> testMessages;

    QWidget* Widget() const { return WidgetOf(m_hWnd); }
    QWidget* Item(int id) const {
        CWnd* item = GetDlgItem(id);
        return item ? WidgetOf(item->m_hWnd) : nullptr;
    }

    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        // Should a case go wrong, the dialog still ends.
        QTimer::singleShot(10000, Widget(), [this] { EndDialog(-99); });
        if (onInit) onInit(*this);
        if (onShown) QTimer::singleShot(0, Widget(), [this] { onShown(*this); });
        return true;
    }
    void OnOK() override {
        ++oks;
        CDialog::OnOK();
    }
    void OnCancel() override {
        ++cancels;
        if (onCancel) onCancel(*this);
        else CDialog::OnCancel();
    }
    bool DestroyWindow() override {
        destroyed = true;
        return CDialog::DestroyWindow();
    }
    void OnSysCommand(std::uint32_t id, std::intptr_t param) override {
        sysCommands.push_back(id);
        if (onSysCommand) onSysCommand(*this, id);
        else CDialog::OnSysCommand(id, param);
    }
    std::intptr_t OnTestMessage(std::uintptr_t wParam, std::intptr_t) {
        testMessages.push_back(wParam);
        EndDialog(77);
        return 0;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestDialog, CDialog)
    ON_WM_SYSCOMMAND()
    ON_REGISTERED_MESSAGE(g_testMessage, OnTestMessage)
END_MESSAGE_MAP()

void SendKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QCoreApplication::sendEvent(target, &release);
}

class DialogFramework : public testing::Test {
protected:
    void SetUp() override {
        AfxSetDialogTemplateSource(&FindTemplate);
        AfxSetIconSource(&FindIco);
    }
};

}  // namespace

TEST_F(DialogFramework, ControlsStandWhereTheTemplateSaysInPixels) {
    const DialogTemplate& t = *Resources().dialog(IDD_MAIN);
    TestDialog d;
    d.onInit = [&](TestDialog& dlg) {
        QWidget* w = dlg.Widget();
        ASSERT_NE(w, nullptr);
        EXPECT_FALSE(w->isVisible());  // created hidden, shown after the initialisation
        EXPECT_EQ(w->font().family(), "DejaVu Sans");
        EXPECT_EQ(w->font().pointSize(), 8);
        const QFontMetrics metrics(w->font());
        const int baseX = (metrics.horizontalAdvance(
                               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2;
        const int baseY = metrics.height();
        EXPECT_EQ(plat::GetDialogBaseUnits(t).x, baseX);
        EXPECT_EQ(plat::GetDialogBaseUnits(t).y, baseY);
        EXPECT_EQ(w->size(), QSize(Pixels(t.cx, baseX, 4), Pixels(t.cy, baseY, 8)));
        const std::vector<QWidget*> controls = ControlsOf(w);
        ASSERT_EQ(controls.size(), t.controls.size());
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const ControlTemplate& c = t.controls[i];
            SCOPED_TRACE("control " + std::to_string(i + 1) + " \"" + c.text + "\"");
            EXPECT_EQ(controls[i]->geometry(),
                      QRect(Pixels(c.x, baseX, 4), Pixels(c.y, baseY, 8), Pixels(c.cx, baseX, 4),
                            Pixels(c.cy, baseY, 8)));
            const char* qtClass = c.className == "Button" ? "QPushButton"
                                  : c.className == "Edit" ? "QLineEdit" : "QLabel";
            EXPECT_TRUE(controls[i]->inherits(qtClass));
            if (auto* label = qobject_cast<QLabel*>(controls[i])) {
                EXPECT_EQ(label->textFormat(), Qt::PlainText);
                const Qt::Alignment expected = (c.style & 0x1F) == 2 ? Qt::AlignRight
                                               : (c.style & 0x1F) == 1 ? Qt::AlignHCenter
                                                                       : Qt::AlignLeft;
                EXPECT_EQ(label->alignment() & Qt::AlignHorizontal_Mask, expected);
            }
        }
    };
    d.onShown = [](TestDialog& dlg) {
        QWidget* w = dlg.Widget();
        const plat::IconHandle icon = AfxLoadIcon(IDR_MAINFRAME);
        EXPECT_NE(icon, 0u);
        EXPECT_EQ(AfxLoadIcon(IDR_MAINFRAME), icon);
        dlg.SetIcon(icon, true);
        EXPECT_EQ(dlg.SetIcon(icon, false), 0u);
        EXPECT_FALSE(w->windowIcon().isNull());
        dlg.SetWindowText("tandemix v2.3");
        EXPECT_EQ(w->windowTitle(), "tandemix v2.3");
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(w->minimumSize(), w->maximumSize());  // fixed size
        EXPECT_FALSE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_TRUE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_TRUE(w->windowFlags() & Qt::WindowCloseButtonHint);
        dlg.EndDialog(5);
    };
    EXPECT_EQ(d.DoModal(), 5);
    EXPECT_TRUE(d.destroyed);  // the derived DestroyWindow ran
    EXPECT_EQ(d.m_hWnd, 0u);
}

TEST_F(DialogFramework, TabOrderIsTemplateOrderAndStartHasTheFocus) {
    TestDialog d;
    std::vector<int> order;
    QWidget* focused = nullptr;
    QWidget* start = nullptr;
    d.onShown = [&](TestDialog& dlg) {
        start = dlg.Item(IDOK);
        focused = dlg.Widget()->focusWidget();
        QWidget* w = start;
        do {
            if ((w->focusPolicy() & Qt::TabFocus) && w->window() == dlg.Widget())
                order.push_back(w->property("tandemixControlId").toInt());
            w = w->nextInFocusChain();
        } while (w != start && order.size() < 10);
        dlg.EndDialog(IDOK);
    };
    d.DoModal();
    EXPECT_NE(start, nullptr);
    EXPECT_EQ(focused, start);
    EXPECT_EQ(order, (std::vector<int>{IDOK, IDCANCEL, IDC_PORT1, IDC_PORT2}));
}

TEST_F(DialogFramework, EnterIsTheDefaultButtonAndEscIsCancelWhereverTheFocusIs) {
    struct Case {
        int target;
        int key;
        Qt::KeyboardModifiers modifiers;
        int result, oks, cancels;
    };
    const Case cases[] = {
        {IDCANCEL, Qt::Key_Return, Qt::NoModifier, IDOK, 1, 0},
        {IDC_PORT1, Qt::Key_Return, Qt::NoModifier, IDOK, 1, 0},
        {IDC_PORT2, Qt::Key_Enter, Qt::KeypadModifier, IDOK, 1, 0},
        {IDOK, Qt::Key_Escape, Qt::NoModifier, IDCANCEL, 0, 1},
        {IDC_PORT1, Qt::Key_Escape, Qt::NoModifier, IDCANCEL, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("key " + std::to_string(c.key) + " on control " + std::to_string(c.target));
        TestDialog d;
        d.onShown = [&](TestDialog& dlg) { SendKey(dlg.Item(c.target), c.key, c.modifiers); };
        EXPECT_EQ(d.DoModal(), c.result);
        EXPECT_EQ(d.oks, c.oks);
        EXPECT_EQ(d.cancels, c.cancels);
    }
}

TEST_F(DialogFramework, ButtonClicksReachOnOKAndOnCancel) {
    const int buttons[] = {IDOK, IDCANCEL};
    for (const int id : buttons) {
        TestDialog d;
        d.onShown = [&](TestDialog& dlg) { qobject_cast<QPushButton*>(dlg.Item(id))->click(); };
        EXPECT_EQ(d.DoModal(), id);
        EXPECT_EQ(d.oks + d.cancels, 1);
    }
}

TEST_F(DialogFramework, CloseBoxIsCancelUnlessTheCancelButtonIsDisabled) {
    TestDialog d;
    bool accepted = true;
    d.onShown = [&](TestDialog& dlg) {
        QCloseEvent close;
        QCoreApplication::sendEvent(dlg.Widget(), &close);
        accepted = close.isAccepted();
    };
    EXPECT_EQ(d.DoModal(), IDCANCEL);
    EXPECT_FALSE(accepted);  // the window stays until the handler ends the dialog
    EXPECT_EQ(d.cancels, 1);
    EXPECT_EQ(d.sysCommands, std::vector<std::uint32_t>{SC_CLOSE});

    TestDialog disabled;
    disabled.onShown = [&](TestDialog& dlg) {
        dlg.GetDlgItem(IDCANCEL)->EnableWindow(false);
        QCloseEvent close;
        QCoreApplication::sendEvent(dlg.Widget(), &close);
        SendKey(dlg.Item(IDC_PORT1), Qt::Key_Escape);
        QTimer::singleShot(200, dlg.Widget(), [&dlg] { dlg.EndDialog(9); });
    };
    EXPECT_EQ(disabled.DoModal(), 9);
    EXPECT_EQ(disabled.cancels, 0);
    EXPECT_EQ(disabled.sysCommands, std::vector<std::uint32_t>{SC_CLOSE});  // asked, not closed
}

TEST_F(DialogFramework, PostedCancelCommandRunsOnCancelAgainFromTheLoop) {
    TestDialog d;
    d.onShown = [](TestDialog& dlg) {
        dlg.GetDlgItem(IDCANCEL)->EnableWindow(false);  // a posted command still arrives
        dlg.PostMessage(WM_COMMAND, IDCANCEL, static_cast<std::intptr_t>(dlg.m_hWnd));
    };
    // As the program's exit does while a worker stops: post itself again, end the third time.
    d.onCancel = [](TestDialog& dlg) {
        if (dlg.cancels < 3) dlg.PostMessage(WM_COMMAND, IDCANCEL, static_cast<std::intptr_t>(dlg.m_hWnd));
        else dlg.EndDialog(IDCANCEL);
    };
    EXPECT_EQ(d.DoModal(), IDCANCEL);
    EXPECT_EQ(d.cancels, 3);
}

TEST_F(DialogFramework, StaticTextHidesAccessKeyMarksUnlessNoPrefix) {
    struct Case {
        const char* text;
        std::uint32_t style;
        const char* shown;
    };
    const Case cases[] = {
        {"Save && &Quit", plat::WS_VISIBLE, "Save & Quit"},
        {"Save && &Quit", plat::WS_VISIBLE | plat::SS_NOPREFIX, "Save && &Quit"},
        {"&Port:", plat::WS_VISIBLE | plat::SS_RIGHT, "Port:"},
        {"a&&&b", plat::WS_VISIBLE, "a&b"},
    };
    g_testTemplate = {};
    g_testTemplate.id = kTestTemplate;
    g_testTemplate.style = plat::WS_VISIBLE;
    g_testTemplate.cx = 200;
    g_testTemplate.cy = 100;
    g_testTemplate.fontName = "MS Sans Serif";
    g_testTemplate.pointSize = 8;
    int y = 0;
    for (const Case& c : cases) {
        ControlTemplate control;
        control.className = "Static";
        control.text = c.text;
        control.style = c.style;
        control.x = 0, control.y = y += 10, control.cx = 100, control.cy = 8;
        g_testTemplate.controls.push_back(control);
    }
    // The state bits: a disabled button and a field that is not WS_VISIBLE.
    ControlTemplate button{"Button", 3, "&Go", {}, 0, 60, 50, 14, plat::WS_VISIBLE | plat::WS_DISABLED};
    ControlTemplate field{"Edit", 4, "", {}, 60, 60, 50, 14, plat::WS_TABSTOP};
    g_testTemplate.controls.push_back(button);
    g_testTemplate.controls.push_back(field);
    TestDialog d(kTestTemplate);
    std::vector<std::string> shown;
    bool buttonEnabled = true, fieldHidden = false;
    d.onInit = [&](TestDialog& dlg) {
        for (QWidget* w : ControlsOf(dlg.Widget()))
            if (auto* label = qobject_cast<QLabel*>(w)) shown.push_back(label->text().toStdString());
        buttonEnabled = dlg.Item(3)->isEnabled();
        fieldHidden = dlg.Item(4)->isHidden();
        dlg.EndDialog(0);
    };
    d.DoModal();
    ASSERT_EQ(shown.size(), std::size(cases));
    for (std::size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(shown[i], cases[i].shown) << cases[i].text;
    EXPECT_FALSE(buttonEnabled);
    EXPECT_TRUE(fieldHidden);
}

TEST_F(DialogFramework, AboutBoxShowsTheIconAndEscClosesIt) {
    TestDialog d(IDD_ABOUTBOX);
    QSize icon;
    bool visibleAtInit = true;
    d.onInit = [&](TestDialog& dlg) {
        visibleAtInit = dlg.Widget()->isVisible();
        auto* label = qobject_cast<QLabel*>(ControlsOf(dlg.Widget()).front());
        if (label) icon = label->pixmap().size();
        dlg.PostMessage(WM_COMMAND, IDCANCEL, 0);  // the template is not WS_VISIBLE
    };
    // No IDCANCEL control: the command goes anyway, as the dialog manager sends it.
    EXPECT_EQ(d.DoModal(), IDCANCEL);
    EXPECT_FALSE(visibleAtInit);
    EXPECT_EQ(icon, QSize(32, 32));

    TestDialog shown(IDD_ABOUTBOX);
    shown.onInit = [](TestDialog& dlg) {
        dlg.ShowWindow(plat::SW_SHOW);
        QTimer::singleShot(0, dlg.Widget(), [&dlg] { SendKey(dlg.Item(IDOK), Qt::Key_Escape); });
    };
    EXPECT_EQ(shown.DoModal(), IDCANCEL);
    EXPECT_EQ(shown.cancels, 1);
}

TEST_F(DialogFramework, ItemPointersStayValidAndFailQuietlyAfterTheDialogIsGone) {
    TestDialog d;
    CWnd* status = nullptr;
    d.onInit = [&](TestDialog& dlg) {
        status = dlg.GetDlgItem(IDC_STATUS);
        EXPECT_EQ(dlg.GetDlgItem(IDC_STATUS), status);  // one wrapper per control
        EXPECT_EQ(dlg.GetDlgItem(4242), nullptr);
        status->SetWindowText("live");
        EXPECT_EQ(qobject_cast<QLabel*>(WidgetOf(status->m_hWnd))->text(), "live");
        dlg.EndDialog(IDOK);
    };
    d.DoModal();
    ASSERT_NE(status, nullptr);
    std::atomic<bool> done{false};
    bool setOk = true, enabled = true;
    int got = -1;
    std::thread worker([&] {
        setOk = plat::SetWindowTextA(status->m_hWnd, "late");
        status->SetWindowText("late");
        enabled = status->IsWindowEnabled();
        char text[8] = "x";
        got = status->GetWindowText(text, sizeof text);
        done = true;
    });
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (!done && std::chrono::steady_clock::now() < end) {
        plat::ProcessPendingMessages();
        std::this_thread::sleep_for(1ms);
    }
    worker.join();
    EXPECT_FALSE(setOk);
    EXPECT_FALSE(enabled);
    EXPECT_EQ(got, 0);
    EXPECT_FALSE(status->IsWindowVisible());
}

TEST_F(DialogFramework, ModalLoopServesCallsFromOtherThreads) {
    TestDialog d;
    std::thread worker;
    std::string seen;
    d.onShown = [&](TestDialog& dlg) {
        CWnd* status = dlg.GetDlgItem(IDC_STATUS);
        worker = std::thread([status, &dlg] {
            status->SetWindowText("from the worker");  // waits for the loop to run it
            dlg.PostMessage(WM_COMMAND, IDCANCEL, 0);
        });
    };
    d.onCancel = [&](TestDialog& dlg) {
        char text[32] = "";
        dlg.GetDlgItem(IDC_STATUS)->GetWindowText(text, sizeof text);
        seen = text;
        dlg.EndDialog(IDCANCEL);
    };
    EXPECT_EQ(d.DoModal(), IDCANCEL);
    worker.join();
    EXPECT_EQ(seen, "from the worker");
}

TEST_F(DialogFramework, MinimiseArrivesAsTheMinimiseCommand) {
    struct Case {
        const char* name;
        bool hideInstead;
        bool iconicAfter, visibleAfter;
    };
    const Case cases[] = {{"default handling", false, true, true},
                          {"hidden instead", true, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDialog d;
        bool iconicBefore = true, iconicAfter = !c.iconicAfter, visibleAfter = !c.visibleAfter;
        d.onShown = [](TestDialog& dlg) { dlg.Widget()->setWindowState(Qt::WindowMinimized); };
        d.onSysCommand = [&](TestDialog& dlg, std::uint32_t id) {
            iconicBefore = dlg.IsIconic();
            if (c.hideInstead) dlg.ShowWindow(plat::SW_HIDE);
            else dlg.CDialog::OnSysCommand(id, 0);
            iconicAfter = dlg.IsIconic();
            visibleAfter = dlg.IsWindowVisible();
            dlg.EndDialog(3);
        };
        EXPECT_EQ(d.DoModal(), 3);
        EXPECT_EQ(d.sysCommands, std::vector<std::uint32_t>{SC_MINIMIZE});
        EXPECT_FALSE(iconicBefore);  // the window manager's minimise was undone first
        EXPECT_EQ(iconicAfter, c.iconicAfter);
        EXPECT_EQ(visibleAfter, c.visibleAfter);
    }
}

TEST_F(DialogFramework, SystemMenuShowsTheAppendedAboutItemAndDeliversItsCommand) {
    TestDialog d;
    std::vector<std::string> texts, rightClickTexts;
    int aboutResult = 0;
    bool aboutModal = false;
    auto menuTexts = [](QMenu* menu) {
        std::vector<std::string> texts;
        for (QAction* a : menu->actions()) texts.push_back(a->isSeparator() ? "-" : a->text().toStdString());
        return texts;
    };
    d.onInit = [](TestDialog& dlg) {
        CMenu* menu = dlg.GetSystemMenu(false);
        ASSERT_NE(menu, nullptr);
        menu->AppendMenu(MF_SEPARATOR);
        menu->AppendMenu(MF_STRING, IDM_ABOUTBOX, "&About tandemix...");
    };
    d.onShown = [&](TestDialog& dlg) {
        QWidget* w = dlg.Widget();
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), w->mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(w, &click);
        if (QMenu* menu = w->findChild<QMenu*>()) {
            rightClickTexts = menuTexts(menu);
            menu->close();
        }
        SendKey(dlg.Item(IDOK), Qt::Key_Space, Qt::AltModifier);
        QMenu* menu = nullptr;
        for (QMenu* m : w->findChildren<QMenu*>())
            if (m->isVisible()) menu = m;
        ASSERT_NE(menu, nullptr);
        texts = menuTexts(menu);
        menu->actions().back()->trigger();
        menu->close();
    };
    d.onSysCommand = [&](TestDialog& dlg, std::uint32_t id) {
        if ((id & 0xFFF0) != IDM_ABOUTBOX) return;
        TestDialog about(IDD_ABOUTBOX, &dlg);
        about.onInit = [&](TestDialog& box) {
            aboutModal = box.Widget()->windowModality() == Qt::ApplicationModal &&
                         box.Widget()->parentWidget() == dlg.Widget();
            box.PostMessage(WM_COMMAND, IDOK, 0);
        };
        aboutResult = about.DoModal();
        dlg.EndDialog(IDOK);
    };
    EXPECT_EQ(d.DoModal(), IDOK);
    const std::vector<std::string> expected{"&Move", "Mi&nimize", "-", "&Close", "-",
                                            "&About tandemix..."};
    EXPECT_EQ(rightClickTexts, expected);
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(d.sysCommands, std::vector<std::uint32_t>{IDM_ABOUTBOX});
    EXPECT_EQ(aboutResult, IDOK);  // a nested modal loop still takes posted messages
    EXPECT_TRUE(aboutModal);
}

TEST_F(DialogFramework, RegisteredMessageIsMatchedByTheIdItHasWhenDispatched) {
    g_testMessage = plat::RegisterWindowMessageA("tandemix dialog framework test");
    ASSERT_NE(g_testMessage, 0u);
    TestDialog d;
    d.onShown = [](TestDialog& dlg) { dlg.PostMessage(g_testMessage, 42, 0); };
    EXPECT_EQ(d.DoModal(), 77);
    EXPECT_EQ(d.testMessages, std::vector<std::uintptr_t>{42});
}

TEST_F(DialogFramework, DoModalWithoutTemplateFails) {
    TestDialog d(4711);
    EXPECT_EQ(d.DoModal(), -1);
    EXPECT_FALSE(d.destroyed);
}
