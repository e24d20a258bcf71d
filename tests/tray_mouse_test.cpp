// Clicks on the real notification icon, docked into a real tray (trayer on Xvfb), reach
// the owner window as the registered tray message and toggle the dialog.
#include "Scratch.h"
#include "ui/Controls.h"
#include "ui/TrayIcon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QSystemTrayIcon>
#include <QWidget>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace std::chrono_literals;

namespace {

// The owner of the icon, recording what the tray tells it before acting on it.
class Owner : public CWnd {
public:
    std::intptr_t WindowProc(std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override {
        if (message != g_uTrayMessage) return 0;
        if (lParam != plat::WM_MOUSEMOVE) seen.emplace_back(wParam, lParam);
        else ++moves;
        return OnTrayNotify(wParam, lParam);
    }
    std::vector<std::pair<std::uintptr_t, std::intptr_t>> seen;
    int moves = 0;
};

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        plat::ProcessPendingMessages();
        if (done()) return true;
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

void Pump(std::chrono::milliseconds time) {
    PumpUntil([] { return false; }, time);
}

class TrayMouse : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PumpUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }))
            << "no notification area on this display";
        RegisterTrayMessage();
        owner.Create(nullptr, "tandemix v2.3", 0, {100, 100, 400, 300}, nullptr, 0);
        owner.ShowWindow(plat::SW_SHOW);
        g_pMainDlg = &owner;
        // The tray sometimes loses the race to embed a new icon, which then stays under
        // it, out of the pointer's reach: the icon is added again until it is reachable.
        for (int attempt = 0; attempt < 3 && !Reachable(); ++attempt) {
            RemoveTrayIcon();
            Pump(200ms);
        }
        ASSERT_GT(owner.moves, 0) << "the icon never saw the pointer";
    }
    // Adds the icon and waits until it is docked and the pointer over it reaches the owner,
    // as clicks then will.
    bool Reachable() {
        AddTrayIcon();
        tray = qApp->findChild<QSystemTrayIcon*>();
        if (!tray || !PumpUntil([&] { return tray->geometry().width() > 0; })) return false;
        // Docking ends when the tray has mapped Qt's icon window; a click before that is lost.
        if (!PumpUntil([] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (w->inherits("QSystemTrayIconSys") && w->isVisible()) return true;
                return false;
            }))
            return false;
        for (int i = 0; i < 20 && owner.moves == 0; ++i) {
            const QPoint c = tray->geometry().center();
            const std::string command = "xdotool mousemove " + std::to_string(c.x() + i % 2) +
                                        " " + std::to_string(c.y());
            if (std::system(command.c_str()) != 0) return false;
            Pump(100ms);
        }
        return owner.moves > 0;
    }
    void TearDown() override {
        RemoveTrayIcon();
        g_pMainDlg = nullptr;
        owner.DestroyWindow();
    }
    // Clicks with xdotool at the icon's centre: "click 1", "click 3", "click --repeat 2 ...".
    void Click(const std::string& how) {
        const QPoint c = tray->geometry().center();
        const std::string command = "xdotool mousemove " + std::to_string(c.x()) + " " +
                                    std::to_string(c.y()) + " " + how;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    bool SeenCount(std::size_t n) {
        return PumpUntil([&] { return owner.seen.size() >= n; });
    }

    Owner owner;
    QSystemTrayIcon* tray = nullptr;
};

using Seen = std::vector<std::pair<std::uintptr_t, std::intptr_t>>;

}  // namespace

TEST_F(TrayMouse, LeftClicksToggleTheDialogOtherButtonsDoNothing) {
    Click("click 1");
    ASSERT_TRUE(SeenCount(2));
    EXPECT_EQ(owner.seen, (Seen{{128, plat::WM_LBUTTONDOWN}, {128, plat::WM_LBUTTONUP}}));
    EXPECT_TRUE(PumpUntil([&] { return !owner.IsWindowVisible(); })) << "first click hides";

    Click("click 1");
    ASSERT_TRUE(SeenCount(4));
    EXPECT_TRUE(PumpUntil([&] { return owner.IsWindowVisible(); })) << "second click shows";

    owner.seen.clear();
    Click("click 3");
    ASSERT_TRUE(SeenCount(2));
    EXPECT_EQ(owner.seen, (Seen{{128, plat::WM_RBUTTONDOWN}, {128, plat::WM_RBUTTONUP}}));
    Pump(200ms);
    EXPECT_TRUE(owner.IsWindowVisible()) << "a right click changes nothing";
}

TEST_F(TrayMouse, DoubleClickIsDownUpDoubleClickUpAndLeavesTheDialogAsItWas) {
    Click("click --repeat 2 --delay 60 1");
    ASSERT_TRUE(SeenCount(4));
    EXPECT_EQ(owner.seen, (Seen{{128, plat::WM_LBUTTONDOWN}, {128, plat::WM_LBUTTONUP},
                                {128, plat::WM_LBUTTONDBLCLK}, {128, plat::WM_LBUTTONUP}}));
    Pump(300ms);
    EXPECT_TRUE(owner.IsWindowVisible());
}
