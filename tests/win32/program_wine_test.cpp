// tandemix.exe itself, started as the operator starts it and driven through its dialog
// from this process, with two simulated devices on the far sides of its ports: COM5 is
// the PC program's side of COM3, COM6 the instrument's side of COM4.
#include "WinScratch.h"
#include "res/resource.h"

#include "WinApi.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr char kTitle[] = "tandemix v2.3";
const std::string kOpening = "Log Start (tandemix v2.3) :";

std::string Closing(int bytes, int lines) {
    return "\r\nEnd Of Log (total bytes redirected:" + std::to_string(bytes) +
           ", lines:" + std::to_string(lines) + ".).\r\n";
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

BOOL CALLBACK CollectDialog(HWND hWnd, LPARAM list) {
    char title[64];
    if (GetWindowTextA(hWnd, title, sizeof title) && std::string(title) == kTitle)
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(hWnd);
    return TRUE;
}

// The top-level windows titled as the dialog, of any process.
std::vector<HWND> DialogWindows() {
    std::vector<HWND> found;
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Asked of the control itself: GetWindowText on another process's control answers only
// the text it was created with.
std::string ControlText(HWND control) {
    char text[512] = "";
    DWORD_PTR length = 0;
    SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_NORMAL, 5000, &length);
    return std::string(text, length < sizeof text ? length : 0);
}

class Program {
public:
    explicit Program(const std::string& directory) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        const std::string program = ProgramPath();
        std::string command = "\"";
        command.append(program).append("\"");
        m_started = CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE,
                                   0, nullptr, directory.c_str(), &startup, &m_process);
        EXPECT_TRUE(m_started) << ProgramPath() << " error " << GetLastError();
    }
    ~Program() {
        if (!m_started) return;
        if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_process.hProcess, 99);
            WaitForSingleObject(m_process.hProcess, 5000);
        }
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
    }

    // The dialog once it is shown; null if it did not come.
    HWND Dialog() {
        WaitFor([&] {
            for (HWND hWnd : DialogWindows()) {
                DWORD owner = 0;
                GetWindowThreadProcessId(hWnd, &owner);
                if (owner == m_process.dwProcessId && IsWindowVisible(hWnd)) m_dialog = hWnd;
            }
            return m_dialog != nullptr;
        });
        return m_dialog;
    }

    // The exit status once it ended within `limit`; STILL_ACTIVE otherwise.
    DWORD Ended(DWORD limitMs = 10000) {
        if (!m_started || WaitForSingleObject(m_process.hProcess, limitMs) != WAIT_OBJECT_0)
            return STILL_ACTIVE;
        DWORD status = STILL_ACTIVE;
        GetExitCodeProcess(m_process.hProcess, &status);
        return status;
    }

    std::string Text(int id) const { return ControlText(GetDlgItem(m_dialog, id)); }
    bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(m_dialog, id)); }
    // A click as the mouse gives it, bounded so that a busy program cannot hang the test.
    void Click(int id) {
        DWORD_PTR result;
        EXPECT_TRUE(SendMessageTimeoutA(GetDlgItem(m_dialog, id), BM_CLICK, 0, 0, SMTO_NORMAL,
                                        5000, &result));
    }

private:
    bool m_started = false;
    PROCESS_INFORMATION m_process{};
    HWND m_dialog = nullptr;
};

class ProgramWineTest : public testing::Test {
protected:
    // Collects what the devices receive until `done`.
    bool Relayed(const std::function<bool()>& done) {
        return WaitFor([&] {
            atPc += pc.Receive(1 << 16, 0);
            atInstrument += instrument.Receive(1 << 16, 0);
            return done();
        });
    }

    ScratchDir dir;
    ComPeer pc{5}, instrument{6};
    std::string atPc, atInstrument;
};

}  // namespace

TEST_F(ProgramWineTest, RelaysBothWaysAndWritesTheTranscriptOnStop) {
    Program program(dir.path());
    ASSERT_TRUE(program.Dialog());
    EXPECT_EQ(program.Text(IDC_PORT1), "3");
    EXPECT_EQ(program.Text(IDC_PORT2), "4");

    program.Click(IDOK);
    ASSERT_TRUE(WaitFor([&] { return program.Text(IDC_STATUS) == "Started"; })) << program.Text(IDC_STATUS);
    EXPECT_EQ(program.Text(IDOK), "STOP");
    EXPECT_TRUE(program.Enabled(IDCANCEL));

    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::string burst(3000, 'B');
    pc.Send(all);
    ASSERT_TRUE(Relayed([&] { return atInstrument.size() >= all.size(); }));
    instrument.Send(burst);
    ASSERT_TRUE(Relayed([&] { return atPc.size() >= burst.size(); }));
    pc.Send("ping\r");
    ASSERT_TRUE(Relayed([&] { return atInstrument.size() >= all.size() + 5; }));
    EXPECT_TRUE(atInstrument == all + "ping\r");
    EXPECT_TRUE(atPc == burst);

    program.Click(IDOK);
    ASSERT_TRUE(WaitFor([&] {
        return program.Text(IDC_STATUS) == "Stopped..." && program.Enabled(IDCANCEL);
    })) << program.Text(IDC_STATUS);
    EXPECT_EQ(program.Text(IDOK), "START");

    const auto files = dir.Files("output.");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(ReadFile(files[0]) == kOpening + "\r\n>" + all + "\r\n<" + burst + "\r\n>ping\r" +
                                          Closing(256 + 3000 + 5, 3));
    EXPECT_EQ(program.Text(IDC_HISTORY),
              "Constructed class cSerialPort for port: COM4\nConstructed class cSerialPort "
              "for port: COM3\n...");

    program.Click(IDCANCEL);
    EXPECT_EQ(program.Ended(), 0u);
    EXPECT_TRUE(DialogWindows().empty());
}

