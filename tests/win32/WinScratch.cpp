#include "WinScratch.h"

#include "platform/window.h"
#include "ui/Controls.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "WinApi.h"

bool RunningOnWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

ScratchDir::ScratchDir() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    m_previous = previous;
    for (unsigned n = GetTickCount();; ++n) {
        m_path = std::string(temp) + "tandemix-" + std::to_string(n);
        if (CreateDirectoryA(m_path.c_str(), nullptr)) break;
    }
    SetCurrentDirectoryA(m_path.c_str());
}

ScratchDir::~ScratchDir() {
    SetCurrentDirectoryA(m_previous.c_str());
    for (const std::string& name : Files()) DeleteFileA((m_path + "\\" + name).c_str());
    RemoveDirectoryA(m_path.c_str());
}

std::vector<std::string> ScratchDir::Files(const std::string& pattern) const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((m_path + "\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

ComPeer::ComPeer(int comNumber) {
    const std::string device = "\\\\.\\COM" + std::to_string(comNumber);
    const HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << "COM" << comNumber << " error " << GetLastError();
    if (h == INVALID_HANDLE_VALUE) return;
    m_handle = h;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(h, &dcb);
    dcb.BaudRate = 19200;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fOutX = dcb.fInX = FALSE;
    SetCommState(h, &dcb);
    Drain();
}

ComPeer::~ComPeer() {
    if (m_handle) CloseHandle(m_handle);
}

void ComPeer::Send(const std::string& bytes) {
    ASSERT_TRUE(m_handle);
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 5000};
    SetCommTimeouts(m_handle, &timeouts);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(m_handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                          nullptr)) << GetLastError();
    ASSERT_EQ(written, bytes.size());
}

std::string ComPeer::Receive(std::size_t limit, int ms) {
    std::string got;
    if (!m_handle) return got;
    // Waits up to `ms` for each next chunk.
    COMMTIMEOUTS timeouts{MAXDWORD, MAXDWORD, static_cast<DWORD>(ms), 0, 0};
    SetCommTimeouts(m_handle, &timeouts);
    char buffer[4096];
    while (got.size() < limit) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min(limit - got.size(), sizeof buffer));
        if (!ReadFile(m_handle, buffer, want, &n, nullptr) || n == 0) break;
        got.append(buffer, n);
    }
    return got;
}

void ComPeer::Drain() {
    if (!m_handle) return;
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    SetCommTimeouts(m_handle, &timeouts);
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(m_handle, buffer, sizeof buffer, &n, nullptr) && n > 0) {
    }
}

MessageWindow::MessageWindow() {
    window.Create(nullptr, "messages", 0, {0, 0, 600, 300}, nullptr, 0);
    status.Create("STATIC", "...", 0, {10, 10, 590, 40}, &window, 1003);
    history.Create("STATIC", "...", 0, {10, 50, 590, 290}, &window, 1004);
    g_pStatusText = &status;
    g_pHistoryText = &history;
}

MessageWindow::~MessageWindow() {
    g_pStatusText = nullptr;
    g_pHistoryText = nullptr;
    history.DestroyWindow();
    status.DestroyWindow();
    window.DestroyWindow();
}

std::string MessageWindow::Status() const { return TextOf(status); }
std::string MessageWindow::History() const { return TextOf(history); }

std::string TextOf(const CWnd& wnd) {
    char text[4096];
    wnd.GetWindowText(text, sizeof text);
    return text;
}

std::string TestDirectory() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string directory(path, n);
    return directory.substr(0, directory.find_last_of("\\/"));
}

std::string ProgramPath() {
    std::string top = TestDirectory();
    for (int up = 0; up < 2; ++up) top = top.substr(0, top.find_last_of("\\/"));
    return top + "\\tandemix.exe";
}
