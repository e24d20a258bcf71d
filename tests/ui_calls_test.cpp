// Calls from background threads on controls: carried out when the user-interface thread
// processes them, and failing quietly once the window is gone.
#include "Scratch.h"
#include "platform/window.h"
#include "ui/MessageHistory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Processes user-interface work until `done` or the time runs out.
bool PumpUntil(const std::atomic<bool>& done, std::chrono::milliseconds limit = 5s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done && std::chrono::steady_clock::now() < end) {
        plat::ProcessPendingMessages();
        std::this_thread::sleep_for(1ms);
    }
    return done;
}

}  // namespace

TEST(UiCalls, BackgroundCallWaitsForTheUserInterfaceThread) {
    MessageWindow w;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        SetStatusText("from the worker");
        done = true;
    });
    // Not processed yet: the worker is still waiting, and the text is unchanged.
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(done);
    EXPECT_EQ(w.Status(), "...");
    EXPECT_TRUE(PumpUntil(done));
    worker.join();
    EXPECT_EQ(w.Status(), "from the worker");
}

TEST(UiCalls, BackgroundReadsAndEnablesGoThroughToo) {
    MessageWindow w;
    w.status.SetWindowText("COM3");
    std::atomic<bool> done{false};
    std::string seen;
    bool enabledAfter = true;
    std::thread worker([&] {
        seen = TextOf(w.status);
        w.history.EnableWindow(false);
        enabledAfter = w.history.IsWindowEnabled();
        done = true;
    });
    EXPECT_TRUE(PumpUntil(done));
    worker.join();
    EXPECT_EQ(seen, "COM3");
    EXPECT_FALSE(enabledAfter);
}

TEST(UiCalls, CallOnADestroyedWindowFailsQuietly) {
    MessageWindow w;
    const plat::WindowHandle gone = w.status.m_hWnd;
    w.window.DestroyWindow();  // takes its controls with it
    std::atomic<bool> done{false};
    bool setOk = true, isWindow = true;
    std::thread worker([&] {
        setOk = plat::SetWindowTextA(gone, "late");
        isWindow = plat::IsWindow(gone);
        done = true;
    });
    EXPECT_TRUE(PumpUntil(done));
    worker.join();
    EXPECT_FALSE(setOk);
    EXPECT_FALSE(isWindow);
    char buffer[8] = "x";
    EXPECT_EQ(plat::GetWindowTextA(gone, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
}

TEST(UiCalls, WaitingCallFailsWhenTheToolkitEnds) {
    MessageWindow w;
    std::atomic<bool> done{false};
    bool ok = true;
    std::thread worker([&] {
        ok = plat::SetWindowTextA(w.status.m_hWnd, "never shown");
        done = true;
    });
    std::this_thread::sleep_for(50ms);
    plat::UiShutdown();  // the worker's call is still queued
    worker.join();
    EXPECT_TRUE(done);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(plat::SetWindowTextA(w.status.m_hWnd, "after the end"));
}
