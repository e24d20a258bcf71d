// Finding a window by title, here and in another process, on a real X display: the other
// process is this program started again in the role of the first copy.
#include "Scratch.h"
#include "platform/window_search.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace std::chrono_literals;

namespace {

constexpr char kChildRole[] = "TANDEMIX_TEST_WINDOW_OWNER";

void Pump(std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
        plat::ProcessPendingMessages();
        std::this_thread::sleep_for(5ms);
    }
}

// A line from the other process, or "" when none came in time.
std::string ReadLine(int fd, std::chrono::seconds limit = 10s) {
    std::string line;
    const auto end = std::chrono::steady_clock::now() + limit;
    char c;
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        if (read(fd, &c, 1) != 1) break;
        if (c == '\n') return line;
        line.push_back(c);
    }
    return line;
}

const char* g_self = nullptr;

}  // namespace

// The first copy's part: its window is shown, then hidden, and must come back when the
// other process asks.
TEST(WindowOwner, ComesForwardWhenAsked) {
    if (!std::getenv(kChildRole)) GTEST_SKIP() << "only as the other process";
    CWnd window;
    ASSERT_TRUE(window.Create(nullptr, "tandemix v2.3", 0, {50, 50, 350, 250}, nullptr, 0));
    window.ShowWindow(plat::SW_SHOW);
    Pump(300ms);
    window.ShowWindow(plat::SW_HIDE);
    Pump(300ms);
    std::printf("hidden\n");
    std::fflush(stdout);
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!window.IsWindowVisible() && std::chrono::steady_clock::now() < end) Pump(20ms);
    ASSERT_TRUE(window.IsWindowVisible());
    std::printf("shown\n");
    std::fflush(stdout);
}

TEST(WindowSearch, FindsOwnWindowsByTitleInAnyCase) {
    CWnd window;
    ASSERT_TRUE(window.Create(nullptr, "Some Title", 0, {0, 0, 200, 100}, nullptr, 0));
    window.ShowWindow(plat::SW_SHOW);
    Pump(200ms);
    EXPECT_EQ(plat::FindWindowA(nullptr, "some TITLE"), window.m_hWnd);
    EXPECT_EQ(plat::FindWindowA(nullptr, "Some Title and more"), 0u);
    window.ShowWindow(plat::SW_HIDE);
    EXPECT_TRUE(plat::SetForegroundWindow(window.m_hWnd));
    EXPECT_TRUE(plat::ShowAnyWindow(window.m_hWnd, plat::SW_SHOW));
    EXPECT_TRUE(window.IsWindowVisible());
}

TEST(WindowSearch, BringsAHiddenWindowOfAnotherProcessForward) {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    setenv(kChildRole, "1", 1);
    std::string filter = "--gtest_filter=WindowOwner.ComesForwardWhenAsked";
    char* argv[] = {const_cast<char*>(g_self), filter.data(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, g_self, &actions, nullptr, argv, environ), 0);
    unsetenv(kChildRole);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);

    // Skip the other program's own chatter up to its word.
    std::string line;
    for (int i = 0; i < 50 && line != "hidden"; ++i) line = ReadLine(out[0]);
    ASSERT_EQ(line, "hidden");
    const plat::WindowHandle found = plat::FindWindowA(nullptr, "TANDEMIX V2.3");
    ASSERT_NE(found, 0u);
    EXPECT_TRUE(plat::ShowAnyWindow(found, plat::SW_SHOW));
    EXPECT_TRUE(plat::SetForegroundWindow(found));
    for (int i = 0; i < 50 && line != "shown"; ++i) line = ReadLine(out[0]);
    EXPECT_EQ(line, "shown");

    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    close(out[0]);
    EXPECT_EQ(plat::FindWindowA(nullptr, "tandemix v2.3"), 0u) << "gone with its process";
}

// Remembers the program's own path for the second process.
static const bool g_selfKnown = [] {
    static char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n > 0) path[n] = '\0';
    g_self = path;
    return n > 0;
}();
