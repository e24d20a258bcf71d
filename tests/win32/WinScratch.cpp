#include "WinScratch.h"

#include <algorithm>

#include "WinApi.h"

bool RunningOnWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
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
