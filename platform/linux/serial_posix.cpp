// Serial devices on Linux: termios on a non-blocking descriptor, with the read and write
// time-outs of the serial time-out record carried out by poll().
#include "platform/serial.h"
#include "platform/system.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace plat {

namespace {

struct Port {
    int fd;
    Timeouts timeouts;
    std::string lockPath;  // our UUCP lock file, empty when none was taken
    unsigned char ahead[4096];  // read from the device, not yet handed out
    std::uint32_t aheadNext = 0;
    std::uint32_t aheadEnd = 0;
};

Port* ToPort(Handle h) { return reinterpret_cast<Port*>(h); }

bool Fail(int error) {
    SetLastError(error);
    return false;
}

bool IsHandle(Handle h) {
    if (h == 0 || h == kInvalidHandle) return Fail(EBADF);
    return true;
}

// "COMn" is an entry of the working directory when one exists (a link to the real device),
// otherwise the n-th standard serial device.
std::string DevicePath(const char* name) {
    struct stat st;
    if (lstat(name, &st) == 0) return name;
    char* end = nullptr;
    if (std::strncmp(name, "COM", 3) == 0 && name[3] >= '1' && name[3] <= '9') {
        const long n = std::strtol(name + 3, &end, 10);
        if (*end == '\0' && n >= 1 && n <= INT_MAX) return "/dev/ttyS" + std::to_string(n - 1);
    }
    return name;
}

// ---- UUCP lock files, as minicom, picocom and ser2net look for them ----

std::string LockPathFor(int fd) {
    char link[64], target[PATH_MAX];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0) return {};
    target[n] = '\0';
    std::string device = target;
    if (device.rfind("/dev/", 0) == 0) device.erase(0, 5);
    for (char& c : device)
        if (c == '/') c = '_';
    for (const char* dir : {"/run/lock", "/var/lock"})
        if (access(dir, W_OK) == 0) return std::string(dir) + "/LCK.." + device;
    return {};
}

pid_t LockOwner(const std::string& path) {
    char text[32] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    return n > 0 ? static_cast<pid_t>(std::atol(text)) : 0;
}

bool IsLive(pid_t pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

// Takes the lock file; false (EBUSY) when a live process of another holds it. Where no
// lock directory is writable, the descriptor lock alone has to do.
bool TakeLockFile(Port& port) {
    const std::string path = LockPathFor(port.fd);
    if (path.empty()) return true;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            char text[16];
            const int len = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(getpid()));
            const bool written = ::write(fd, text, len) == len;
            ::close(fd);
            if (written) port.lockPath = path;
            else ::unlink(path.c_str());
            return true;
        }
        if (errno != EEXIST) return true;
        const pid_t owner = LockOwner(path);
        if (owner != getpid() && IsLive(owner)) return Fail(EBUSY);
        ::unlink(path.c_str());  // stale: its process is gone
    }
    return Fail(EBUSY);
}

void DropLockFile(const Port& port) {
    if (!port.lockPath.empty() && LockOwner(port.lockPath) == getpid())
        ::unlink(port.lockPath.c_str());
}

// ---- the calls ----

Handle Open(const char* name) {
    const std::string path = DevicePath(name);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(errno);
        return kInvalidHandle;
    }
    auto refuse = [fd](int error) {
        ::close(fd);
        SetLastError(error);
        return kInvalidHandle;
    };
    // Only a terminal is a port: a file, a FIFO or a socket is closed untouched.
    if (!isatty(fd)) return refuse(ENOTTY);
    // TIOCEXCL stops a second open by anyone but root; the descriptor lock stops root too.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return refuse(errno == EWOULDBLOCK ? EBUSY : errno);
    ioctl(fd, TIOCEXCL);
    // Never set: return at once with what is waiting, so that a read on a port whose
    // time-outs could not be set still returns.
    auto* port = new Port{fd, Timeouts{kNoWait, 0, 0, 0, 0}, {}, {}};
    if (!TakeLockFile(*port)) {
        const int error = LastError();
        ioctl(fd, TIOCNXCL);
        delete port;
        return refuse(error);
    }
    return reinterpret_cast<Handle>(port);
}

bool SetupQueues(Handle h, std::uint32_t, std::uint32_t) {
    // Linux has no per-open queue sizes; the tty layer's buffers are fixed.
    if (!IsHandle(h)) return false;
    return isatty(ToPort(h)->fd) ? true : Fail(ENOTTY);
}

