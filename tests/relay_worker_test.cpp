// Relay runs end to end: the toggle, the worker and the stop thread over two real
// pseudo-terminal pairs linked as COM3 and COM4, with the controls on a real window.
#include "PtyPair.h"
#include "relay/RelayWorker.h"
#include "relay/Transcript.h"
#include "ui/Controls.h"
#include "ui/MessageHistory.h"
#include "ui/TrayIcon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QSystemTrayIcon>

#include <chrono>
#include <functional>
#include <thread>

using namespace std::chrono_literals;

namespace {

const std::string kOpening = "Log Start (tandemix v2.3) :";

std::string Closing(int bytes, int lines) {
    return "\r\nEnd Of Log (total bytes redirected:" + std::to_string(bytes) +
           ", lines:" + std::to_string(lines) + ".).\r\n";
}

// The main dialog's controls, as the worker and the stop thread reach them.
class RelayTest : public testing::Test {
protected:
    RelayTest() {
        dialog.Create(nullptr, "tandemix v2.3", 0, {0, 0, 480, 200}, nullptr, 0);
        port1.Create("EDIT", "3", 0, {130, 5, 200, 25}, &dialog, 1001);
        port2.Create("EDIT", "4", 0, {130, 30, 200, 50}, &dialog, 1006);
        ok.Create("BUTTON", "START", 0, {245, 10, 320, 30}, &dialog, 1);
        cancel.Create("BUTTON", "EXIT", 0, {370, 10, 445, 30}, &dialog, 2);
        status.Create("STATIC", "...", 0, {150, 70, 340, 95}, &dialog, 1003);
        history.Create("STATIC", "...", 0, {150, 100, 465, 190}, &dialog, 1004);
        g_pMainDlg = &dialog;
        g_pEditPort1 = &port1;
        g_pEditPort2 = &port2;
        g_pButtonOK = &ok;
        g_pButtonCancel = &cancel;
        g_pStatusText = &status;
        g_pHistoryText = &history;
        RegisterTrayMessage();
        AddTrayIcon();
    }
    ~RelayTest() override {
        RemoveTrayIcon();
        g_pMainDlg = g_pEditPort1 = g_pEditPort2 = g_pButtonOK = g_pButtonCancel = nullptr;
        g_pStatusText = g_pHistoryText = nullptr;
        dialog.DestroyWindow();
    }

    // Runs the user-interface thread until `done`, noting each status text it shows and
    // collecting what the far sides receive.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::seconds limit = 10s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        auto note = [&] {
            const std::string now = TextOf(status);
            if (statuses.empty() || statuses.back() != now) statuses.push_back(now);
        };
        while (std::chrono::steady_clock::now() < end) {
            // A pump carries out at most one waiting call per thread: noting the text on
            // both sides of it sees every text the threads set.
            note();
            plat::ProcessPendingMessages();
            note();
            received3 += far3.Receive(1 << 16, 0);
            received4 += far4.Receive(1 << 16, 0);
            if (done()) return true;
            std::this_thread::sleep_for(2ms);
        }
        return false;
    }
    bool Started() {
        return PumpUntil([&] { return TextOf(ok) == "STOP" && cancel.IsWindowEnabled(); });
    }
    bool Stopped() {
        // The stop thread enables EXIT last.
        return PumpUntil([&] { return TextOf(status) == "Stopped..." && cancel.IsWindowEnabled(); });
    }

    ScratchDir dir;
    PtyPair far3{3}, far4{4};
    CWnd dialog, port1, port2, ok, cancel, status, history;
    std::vector<std::string> statuses;
    std::string received3, received4;
};

}  // namespace

TEST_F(RelayTest, RunRelaysBothWaysAndWritesTheTranscript) {
    ToggleRelay();
    EXPECT_FALSE(ok.IsWindowEnabled());
    EXPECT_FALSE(cancel.IsWindowEnabled());
    ASSERT_TRUE(Started()) << TextOf(status);
    EXPECT_TRUE(ok.IsWindowEnabled());
    ASSERT_TRUE(PumpUntil([&] { return TextOf(status) == "Started"; }));
    EXPECT_EQ(statuses, (std::vector<std::string>{"...", "Starting....", "Started"}));

    // The fields are read once per start: changing them now changes nothing.
    port1.SetWindowText("5");
    port2.SetWindowText("6");

    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::string burst(3000, 'B');
    far3.Send(all);
    ASSERT_TRUE(PumpUntil([&] { return received4.size() >= all.size(); }));
    far4.Send(burst);
    ASSERT_TRUE(PumpUntil([&] { return received3.size() >= burst.size(); }));
    EXPECT_TRUE(received4 == all);
    EXPECT_TRUE(received3 == burst);

    statuses.clear();
    ToggleRelay();
    EXPECT_FALSE(ok.IsWindowEnabled());
    ASSERT_TRUE(Stopped());
    EXPECT_EQ(TextOf(ok), "START");
    EXPECT_TRUE(ok.IsWindowEnabled());
    EXPECT_FALSE(g_bWorkerActive);

    const auto files = dir.Files("output.");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(statuses, (std::vector<std::string>{"Started", "Writting file " + files[0],
                                                  "Written OK (" + files[0] + ")", "Stopped..."}));
    EXPECT_TRUE(ReadFile(files[0]) ==
                kOpening + "\r\n>" + all + "\r\n<" + burst + Closing(256 + 3000, 2));
    EXPECT_EQ(g_pPort1, nullptr);
    EXPECT_EQ(g_pPort2, nullptr);
}

