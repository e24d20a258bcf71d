// The main dialog and the application's start-up, driven as an operator would: commands
// arrive as the buttons, keys and tray send them, while the dialog runs modally.
#include "PtyPair.h"
#include "platform/instance_lock.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "relay/RelayWorker.h"
#include "res/resource.h"
#include "ui/Controls.h"
#include "ui/RelayApp.h"
#include "ui/RelayDlg.h"
#include "ui/TrayIcon.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <vector>

namespace {

// Steps run one after the other from the dialog's own loop; each waits until its
// condition holds, then acts. A step that never comes true ends the dialog.
class Script {
public:
    struct Step {
        std::function<bool()> ready;
        std::function<void()> act;
    };
    explicit Script(std::vector<Step> steps) : m_steps(std::move(steps)) {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
        m_timer.start();
        m_deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    }
    bool finished() const { return m_next == m_steps.size(); }

private:
    void Tick() {
        if (finished()) return m_timer.stop();
        if (std::chrono::steady_clock::now() > m_deadline) {
            ADD_FAILURE() << "step " << m_next << " never came true";
            m_timer.stop();
            if (g_pMainDlg) plat::PostMessageA(g_pMainDlg->m_hWnd, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        Step& step = m_steps[m_next];
        if (step.ready && !step.ready()) return;
        ++m_next;
        if (step.act) step.act();
    }
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    QTimer m_timer;
    std::chrono::steady_clock::time_point m_deadline;
};

// A shown top-level window of this program with that title, if there is one.
QWidget* ShownWindow(const char* title) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == title) return w;
    return nullptr;
}

void Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam = 0) {
    plat::PostMessageA(g_pMainDlg->m_hWnd, message, wParam, lParam);
}

class RelayDialog : public testing::Test {
protected:
    void SetUp() override {
        ConnectResources();
        RegisterTrayMessage();
    }
    ScratchDir dir;
};

}  // namespace

struct SettingsCase {
    const char* name;
    const char* file;
    const char* port1;
    const char* port2;
};

void PrintTo(const SettingsCase& c, std::ostream* os) { *os << c.name; }

// One dialog per process: the control references are set once per program, and a stop
// thread of an earlier dialog could still be reading them.
class SettingsFile : public RelayDialog, public testing::WithParamInterface<SettingsCase> {};

TEST_P(SettingsFile, FillsThePortFieldsUnchanged) {
    const SettingsCase& c = GetParam();
    if (c.file) WriteFile("tandemix.ini", c.file);
    std::string port1, port2, title;
    CRelayDlg dlg;
    Script script({{[] { return g_pMainDlg && g_pMainDlg->IsWindowVisible(); },
                    [&] {
                        port1 = TextOf(*g_pEditPort1);
                        port2 = TextOf(*g_pEditPort2);
                        title = TextOf(*g_pMainDlg);
                        Post(WM_COMMAND, IDCANCEL);  // EXIT while idle
                    }}});
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(port1, c.port1);
    EXPECT_EQ(port2, c.port2);
    EXPECT_EQ(title, "tandemix v2.3");
    EXPECT_FALSE(g_bWorkerActive);
}

INSTANTIATE_TEST_SUITE_P(
    RelayDialog, SettingsFile,
    testing::Values(SettingsCase{"NoFile", nullptr, "3", "4"},
                    SettingsCase{"AnyCase", "[Serial]\r\nPORT1 = COM5\r\nport2=12\r\n", "COM5", "12"},
                    SettingsCase{"OtherSection", "[other]\nport1=7\n", "3", "4"}),
    [](const testing::TestParamInfo<SettingsCase>& info) { return std::string(info.param.name); });