TEST_F(ProgramWineTest, ExitWhileRelayingWritesTheTranscriptAndEnds) {
    Program program(dir.path());
    const HWND dialog = program.Dialog();
    ASSERT_TRUE(dialog);
    program.Click(IDOK);
    // While the run starts EXIT is disabled, and Esc, which means EXIT, does nothing.
    ASSERT_FALSE(program.Enabled(IDCANCEL));
    PostMessageA(GetDlgItem(dialog, IDC_PORT1), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(GetDlgItem(dialog, IDC_PORT1), WM_KEYUP, VK_ESCAPE, 0xC0010001);
    ASSERT_TRUE(WaitFor([&] { return program.Text(IDC_STATUS) == "Started"; }));
    EXPECT_EQ(program.Ended(0), static_cast<DWORD>(STILL_ACTIVE));
    pc.Send("abc");
    ASSERT_TRUE(Relayed([&] { return atInstrument == "abc"; }));

    program.Click(IDCANCEL);
    EXPECT_EQ(program.Ended(), 0u);
    const auto files = dir.Files("output.");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(ReadFile(files[0]) == kOpening + "\r\n>abc" + Closing(3, 1));
}

TEST_F(ProgramWineTest, SecondCopyBringsTheHiddenFirstForwardAndEnds) {
    Program first(dir.path());
    const HWND dialog = first.Dialog();
    ASSERT_TRUE(dialog);
    // Minimising hides the dialog: only the tray icon is left.
    PostMessageA(dialog, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog); }));

    Program second(dir.path());
    EXPECT_EQ(second.Ended(), 0u);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(dialog) != 0; }));
    EXPECT_EQ(DialogWindows(), std::vector<HWND>{dialog});
    EXPECT_EQ(first.Ended(0), static_cast<DWORD>(STILL_ACTIVE));
}

TEST_F(ProgramWineTest, TrayClicksToggleTheDialogAndAboutIsModalOverIt) {
    Program program(dir.path());
    const HWND dialog = program.Dialog();
    ASSERT_TRUE(dialog);

    // What the shell posts for a left click on the icon: the registered message, with the
    // icon's id and the mouse message. Only the button's release toggles.
    const UINT trayMessage = RegisterWindowMessageA("displayNotMess");
    ASSERT_NE(trayMessage, 0u);
    PostMessageA(dialog, trayMessage, 128, WM_LBUTTONDOWN);
    PostMessageA(dialog, trayMessage, 128, WM_LBUTTONUP);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog); }));
    PostMessageA(dialog, trayMessage, 128, WM_RBUTTONUP);
    PostMessageA(dialog, trayMessage, 7, WM_LBUTTONUP);  // another icon's
    PostMessageA(dialog, trayMessage, 128, WM_LBUTTONUP);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(dialog) != 0; }));

    // The About entry of the system menu: its box is modal over the dialog.
    PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND about = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        about = FindWindowA(nullptr, "About velcaster");
        return about && IsWindowVisible(about);
    }));
    EXPECT_EQ(GetWindow(about, GW_OWNER), dialog);
    EXPECT_FALSE(IsWindowEnabled(dialog));
    EXPECT_EQ(ControlText(GetDlgItem(about, IDC_VERSION)), "tandemix Version 2.3");
    // The template's icon control shows the program's icon, found by its number although
    // it exists in another language only.
    HWND icon = nullptr;
    for (HWND child = GetWindow(about, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) icon = child;
    ASSERT_TRUE(icon);
    DWORD_PTR shown = 0;
    SendMessageTimeoutA(icon, STM_GETICON, 0, 0, SMTO_NORMAL, 5000, &shown);
    EXPECT_NE(shown, 0u);
    DWORD_PTR result;
    SendMessageTimeoutA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &result);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }));
    EXPECT_TRUE(IsWindowEnabled(dialog));
    EXPECT_EQ(GetForegroundWindow(), dialog) << "the dialog is active again";

    program.Click(IDCANCEL);
    EXPECT_EQ(program.Ended(), 0u);
}

TEST_F(ProgramWineTest, SettingsFileInTheWorkingDirectoryFillsThePortFields) {
    // Read by the system's own reader: sections and keys in any case, blanks trimmed.
    WriteFile(dir.path() + "\\tandemix.ini", "[Serial]\r\nPORT1 = 12 \r\nport2=COM13\r\n");
    Program program(dir.path());
    ASSERT_TRUE(program.Dialog());
    EXPECT_EQ(program.Text(IDC_PORT1), "12");
    EXPECT_EQ(program.Text(IDC_PORT2), "COM13");
    program.Click(IDCANCEL);
    EXPECT_EQ(program.Ended(), 0u);
}

TEST_F(ProgramWineTest, QuitRequestWhileRelayingEndsTheProgramWithItsTranscript) {
    Program program(dir.path());
    const HWND dialog = program.Dialog();
    ASSERT_TRUE(dialog);
    program.Click(IDOK);
    ASSERT_TRUE(WaitFor([&] { return program.Text(IDC_STATUS) == "Started"; }));
    pc.Send("xyz");
    ASSERT_TRUE(Relayed([&] { return atInstrument == "xyz"; }));

    // What the system posts to a thread it asks to end.
    ASSERT_TRUE(PostThreadMessageA(GetWindowThreadProcessId(dialog, nullptr), WM_QUIT, 0, 0));
    EXPECT_EQ(program.Ended(), 0u);
    const auto files = dir.Files("output.");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(ReadFile(files[0]) == kOpening + "\r\n>xyz" + Closing(3, 1));
}