struct SpeedEntry {
    speed_t code;
    std::uint32_t baud;
};
constexpr SpeedEntry kSpeeds[] = {
    {B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},
    {B150, 150},       {B200, 200},       {B300, 300},       {B600, 600},
    {B1200, 1200},     {B1800, 1800},     {B2400, 2400},     {B4800, 4800},
    {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
    {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
};

static_assert(sizeof(termios) <= sizeof(LineSettings::native));

bool GetLineSettings(Handle h, LineSettings* s) {
    if (!IsHandle(h)) return false;
    termios tio;
    if (tcgetattr(ToPort(h)->fd, &tio) != 0) return Fail(errno);
    std::memcpy(s->native, &tio, sizeof tio);
    s->baudRate = 0;
    for (const SpeedEntry& e : kSpeeds)
        if (e.code == cfgetospeed(&tio)) s->baudRate = e.baud;
    switch (tio.c_cflag & CSIZE) {
        case CS5: s->byteSize = 5; break;
        case CS6: s->byteSize = 6; break;
        case CS7: s->byteSize = 7; break;
        default: s->byteSize = 8; break;
    }
    if (!(tio.c_cflag & PARENB)) s->parity = Parity::None;
    else if (tio.c_cflag & CMSPAR) s->parity = (tio.c_cflag & PARODD) ? Parity::Mark : Parity::Space;
    else s->parity = (tio.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
    s->stopBits = (tio.c_cflag & CSTOPB) ? StopBits::Two : StopBits::One;
    s->abortOnError = false;
    return true;
}

bool SetLineSettings(Handle h, const LineSettings* s) {
    if (!IsHandle(h)) return false;
    termios tio;
    std::memcpy(&tio, s->native, sizeof tio);

    const SpeedEntry* speed = nullptr;
    for (const SpeedEntry& e : kSpeeds)
        if (e.baud == s->baudRate) speed = &e;
    if (!speed || s->byteSize < 5 || s->byteSize > 8 || s->stopBits == StopBits::OnePointFive)
        return Fail(EINVAL);
    cfsetispeed(&tio, speed->code);
    cfsetospeed(&tio, speed->code);

    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag = (tio.c_cflag & ~CSIZE) | kSizes[s->byteSize - 5];
    tio.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (s->parity) {
        case Parity::None: break;
        case Parity::Odd: tio.c_cflag |= PARENB | PARODD; break;
        case Parity::Even: tio.c_cflag |= PARENB; break;
        case Parity::Mark: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
        case Parity::Space: tio.c_cflag |= PARENB | CMSPAR; break;
    }
    if (s->stopBits == StopBits::Two) tio.c_cflag |= CSTOPB;
    else tio.c_cflag &= ~CSTOPB;
    tio.c_cflag |= CREAD;

    // A raw line: every byte passes exactly as it came. A tty starts out cooked (echo,
    // line editing, CR/NL translation, signal characters, XON/XOFF), and each of those
    // would eat or change bytes, so they go. Hardware flow control (CRTSCTS), CLOCAL and
    // HUPCL, and so the modem lines, stay as found.
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON |
                     IXOFF | IXANY | IMAXBEL);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | XCASE);
    tio.c_cc[VMIN] = 0;  // reads are paced by poll(), never by the line discipline
    tio.c_cc[VTIME] = 0;
    const int fd = ToPort(h)->fd;
    if (tcsetattr(fd, TCSANOW, &tio) == 0) return true;
    const int error = errno;
    // glibc reads the settings back and answers EINVAL when none of the changes took. A
    // pseudo-terminal has no character size or parity and keeps CS8 whatever it is told,
    // so a second open of one would fail here: it counts as done when everything the
    // device can hold is as asked.
    termios now;
    if (error == EINVAL && tcgetattr(fd, &now) == 0 && cfgetospeed(&now) == cfgetospeed(&tio) &&
        now.c_iflag == tio.c_iflag && now.c_oflag == tio.c_oflag && now.c_lflag == tio.c_lflag &&
        (now.c_cflag & ~(CSIZE | PARENB | PARODD | CMSPAR)) ==
            (tio.c_cflag & ~(CSIZE | PARENB | PARODD | CMSPAR)))
        return true;
    return Fail(error);
}

bool GetTimeouts(Handle h, Timeouts* t) {
    if (!IsHandle(h)) return false;
    *t = ToPort(h)->timeouts;
    return true;
}

bool SetTimeouts(Handle h, const Timeouts* t) {
    if (!IsHandle(h)) return false;
    ToPort(h)->timeouts = *t;
    return true;
}

using Clock = std::chrono::steady_clock;

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Hands out what the last read-ahead took from the device.
std::uint32_t TakeAhead(Port& port, unsigned char* to, std::uint32_t count) {
    const std::uint32_t n = std::min<std::uint32_t>(count, port.aheadEnd - port.aheadNext);
    std::memcpy(to, port.ahead + port.aheadNext, n);
    port.aheadNext += n;
    return n;
}

bool Read(Handle h, void* buffer, std::uint32_t count, std::uint32_t* done) {
    *done = 0;
    if (!IsHandle(h)) return false;
    Port& port = *ToPort(h);
    auto* bytes = static_cast<unsigned char*>(buffer);
    // Bytes read ahead go out first, without a system call.
    *done = TakeAhead(port, bytes, count);
    if (*done == count) return true;

    const Timeouts& t = port.timeouts;
    const bool atOnce = t.readInterval == kNoWait && t.readTotalMultiplier == 0 &&
                        t.readTotalConstant == 0;
    const std::uint64_t totalMs =
        std::uint64_t(t.readTotalMultiplier) * count + t.readTotalConstant;
    const bool intervalOn = t.readInterval != 0 && t.readInterval != kNoWait;
    const Clock::time_point start = Clock::now();
    const Clock::time_point totalDeadline = start + std::chrono::milliseconds(totalMs);
    Clock::time_point lastByte = start;

    while (*done < count) {
        // Try the read first: bytes already waiting cost one system call and no poll, and
        // whatever else is waiting is kept for the next reads, as a driver's input queue
        // keeps it.
        const ssize_t n = ::read(port.fd, port.ahead, sizeof port.ahead);
        if (n > 0) {
            port.aheadNext = 0;
            port.aheadEnd = static_cast<std::uint32_t>(n);
            *done += TakeAhead(port, bytes + *done, count - *done);
            if (intervalOn) lastByte = Clock::now();
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // With VMIN 0 an empty line reads as 0, like end of file; EIO means the far side of
        // a pseudo-terminal has gone.
        const bool hungUp = n < 0 && errno == EIO;
        if (n < 0 && !hungUp && errno != EAGAIN) return Fail(errno);
        if (atOnce) break;

        int wait = -1;
        if (totalMs > 0) wait = MillisecondsUntil(totalDeadline);
        if (intervalOn && *done > 0) {
            const int gap = MillisecondsUntil(lastByte + std::chrono::milliseconds(t.readInterval));
            wait = wait < 0 ? gap : std::min(wait, gap);
        }
        if (wait == 0) break;
        if (!hungUp) {
            pollfd p{port.fd, POLLIN, 0};
            const int r = poll(&p, 1, wait);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) return Fail(errno);
            if (r == 0) break;
            if (!(p.revents & (POLLHUP | POLLERR | POLLNVAL))) continue;  // a byte came
        }
        // A hung-up line stays "ready" for ever and never delivers: wait out the time-out
        // as on a quiet line, so that the caller neither blocks nor spins.
        Sleep(wait < 0 ? t.readInterval : static_cast<std::uint32_t>(wait));
        break;
    }
    return true;
}

bool Write(Handle h, const void* buffer, std::uint32_t count, std::uint32_t* done) {
    *done = 0;
    if (!IsHandle(h)) return false;
    const Port& port = *ToPort(h);
    const std::uint64_t totalMs =
        std::uint64_t(port.timeouts.writeTotalMultiplier) * count + port.timeouts.writeTotalConstant;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(totalMs);
    const auto* bytes = static_cast<const unsigned char*>(buffer);

    while (*done < count) {
        const ssize_t n = ::write(port.fd, bytes + *done, count - *done);
        if (n > 0) {
            *done += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return Fail(errno);
        const int wait = totalMs > 0 ? MillisecondsUntil(deadline) : -1;
        if (wait == 0) {  // the total time-out ends the write with what went out
            SetLastError(ETIMEDOUT);
            break;
        }
        pollfd p{port.fd, POLLOUT, 0};
        const int r = poll(&p, 1, wait);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return Fail(errno);
        if (r == 0) {
            SetLastError(ETIMEDOUT);
            break;
        }
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL) && !(p.revents & POLLOUT))
            return Fail(EIO);
    }
    return true;
}

bool Close(Handle h) {
    if (!IsHandle(h)) return false;
    Port* port = ToPort(h);
    ioctl(port->fd, TIOCNXCL);  // the exclusive mark outlives our descriptor otherwise
    DropLockFile(*port);
    const int rc = ::close(port->fd);
    const int error = errno;
    delete port;
    return rc == 0 ? true : Fail(error);
}

constexpr SerialCalls kNative{Open,        SetupQueues, GetLineSettings, SetLineSettings,
                              GetTimeouts, SetTimeouts, Read,            Write,
                              Close};

}  // namespace

const SerialCalls& NativeSerialCalls() { return kNative; }

}  // namespace plat
