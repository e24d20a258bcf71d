// Start-up's Windows services under Wine: Windows Sockets 1.1 and its failure box, the
// named mutex of the single copy, and the shell's notification icon record.
#include "WinScratch.h"
#include "platform/instance_lock.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/tray.h"
#include "ui/Controls.h"
#include "ui/RelayApp.h"

#include "WinApi.h"
#include <shellapi.h>
#include <winsock2.h>

#include <cstddef>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

struct FoundBox {
    HWND box = nullptr;
    std::vector<std::string> texts;
    bool exclamation = false;
};

BOOL CALLBACK CollectStatic(HWND hWnd, LPARAM found) {
    auto* box = reinterpret_cast<FoundBox*>(found);
    char className[16], text[256];
    GetClassNameA(hWnd, className, sizeof className);
    if (lstrcmpiA(className, "Static") != 0) return TRUE;
    if (GetWindowTextA(hWnd, text, sizeof text) > 0) box->texts.push_back(text);
    const HICON icon = reinterpret_cast<HICON>(SendMessageA(hWnd, STM_GETICON, 0, 0));
    if (icon && icon == LoadIconA(nullptr, IDI_EXCLAMATION)) box->exclamation = true;
    return TRUE;
}

// The message box this process shows with `caption`, looked at and answered with OK
// from another thread, as an operator would.
FoundBox AnswerMessageBox(const char* caption) {
    FoundBox found;
    for (int i = 0; i < 500 && !found.box; ++i) {
        const HWND box = FindWindowA("#32770", caption);
        DWORD owner = 0;
        if (box) GetWindowThreadProcessId(box, &owner);
        if (box && owner == GetCurrentProcessId() && IsWindowVisible(box)) found.box = box;
        else std::this_thread::sleep_for(10ms);
    }
    if (!found.box) return found;
    EnumChildWindows(found.box, CollectStatic, reinterpret_cast<LPARAM>(&found));
    SendMessageA(GetDlgItem(found.box, IDOK), BM_CLICK, 0, 0);
    return found;
}

}  // namespace

TEST(SocketsStartup, StartsWindowsSocketsVersion11) {
    // Nothing has started the sockets layer in this process yet.
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    ASSERT_TRUE(plat::SocketsStartup());
    EXPECT_EQ(WSACleanup(), 0) << "started, so it can be ended once";
}

TEST(SocketsStartup, FailureShowsOnlyTheMessageBoxThenEnds) {
    plat::SetSocketsStartupFails(true);
    CRelayApp app;
    app.m_pszAppName = "tandemix";
    FoundBox found;
    std::thread operatorThread([&] { found = AnswerMessageBox("tandemix"); });
    EXPECT_FALSE(app.InitInstance());
    operatorThread.join();
    plat::SetSocketsStartupFails(false);

    ASSERT_TRUE(found.box) << "no message box";
    EXPECT_EQ(found.texts, std::vector<std::string>{"Windows sockets initialization failed."});
    EXPECT_TRUE(found.exclamation);
    EXPECT_FALSE(IsWindow(found.box));
    EXPECT_EQ(g_pMainDlg, nullptr) << "no dialog";
    EXPECT_FALSE(FindWindowA(nullptr, "tandemix v2.3"));
    app.ExitInstance();
}

TEST(InstanceLock, NamedMutexTellsASecondHolderAndEndsWithItsLastHandle) {
    const plat::LockHandle first = plat::CreateNamedLock("Quornfeld.velcaster.test");
    ASSERT_NE(first, 0u);
    EXPECT_EQ(plat::LastError(), 0);
    const plat::LockHandle second = plat::CreateNamedLock("Quornfeld.velcaster.test");
    ASSERT_NE(second, 0u);
    EXPECT_EQ(plat::LastError(), plat::kErrorAlreadyExists);
    // It is the kernel's own named mutex, seen by any process.
    const HANDLE opened = OpenMutexA(SYNCHRONIZE, FALSE, "Quornfeld.velcaster.test");
    EXPECT_TRUE(opened);
    if (opened) CloseHandle(opened);
    EXPECT_TRUE(plat::CloseNamedLock(second));
    EXPECT_TRUE(plat::CloseNamedLock(first));
    EXPECT_FALSE(OpenMutexA(SYNCHRONIZE, FALSE, "Quornfeld.velcaster.test"));
    EXPECT_FALSE(plat::CloseNamedLock(0));
}

TEST(TrayIcon, RecordIsTheShellsFirstFormAndAnIconComesAndGoes) {
    EXPECT_EQ(sizeof(plat::NotifyIconData), 88u);
    EXPECT_EQ(offsetof(plat::NotifyIconData, szTip), offsetof(NOTIFYICONDATAA, szTip));
    EXPECT_EQ(offsetof(plat::NotifyIconData, hIcon), offsetof(NOTIFYICONDATAA, hIcon));

    MessageWindow owner;
    plat::NotifyIconData data;
    data.cbSize = 88;
    data.hWnd = owner.window.m_hWnd;
    data.uID = 128;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;  // the shell's own numbers
    data.uCallbackMessage = plat::RegisterWindowMessageA("displayNotMess");
    data.hIcon = reinterpret_cast<plat::IconHandle>(LoadIconA(nullptr, IDI_APPLICATION));
    lstrcpyA(data.szTip, "tandemix");
    EXPECT_NE(data.uCallbackMessage, 0u);
    EXPECT_EQ(data.uCallbackMessage, RegisterWindowMessageA("DISPLAYNOTMESS"));
    EXPECT_TRUE(plat::ShellNotifyIcon(plat::NotifyAction::Add, &data));
    lstrcpyA(data.szTip, "tandemix STOP");
    EXPECT_TRUE(plat::ShellNotifyIcon(plat::NotifyAction::Modify, &data));
    EXPECT_TRUE(plat::ShellNotifyIcon(plat::NotifyAction::Delete, &data));
    EXPECT_FALSE(plat::ShellNotifyIcon(plat::NotifyAction::Modify, &data)) << "it is gone";
}
