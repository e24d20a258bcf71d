// The serial calls on Windows: the communications calls themselves.
#include "platform/serial.h"

#include "platform/win32/windows_api.h"

#include <cstring>
#include <string>

namespace plat {

namespace {

static_assert(sizeof(DCB) <= sizeof(LineSettings::native));

HANDLE ToHandle(Handle h) { return reinterpret_cast<HANDLE>(h); }

// 0 is never opened here, and -1 would name the current process to the system.
bool IsHandle(Handle h) {
    if (h != 0 && h != kInvalidHandle) return true;
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

Handle Open(const char* name) {
    // "COM10" and above are devices only in the device namespace; "\\.\" works for every
    // port, so the name the operator sees stays "COMn".
    const std::string device = std::string("\\\\.\\") + (name ? name : "");
    const HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return kInvalidHandle;
    // A port keeps the time-outs its last user left, and all zeros would make a read wait
    // for ever. Until the owner sets its own, a read returns at once.
    COMMTIMEOUTS immediate{MAXDWORD, 0, 0, 0, 0};
    SetCommTimeouts(h, &immediate);
    ::SetLastError(0);
    return reinterpret_cast<Handle>(h);
}

bool SetupQueues(Handle h, std::uint32_t inQueue, std::uint32_t outQueue) {
    return IsHandle(h) && SetupComm(ToHandle(h), inQueue, outQueue);
}

bool GetLineSettings(Handle h, LineSettings* settings) {
    if (!IsHandle(h)) return false;
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(ToHandle(h), &dcb)) return false;
    settings->baudRate = dcb.BaudRate;
    settings->byteSize = dcb.ByteSize;
    settings->parity = static_cast<Parity>(dcb.Parity);
    settings->stopBits = static_cast<StopBits>(dcb.StopBits);
    settings->abortOnError = dcb.fAbortOnError != 0;
    std::memcpy(settings->native, &dcb, sizeof dcb);
    return true;
}

bool SetLineSettings(Handle h, const LineSettings* settings) {
    if (!IsHandle(h)) return false;
    // Everything but the fields below goes back as it was read.
    DCB dcb;
    std::memcpy(&dcb, settings->native, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = settings->baudRate;
    dcb.ByteSize = settings->byteSize;
    dcb.Parity = static_cast<BYTE>(settings->parity);  // NOPARITY .. SPACEPARITY, in order
    dcb.StopBits = static_cast<BYTE>(settings->stopBits);  // ONESTOPBIT .. TWOSTOPBITS
    dcb.fAbortOnError = settings->abortOnError ? 1 : 0;
    return SetCommState(ToHandle(h), &dcb);
}

bool GetTimeouts(Handle h, Timeouts* timeouts) {
    if (!IsHandle(h)) return false;
    COMMTIMEOUTS t;
    if (!GetCommTimeouts(ToHandle(h), &t)) return false;
    *timeouts = {t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                 t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant};
    return true;
}

bool SetTimeouts(Handle h, const Timeouts* timeouts) {
    if (!IsHandle(h)) return false;
    COMMTIMEOUTS t{timeouts->readInterval, timeouts->readTotalMultiplier,
                   timeouts->readTotalConstant, timeouts->writeTotalMultiplier,
                   timeouts->writeTotalConstant};
    return SetCommTimeouts(ToHandle(h), &t);
}

bool Read(Handle h, void* buffer, std::uint32_t count, std::uint32_t* done) {
    *done = 0;
    if (!IsHandle(h)) return false;
    DWORD got = 0;
    const bool ok = ReadFile(ToHandle(h), buffer, count, &got, nullptr);
    *done = got;
    return ok;
}

bool Write(Handle h, const void* buffer, std::uint32_t count, std::uint32_t* done) {
    *done = 0;
    if (!IsHandle(h)) return false;
    DWORD written = 0;
    const bool ok = WriteFile(ToHandle(h), buffer, count, &written, nullptr);
    *done = written;
    return ok;
}

bool Close(Handle h) { return IsHandle(h) && CloseHandle(ToHandle(h)); }

constexpr SerialCalls kNative{Open,        SetupQueues, GetLineSettings, SetLineSettings,
                              GetTimeouts, SetTimeouts, Read,            Write,
                              Close};

}  // namespace

const SerialCalls& NativeSerialCalls() { return kNative; }

}  // namespace plat