TEST_F(RelayDialog, ExitWhileRelayingWritesTheTranscriptFirst) {
    PtyPair far3(3), far4(4);
    std::string received;
    bool buttonsDisabledOnExit = false;
    CRelayDlg dlg;
    Script script({
        {[] { return g_pButtonOK && g_pButtonOK->IsWindowEnabled(); }, [] { Post(WM_COMMAND, IDOK); }},
        {[] { return TextOf(*g_pButtonOK) == "STOP" && g_pButtonCancel->IsWindowEnabled(); },
         [&] { far3.Send("abc"); }},
        {[&] { received += far4.Receive(16, 0); return received == "abc"; },
         [] { Post(WM_COMMAND, IDCANCEL); }},
        {[] { return !g_pButtonOK->IsWindowEnabled(); },
         [&] { buttonsDisabledOnExit = !g_pButtonCancel->IsWindowEnabled(); }},
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(buttonsDisabledOnExit);
    EXPECT_FALSE(g_bWorkerActive) << "the dialog closes only after the worker has ended";
    const auto files = dir.Files("output.");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(ReadFile(files[0]).find("\r\n>abc\r\nEnd Of Log (total bytes redirected:3, lines:1.)"),
              std::string::npos);
}

TEST_F(RelayDialog, MinimiseHidesAndLeftClicksOnTheTrayToggle) {
    std::vector<bool> visible;
    auto note = [&] { visible.push_back(g_pMainDlg->IsWindowVisible()); };
    CRelayDlg dlg;
    Script script({
        {[] { return g_pMainDlg && g_pMainDlg->IsWindowVisible(); },
         [] { Post(WM_SYSCOMMAND, SC_MINIMIZE); }},
        {[] { return !g_pMainDlg->IsWindowVisible(); },
         [&] { note(); Post(g_uTrayMessage, kTrayIconId, plat::WM_LBUTTONUP); }},
        {[] { return g_pMainDlg->IsWindowVisible(); },
         [&] { note(); Post(g_uTrayMessage, kTrayIconId, plat::WM_RBUTTONUP); }},
        {nullptr, [&] { Post(g_uTrayMessage, kTrayIconId, plat::WM_LBUTTONDOWN); }},
        {nullptr, [&] { note(); Post(g_uTrayMessage, kTrayIconId, plat::WM_LBUTTONUP); }},
        {[] { return !g_pMainDlg->IsWindowVisible(); },
         [&] { note(); Post(g_uTrayMessage, kTrayIconId, plat::WM_LBUTTONUP); }},
        {[] { return g_pMainDlg->IsWindowVisible(); }, [] { Post(WM_COMMAND, IDCANCEL); }},
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(script.finished());
    // hidden by minimise, shown by a click, a right click and a press change nothing,
    // hidden again by the next release
    EXPECT_EQ(visible, (std::vector<bool>{false, true, true, false}));
}

TEST_F(RelayDialog, AboutOpensModalOverTheDialogAndCloses) {
    bool modal = false;
    CRelayDlg dlg;
    AfxSetMainWnd(&dlg);  // as start-up makes it, so that the About box is modal over it
    Script script({
        {[] { return g_pMainDlg && g_pMainDlg->IsWindowVisible(); },
         [] { Post(WM_SYSCOMMAND, IDM_ABOUTBOX); }},
        {[] { return ShownWindow("About velcaster"); },
         [&] {
             QWidget* about = ShownWindow("About velcaster");
             modal = about->windowModality() == Qt::ApplicationModal;
             about->close();  // the close box: cancel
         }},
        {[] { return !ShownWindow("About velcaster"); }, [] { Post(WM_COMMAND, IDCANCEL); }},
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    AfxSetMainWnd(nullptr);
    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(modal);
}

TEST_F(RelayDialog, SocketsFailureShowsOnlyTheMessageBoxThenEnds) {
    plat::SetSocketsStartupFails(true);
    CRelayApp app;
    app.m_pszAppName = "tandemix";
    std::string text, caption;
    auto messageBox = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
        return static_cast<QMessageBox*>(nullptr);
    };
    Script script({{[&] { return messageBox() != nullptr; },
                    [&] {
                        QMessageBox* box = messageBox();
                        text = box->text().toStdString();
                        caption = box->windowTitle().toStdString();
                        box->button(QMessageBox::Ok)->click();
                    }}});
    EXPECT_FALSE(app.InitInstance());
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(text, "Windows sockets initialization failed.");
    EXPECT_EQ(caption, "tandemix");
    EXPECT_EQ(g_pMainDlg, nullptr) << "no dialog";
    app.ExitInstance();
    plat::SetSocketsStartupFails(false);
    // The lock went with ExitInstance: the next start is a first start.
    const plat::LockHandle again = plat::CreateNamedLock("Quornfeld.velcaster");
    EXPECT_NE(plat::LastError(), plat::kErrorAlreadyExists);
    plat::CloseNamedLock(again);
}

TEST_F(RelayDialog, SecondCopyShowsTheFirstCopysWindowAndEnds) {
    // The first copy: its lock and its dialog window, hidden in the tray.
    const plat::LockHandle first = plat::CreateNamedLock("Quornfeld.velcaster");
    ASSERT_NE(plat::LastError(), plat::kErrorAlreadyExists);
    CWnd firstWindow;
    ASSERT_TRUE(firstWindow.Create(nullptr, "TANDEMIX v2.3", 0, {0, 0, 300, 200}, nullptr, 0));
    EXPECT_FALSE(firstWindow.IsWindowVisible());

    CRelayApp second;
    EXPECT_FALSE(second.InitInstance());
    EXPECT_TRUE(firstWindow.IsWindowVisible());
    EXPECT_EQ(g_pMainDlg, nullptr) << "the second copy shows nothing of its own";
    second.ExitInstance();
    plat::CloseNamedLock(first);
}