TEST_F(RelayTest, PortsThatFailToOpenStillGiveARunAndAnEmptyTranscript) {
    port1.SetWindowText("150");  // COM150: nothing there
    port2.SetWindowText("300");  // beyond COM200
    ToggleRelay();
    ASSERT_TRUE(Started());
    ASSERT_TRUE(PumpUntil([&] { return TextOf(status) == "Started"; }));
    EXPECT_EQ(TextOf(history),
              "Error: COM open failed: Port= Error=2 - No such file or directory\n"
              "Invalid number of ComPort: COM300\n"
              "Error: COM open failed: Port=COM150 Error=2 - No such file or directory");
    ToggleRelay();
    ASSERT_TRUE(Stopped());
    const auto files = dir.Files("output.");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(ReadFile(files[0]), kOpening + Closing(0, 0));
}

TEST_F(RelayTest, FieldsWithoutDigitsNameNoPortAndAreReadOnlyAtStart) {
    const struct {
        const char* text;
        const char* report;
    } cases[] = {
        {"", "Invalid number of ComPort: COM0"},
        {"abc", "Invalid number of ComPort: COM0"},
        {"COM5", "Invalid number of ComPort: COM0"},
        {" 12345", "Constructed class cSerialPort for port: COM12"},  // three characters
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        port1.SetWindowText(c.text);
        port2.SetWindowText("3");
        ToggleRelay();
        ASSERT_TRUE(Started());
        // Oldest first: the first port's construction, its open, the second port's.
        const std::string panel = TextOf(history);
        EXPECT_EQ(panel.substr(panel.rfind('\n') + 1), c.report);
        ToggleRelay();
        ASSERT_TRUE(Stopped());
    }
}

TEST_F(RelayTest, TrayBlinksAtTheEndOfEveryFourthPassWithTwoChanges) {
    g_pPort1 = new cSerialPort(3);
    ASSERT_EQ(g_pPort1->open(), 1);
    g_pPort2 = new cSerialPort(4);
    ASSERT_EQ(g_pPort2->open(), 1);
    EXPECT_STREQ(g_trayData.szTip, "tandemix v2.3");
    ASSERT_NE(g_hTrayIcons[0], 0u);
    ASSERT_NE(g_hTrayIcons[1], 0u);
    ASSERT_NE(g_hTrayIcons[0], g_hTrayIcons[1]);
    // What the desktop was last sent.
    const QSystemTrayIcon* tray = qApp->findChild<QSystemTrayIcon*>();
    ASSERT_NE(tray, nullptr);
    auto shownTip = [&] { return tray->toolTip().toStdString(); };
    auto shownIcon = [&] { return tray->property("iconHandle").toULongLong(); };
    EXPECT_EQ(shownIcon(), g_hTrayIcons[0]);

    // Two runs: the phase is never reset, so the second run starts from the first's end.
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        SetTrayTip("tandemix");
        BeginTranscript();
        unsigned nMarkers = 0;
        const int phaseBefore = g_bBlinkPhase;
        for (int pass = 1; pass <= 8; ++pass) {
            far3.Send("a");
            far4.Send("b");
            std::this_thread::sleep_for(5ms);
            RelayPass(nMarkers);
            EXPECT_EQ(nMarkers, pass % 4 == 0 ? 0u : 2u * (pass % 4)) << pass;
            const int blinks = pass / 4;
            EXPECT_EQ(g_bBlinkPhase, (phaseBefore + blinks) % 2) << pass;
            EXPECT_EQ(g_trayData.hIcon, g_hTrayIcons[g_bBlinkPhase]);
            // The stored tip goes out with the first blink, not before.
            if (run == 0) {
                EXPECT_EQ(shownTip(), pass < 4 ? "tandemix v2.3" : "tandemix") << pass;
            }
            if (pass >= 4) {
                EXPECT_EQ(shownIcon(), g_hTrayIcons[g_bBlinkPhase]) << pass;
            }
        }
        RestoreTrayIcon();
        EXPECT_STREQ(g_trayData.szTip, "tandemix v2.3");
        EXPECT_EQ(g_trayData.hIcon, g_hTrayIcons[0]);
        EXPECT_EQ(shownTip(), "tandemix v2.3");
        EXPECT_EQ(shownIcon(), g_hTrayIcons[0]);
    }
    delete g_pPort1;
    delete g_pPort2;
    g_pPort1 = g_pPort2 = nullptr;
}

TEST(TrayBlink, ManyMarkersInOnePassBlinkOnce) {
    const int before = g_bBlinkPhase;
    unsigned nMarkers = 20;
    BlinkIfDue(nMarkers);
    EXPECT_EQ(nMarkers, 0u);
    EXPECT_EQ(g_bBlinkPhase, !before);
    nMarkers = 7;
    BlinkIfDue(nMarkers);
    EXPECT_EQ(nMarkers, 7u);
    EXPECT_EQ(g_bBlinkPhase, !before);
}

TEST(TrayTip, HoldsAtMost62Characters) {
    const std::string longText(100, 't');
    SetTrayTip(longText.c_str());
    EXPECT_EQ(std::string(g_trayData.szTip), std::string(62, 't'));
}
