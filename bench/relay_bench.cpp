// Throughput, latency, CPU time and memory of a real relay run between two pseudo-terminal
// pairs linked as COM3 and COM4 in a scratch working directory, and, when socat is on the
// PATH, of socat relaying the same two pairs, with the ratios of the two.
//
// The relay is started and stopped with ToggleRelay() as the program does; this thread is
// the user-interface thread and pumps plat::ProcessPendingMessages() every millisecond
// while the measurements run on threads of their own. The benchmark holds the pty masters:
// the far sides of the two ports.
#include "platform/framework.h"
#include "platform/window.h"
#include "relay/RelayWorker.h"
#include "relay/Transcript.h"
#include "ui/Controls.h"
#include "ui/TrayIcon.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// ---- CPU time, system-call counts, memory ----

double TimevalSeconds(const timeval& tv) { return double(tv.tv_sec) + double(tv.tv_usec) * 1e-6; }

// User + system time of the whole process, every thread included.
double ProcessCpu() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return TimevalSeconds(ru.ru_utime) + TimevalSeconds(ru.ru_stime);
}

double ClockCpu(clockid_t clock) {
    timespec ts{};
    if (clock_gettime(clock, &ts) != 0) return 0;
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// The kernel's CPU clock of thread `tid` of this process (the encoding glibc's
// pthread_getcpuclockid uses: ~tid << 3 | per-thread | scheduler clock).
clockid_t ThreadClock(pid_t tid) {
    return static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6u);
}

std::set<pid_t> Tids() {
    std::set<pid_t> tids;
    for (const auto& entry : fs::directory_iterator("/proc/self/task"))
        tids.insert(static_cast<pid_t>(std::atol(entry.path().filename().c_str())));
    return tids;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

long long Field(const std::string& text, const char* key) {
    const std::size_t at = text.find(key);
    return at == std::string::npos ? -1 : std::atoll(text.c_str() + at + std::strlen(key));
}

struct SysCalls {
    long long reads = 0, writes = 0;  // read()- and write()-family calls
};

SysCalls ReadSysCalls(const std::string& ioPath) {
    const std::string text = ReadText(ioPath);
    return {Field(text, "syscr:"), Field(text, "syscw:")};
}

long RssKiB() { return static_cast<long>(Field(ReadText("/proc/self/status"), "VmRSS:")); }

// utime + stime of another process, from /proc/<pid>/stat (fields 14 and 15).
double ProcStatCpu(pid_t pid) {
    const std::string text = ReadText("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t paren = text.rfind(')');
    if (paren == std::string::npos) return 0;
    std::istringstream fields(text.substr(paren + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int n = 3; fields >> field; ++n) {
        if (n == 14) utime = std::stoull(field);
        if (n == 15) {
            stime = std::stoull(field);
            break;
        }
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// ---- the far sides ----

std::atomic<std::size_t> g_bytesSent{0};  // by every far side, to compare with the transcript

struct Far {
    int fd = -1;
    std::string slave;
    std::string link;
};

std::optional<Far> OpenFar(int comNumber) {
    Far far;
    far.fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (far.fd < 0 || grantpt(far.fd) != 0 || unlockpt(far.fd) != 0) return std::nullopt;
    far.slave = ptsname(far.fd);
    far.link = "COM" + std::to_string(comNumber);
    if (symlink(far.slave.c_str(), far.link.c_str()) != 0) return std::nullopt;
    return far;
}

// Blocking writes of up to 4 KiB: the pty takes what fits and the call waits for room.
bool WriteAll(int fd, const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t n = ::write(fd, bytes, std::min<std::size_t>(count, 4096));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        count -= static_cast<std::size_t>(n);
        g_bytesSent += static_cast<std::size_t>(n);
    }
    return true;
}

// The time of the last byte any reader received: a reader gives up only when no reader
// has received anything for a while, so one starved direction does not end early.
struct Progress {
    std::atomic<Clock::rep> last{Clock::now().time_since_epoch().count()};
    void Touch() { last = Clock::now().time_since_epoch().count(); }
    bool Stalled(Clock::duration limit) const {
        return Clock::now().time_since_epoch().count() - last.load() > limit.count();
    }
};

// Reads `count` bytes into `into`, or fewer when the traffic stalls.
std::size_t ReadAll(int fd, std::uint8_t* into, std::size_t count, Progress& progress,
                    std::atomic<std::size_t>* got = nullptr, Clock::time_point* lastAt = nullptr) {
    std::size_t done = 0;
    while (done < count) {
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, 100);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0 || !(p.revents & POLLIN)) {
            if (progress.Stalled(2s)) break;
            continue;
        }
        const ssize_t n = ::read(fd, into + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
        progress.Touch();
        if (lastAt) *lastAt = Clock::now();
        if (got) got->store(done);
    }
    return done;
}

// Whatever still arrives within `ms`: bytes beyond those sent.
std::size_t Flush(int fd, int ms) {
    std::size_t total = 0;
    std::uint8_t buffer[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0 || !(p.revents & POLLIN)) return total;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) return total;
        total += static_cast<std::size_t>(n);
    }
}

// Every 256-byte block holds each of the 256 values once (167 is odd), in an order that
// shifts from block to block, so a lost, doubled or swapped byte or block shows.
void FillPattern(std::vector<std::uint8_t>& bytes, unsigned salt) {
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>((i & 255) * 167u + (i >> 8) * 101u + (i >> 16) * 7u +
                                             salt);
}

std::string Check(const std::vector<std::uint8_t>& sent, const std::vector<std::uint8_t>& got,
                  std::size_t received, std::size_t extra) {
    char text[160];
    const std::size_t n = std::min(received, sent.size());
    for (std::size_t i = 0; i < n; ++i)
        if (sent[i] != got[i]) {
            std::snprintf(text, sizeof text,
                          "first mismatch at byte %zu: sent 0x%02x, received 0x%02x", i, sent[i],
                          got[i]);
            return text;
        }
    if (received < sent.size()) {
        std::snprintf(text, sizeof text, "%zu of %zu bytes lost (the %zu received are right)",
                      sent.size() - received, sent.size(), received);
        return text;
    }
    if (extra > 0) {
        std::snprintf(text, sizeof text, "all bytes right, then %zu bytes more than sent", extra);
        return text;
    }
    return "no byte lost or changed";
}

// ---- the user-interface thread ----

clockid_t g_uiClock;  // CPU clock of this thread

void Pump() {
    plat::ProcessPendingMessages();
    std::this_thread::sleep_for(1ms);
}

// Runs `job` on a thread of its own while this thread serves the user interface.
void WhilePumping(const std::function<void()>& job) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        job();
        done = true;
    });
    while (!done) Pump();
    worker.join();
}

bool PumpUntil(const std::function<bool()>& done, Clock::duration limit) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        Pump();
        if (done()) return true;
    }
    return false;
}

std::string TextOf(const CWnd& wnd) {
    char buffer[512];
    const int n = wnd.GetWindowText(buffer, sizeof buffer);
    return std::string(buffer, static_cast<std::size_t>(n > 0 ? n : 0));
}

// ---- the measurements ----

// The relay under test, as the measurements see it.
struct Relay {
    const char* part;                 // what the relay is, in the report
    const char* clock;                // how its CPU time is read
    std::function<double()> cpu;      // CPU seconds of the relay itself
    std::function<double()> ticks;    // the same from /proc/<pid>/stat, where it is another process
    std::function<SysCalls()> calls;  // its read and write system calls so far
};

struct Buffers {
    std::vector<std::uint8_t> oneWay, oneWayGot;
    std::vector<std::uint8_t> forth, back, forthGot, backGot;
};

struct Figures {
    double idleSeconds = 0, idleProcess = 0, idleRelay = 0, idleTicks = 0, idleUi = 0;
    std::vector<double> ping34, ping43, pingAlternating, trickle;        // microseconds
    int pingsLost = 0;
    double oneWaySeconds = 0;
    std::size_t oneWayBytes = 0;
    std::string oneWayCheck;
    double cpuProcess = 0, cpuRelay = 0, cpuTicks = 0, cpuFar = 0, cpuUi = 0;  // one-way run
    SysCalls callsOneWay;
    double bothSeconds = 0, forthSeconds = 0, backSeconds = 0;
    std::size_t forthBytes = 0, backBytes = 0;
    std::size_t backWhenForthDone = 0, forthWhenBackDone = 0;  // the other way's progress
    std::string forthCheck, backCheck;
};

void MeasureIdle(const Relay& relay, Figures& f) {
    const double p0 = ProcessCpu(), r0 = relay.cpu(), u0 = ClockCpu(g_uiClock);
    const double k0 = relay.ticks ? relay.ticks() : 0;
    const auto t0 = Clock::now();
    WhilePumping([] { std::this_thread::sleep_for(3s); });
    f.idleTicks = relay.ticks ? relay.ticks() - k0 : 0;
    f.idleSeconds = Seconds(Clock::now() - t0);
    f.idleProcess = ProcessCpu() - p0;
    f.idleRelay = relay.cpu() - r0;
    f.idleUi = ClockCpu(g_uiClock) - u0;
}

// One byte at a time from `from` to `to`, each sent when the one before has arrived,
// until `count` pings or `budget` has passed.
void Ping(int from, int to, int count, Clock::duration budget, unsigned seed,
          std::vector<double>* into, int& lost) {
    const auto end = Clock::now() + budget;
    for (int i = 0; i < count && Clock::now() < end; ++i) {
        const auto byte = static_cast<std::uint8_t>(seed + unsigned(i) * 37u);
        const auto t0 = Clock::now();
        if (::write(from, &byte, 1) != 1) {
            ++lost;
            continue;
        }
        ++g_bytesSent;
        pollfd p{to, POLLIN, 0};
        if (poll(&p, 1, 1000) != 1) {
            ++lost;
            continue;
        }
        const auto t1 = Clock::now();
        std::uint8_t got = 0;
        if (::read(to, &got, 1) != 1 || got != byte) ++lost;
        if (into) into->push_back(Micros(t1 - t0));
    }
}

// `count` single bytes from `from`, one every `gap` whether or not the one before has
// arrived, each timed from its write to the read that brought it on `to`.
void Trickle(int from, int to, int count, Clock::duration gap, std::vector<double>& into,
             int& lost) {
    std::vector<Clock::time_point> sentAt(static_cast<std::size_t>(count)), gotAt(sentAt);
    std::vector<std::uint8_t> got(sentAt.size());
    std::size_t received = 0;
    std::thread reader([&] {
        Progress progress;
        while (received < got.size()) {
            pollfd p{to, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0 || !(p.revents & POLLIN)) {
                if (progress.Stalled(2s)) break;
                continue;
            }
            const ssize_t n = ::read(to, got.data() + received, got.size() - received);
            if (n <= 0) break;
            const auto now = Clock::now();
            progress.Touch();
            for (ssize_t k = 0; k < n; ++k) gotAt[received++] = now;
        }
    });
    const auto t0 = Clock::now();
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_until(t0 + i * gap);
        const auto byte = static_cast<std::uint8_t>(i * 167);
        sentAt[static_cast<std::size_t>(i)] = Clock::now();
        if (::write(from, &byte, 1) == 1) ++g_bytesSent;
        else ++lost;
    }
    reader.join();
    for (std::size_t i = 0; i < received; ++i) {
        if (got[i] != static_cast<std::uint8_t>(i * 167)) ++lost;
        into.push_back(Micros(gotAt[i] - sentAt[i]));
    }
    lost += count - static_cast<int>(received);
}

void MeasureLatency(const Far& a, const Far& b, int pings, Clock::duration budget, Figures& f) {
    WhilePumping([&] {
        Ping(a.fd, b.fd, 5, budget, 1, nullptr, f.pingsLost);  // warm-up, not counted
        Ping(a.fd, b.fd, pings, budget, 2, &f.ping34, f.pingsLost);
        Ping(b.fd, a.fd, 5, budget, 3, nullptr, f.pingsLost);
        Ping(b.fd, a.fd, pings, budget, 4, &f.ping43, f.pingsLost);
        for (int i = 0; i < 15; ++i) {  // a reply from each side in turn
            Ping(a.fd, b.fd, 1, budget, 5 + unsigned(i), &f.pingAlternating, f.pingsLost);
            Ping(b.fd, a.fd, 1, budget, 6 + unsigned(i), &f.pingAlternating, f.pingsLost);
        }
        Trickle(a.fd, b.fd, 500, 2ms, f.trickle, f.pingsLost);
        Trickle(b.fd, a.fd, 500, 2ms, f.trickle, f.pingsLost);
    });
}

void MeasureOneWay(const Far& a, const Far& b, const Relay& relay, Buffers& buf, Figures& f) {
    WhilePumping([&] {
        Progress progress;
        Clock::time_point lastAt{};
        double readerCpu = 0, writerCpu = 0;
        const double p0 = ProcessCpu(), r0 = relay.cpu(), u0 = ClockCpu(g_uiClock);
        const double k0 = relay.ticks ? relay.ticks() : 0;
        const SysCalls c0 = relay.calls();
        const auto t0 = Clock::now();
        std::thread reader([&] {
            f.oneWayBytes = ReadAll(b.fd, buf.oneWayGot.data(), buf.oneWay.size(), progress,
                                    nullptr, &lastAt);
            readerCpu = ClockCpu(CLOCK_THREAD_CPUTIME_ID);
        });
        std::thread writer([&] {
            WriteAll(a.fd, buf.oneWay.data(), buf.oneWay.size());
            writerCpu = ClockCpu(CLOCK_THREAD_CPUTIME_ID);
        });
        writer.join();
        reader.join();
        f.cpuProcess = ProcessCpu() - p0;
        f.cpuRelay = relay.cpu() - r0;
        f.cpuTicks = relay.ticks ? relay.ticks() - k0 : 0;
        f.cpuUi = ClockCpu(g_uiClock) - u0;
        f.cpuFar = readerCpu + writerCpu;
        const SysCalls c1 = relay.calls();
        f.callsOneWay = {c1.reads - c0.reads, c1.writes - c0.writes};
        f.oneWaySeconds = Seconds((f.oneWayBytes ? lastAt : Clock::now()) - t0);
        const std::size_t extra = Flush(b.fd, 200);
        f.oneWayCheck = Check(buf.oneWay, buf.oneWayGot, f.oneWayBytes, extra);
    });
}

void MeasureBothWays(const Far& a, const Far& b, Buffers& buf, Figures& f) {
    WhilePumping([&] {
        Progress progress;
        std::atomic<std::size_t> forthSoFar{0}, backSoFar{0};
        Clock::time_point forthAt{}, backAt{};
        const auto t0 = Clock::now();
        std::thread readForth([&] {
            f.forthBytes = ReadAll(b.fd, buf.forthGot.data(), buf.forth.size(), progress,
                                   &forthSoFar, &forthAt);
            f.backWhenForthDone = backSoFar.load();
        });
        std::thread readBack([&] {
            f.backBytes = ReadAll(a.fd, buf.backGot.data(), buf.back.size(), progress, &backSoFar,
                                  &backAt);
            f.forthWhenBackDone = forthSoFar.load();
        });
        std::thread writeForth([&] { WriteAll(a.fd, buf.forth.data(), buf.forth.size()); });
        std::thread writeBack([&] { WriteAll(b.fd, buf.back.data(), buf.back.size()); });
        writeForth.join();
        writeBack.join();
        readForth.join();
        readBack.join();
        f.forthSeconds = Seconds((f.forthBytes ? forthAt : Clock::now()) - t0);
        f.backSeconds = Seconds((f.backBytes ? backAt : Clock::now()) - t0);
        f.bothSeconds = std::max(f.forthSeconds, f.backSeconds);
        f.forthCheck = Check(buf.forth, buf.forthGot, f.forthBytes, Flush(b.fd, 200));
        f.backCheck = Check(buf.back, buf.backGot, f.backBytes, Flush(a.fd, 200));
    });
}

void Measure(const Far& a, const Far& b, const Relay& relay, Buffers& buf, int pings,
             Clock::duration budget, Figures& f) {
    MeasureIdle(relay, f);
    MeasureLatency(a, b, pings, budget, f);
    MeasureOneWay(a, b, relay, buf, f);
    MeasureBothWays(a, b, buf, f);
}

// ---- the report ----

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * double(v.size())));
    return v[std::clamp<std::size_t>(rank, 1, v.size()) - 1];
}

std::vector<double> OneDirection(const Figures& f) {
    std::vector<double> all = f.ping34;
    all.insert(all.end(), f.ping43.begin(), f.ping43.end());
    return all;
}

double OneWayRate(const Figures& f) { return f.oneWaySeconds > 0 ? f.oneWayBytes / f.oneWaySeconds : 0; }
double BothRate(const Figures& f) {
    return f.bothSeconds > 0 ? (f.forthBytes + f.backBytes) / f.bothSeconds : 0;
}
double NsPerByte(double seconds, const Figures& f) {
    return f.oneWayBytes ? seconds * 1e9 / double(f.oneWayBytes) : 0;
}

void Print(const Relay& relay, const Figures& f) {
    const char* part = relay.part;
    const auto pct = [&](double cpu) { return 100.0 * cpu / f.idleSeconds; };
    std::printf("CPU time of %s: %s\n", part, relay.clock);
    std::printf("idle CPU of %s, both ports open, no traffic, over %.2f s: %.3f %% of one core\n",
                part, f.idleSeconds, pct(f.idleRelay));
    if (relay.ticks)
        std::printf("idle CPU of %s by /proc/<pid>/stat utime+stime: %.3f %% of one core\n", part,
                    pct(f.idleTicks));
    std::printf("idle CPU of this whole process (getrusage) meanwhile: %.3f %% of one core\n",
                pct(f.idleProcess));
    std::printf("  of which the user-interface thread polling ProcessPendingMessages every 1 ms: "
                "%.3f %% of one core\n",
                pct(f.idleUi));

    const std::vector<double> one = OneDirection(f);
    std::printf("latency one byte, each sent when the one before arrived, one direction "
                "(%zu pings: %zu COM3->COM4, %zu COM4->COM3): median %.1f us\n",
                one.size(), f.ping34.size(), f.ping43.size(), Percentile(one, 50));
    std::printf("latency one byte, one direction: 99th percentile %.1f us\n", Percentile(one, 99));
    std::printf("latency one byte, COM3->COM4 only: median %.1f us, 99th percentile %.1f us\n",
                Percentile(f.ping34, 50), Percentile(f.ping34, 99));
    std::printf("latency one byte, COM4->COM3 only: median %.1f us, 99th percentile %.1f us\n",
                Percentile(f.ping43, 50), Percentile(f.ping43, 99));
    std::printf("latency one byte, directions alternating (%zu pings): median %.1f us, "
                "99th percentile %.1f us\n",
                f.pingAlternating.size(), Percentile(f.pingAlternating, 50),
                Percentile(f.pingAlternating, 99));
    std::printf("latency one byte in a trickle of one byte every 2 ms (%zu bytes, 500 each way): "
                "median %.1f us, 99th percentile %.1f us\n",
                f.trickle.size(), Percentile(f.trickle, 50), Percentile(f.trickle, 99));
    std::printf("latency bytes lost or changed: %d\n", f.pingsLost);

    std::printf("throughput one way COM3->COM4: %.0f bytes/s (%zu bytes in %.3f s)\n", OneWayRate(f),
                f.oneWayBytes, f.oneWaySeconds);
    std::printf("one way check: %s\n", f.oneWayCheck.c_str());
    std::printf("CPU per relayed byte, one-way run, this process (getrusage RUSAGE_SELF user+sys,"
                " minus nothing): %.0f ns/byte\n",
                NsPerByte(f.cpuProcess, f));
    std::printf("  of which the benchmark's far-side writer and reader threads: %.0f ns/byte\n",
                NsPerByte(f.cpuFar, f));
    if (f.cpuUi > 0)
        std::printf("  of which the user-interface thread: %.0f ns/byte\n", NsPerByte(f.cpuUi, f));
    std::printf("CPU per relayed byte, one-way run, %s: %.0f ns/byte\n", part,
                NsPerByte(f.cpuRelay, f));
    if (relay.ticks)
        std::printf("CPU per relayed byte, one-way run, %s by /proc/<pid>/stat utime+stime: "
                    "%.0f ns/byte\n",
                    part, NsPerByte(f.cpuTicks, f));
    if (f.oneWayBytes && f.callsOneWay.reads >= 0)
        std::printf("system calls of %s per relayed byte (/proc io syscr, syscw): %.4f reads, "
                    "%.4f writes\n",
                    part, double(f.callsOneWay.reads) / double(f.oneWayBytes),
                    double(f.callsOneWay.writes) / double(f.oneWayBytes));

    std::printf("throughput both ways at once, COM3->COM4: %.0f bytes/s (%zu bytes in %.3f s)\n",
                f.forthSeconds > 0 ? f.forthBytes / f.forthSeconds : 0, f.forthBytes,
                f.forthSeconds);
    std::printf("throughput both ways at once, COM4->COM3: %.0f bytes/s (%zu bytes in %.3f s)\n",
                f.backSeconds > 0 ? f.backBytes / f.backSeconds : 0, f.backBytes, f.backSeconds);
    std::printf("throughput both ways at once, total: %.0f bytes/s (%zu bytes in %.3f s)\n",
                BothRate(f), f.forthBytes + f.backBytes, f.bothSeconds);
    std::printf("both ways: when COM3->COM4 was through (%.3f s), COM4->COM3 had delivered "
                "%zu of %zu bytes\n",
                f.forthSeconds, f.backWhenForthDone, f.backBytes);
    std::printf("both ways: when COM4->COM3 was through (%.3f s), COM3->COM4 had delivered "
                "%zu of %zu bytes\n",
                f.backSeconds, f.forthWhenBackDone, f.forthBytes);
    std::printf("both ways check COM3->COM4: %s\n", f.forthCheck.c_str());
    std::printf("both ways check COM4->COM3: %s\n", f.backCheck.c_str());
}

void PrintRatio(const char* what, double tandemix, double socat, const char* unit) {
    if (socat > 0)
        std::printf("tandemix/socat %s: %.3f (%.4g / %.4g %s)\n", what, tandemix / socat, tandemix,
                    socat, unit);
    else
        std::printf("tandemix/socat %s: n/a (socat: 0 %s)\n", what, unit);
}

std::string FindOnPath(const char* program) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

bool HasOpen(pid_t pid, const std::string& device) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        if (fs::read_symlink(entry.path(), ec) == device) return true;
    }
    return false;
}

std::string CpuModel() {
    std::istringstream in(ReadText("/proc/cpuinfo"));
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    return "unknown";
}

std::size_t ParseSize(const char* text) { return static_cast<std::size_t>(std::strtoull(text, nullptr, 0)); }

}  // namespace

int main(int argc, char** argv) {
    std::size_t oneWayBytes = 2u << 20;
    std::size_t bothBytes = 0;  // each way; half the one-way count unless given
    int pings = 500;
    double latencySeconds = 4;  // at most, per direction, for the pings
    bool withSocat = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--bytes" && i + 1 < argc) oneWayBytes = ParseSize(argv[++i]);
        else if (arg == "--both-bytes" && i + 1 < argc) bothBytes = ParseSize(argv[++i]);
        else if (arg == "--pings" && i + 1 < argc) pings = std::atoi(argv[++i]);
        else if (arg == "--ping-seconds" && i + 1 < argc) latencySeconds = std::atof(argv[++i]);
        else if (arg == "--no-socat") withSocat = false;
        else {
            std::fprintf(stderr,
                         "usage: %s [--bytes N] [--both-bytes N] [--pings N] [--ping-seconds S]"
                         " [--no-socat]\n"
                         "  --bytes N       bytes sent one way (default 2097152)\n"
                         "  --both-bytes N  bytes sent each way at once (default half of --bytes)\n"
                         "  --pings N       one-byte pings per direction (default 500)\n"
                         "  --ping-seconds S  time limit of the pings per direction (default 4)\n",
                         argv[0]);
            return 2;
        }
    }
    const auto budget = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(latencySeconds));
    if (bothBytes == 0) bothBytes = std::max<std::size_t>(oneWayBytes / 2, 1);
    oneWayBytes = std::max<std::size_t>(oneWayBytes, 1);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    signal(SIGPIPE, SIG_IGN);

    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!plat::UiStartup(argc, argv)) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    pthread_getcpuclockid(pthread_self(), &g_uiClock);

    // The buffers come first, every page touched, so that they are part of the baseline
    // of the memory figure.
    Buffers buf;
    buf.oneWay.resize(oneWayBytes);
    buf.oneWayGot.resize(oneWayBytes);
    buf.forth.resize(bothBytes);
    buf.back.resize(bothBytes);
    buf.forthGot.resize(bothBytes);
    buf.backGot.resize(bothBytes);
    FillPattern(buf.oneWay, 0);
    FillPattern(buf.forth, 0x5a);
    FillPattern(buf.back, 0xa5);
    std::set<std::uint8_t> values(buf.oneWay.begin(), buf.oneWay.end());

    const fs::path previous = fs::current_path();
    char scratch[] = "/tmp/tandemix-bench-XXXXXX";
    if (!mkdtemp(scratch)) {
        std::perror("mkdtemp");
        return 1;
    }
    fs::current_path(scratch);
    const std::optional<Far> far3 = OpenFar(3), far4 = OpenFar(4);
    if (!far3 || !far4) {
        std::perror("pseudo-terminal");
        fs::current_path(previous);
        fs::remove_all(scratch);
        return 1;
    }

    std::printf("tandemix relay benchmark\n");
    std::printf("machine: %u CPUs, %s\n", std::thread::hardware_concurrency(), CpuModel().c_str());
    std::printf("ports: COM3 -> %s, COM4 -> %s (pseudo-terminal slaves in %s)\n",
                far3->slave.c_str(), far4->slave.c_str(), scratch);
    std::printf("one-way traffic: %zu bytes covering %zu byte values; both ways: %zu bytes each way; "
                "%d pings per direction within %.1f s\n",
                oneWayBytes, values.size(), bothBytes, pings, latencySeconds);

    // The main dialog's controls, as the worker and the stop thread reach them.
    CWnd dialog, port1, port2, ok, cancel, status, history;
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
    AddTrayIcon();
    for (int i = 0; i < 20; ++i) Pump();

    int result = 0;
    Figures tx, sx;
    bool socatRan = false;

    // ---- tandemix ----
    std::printf("\n== tandemix: the relay worker between COM3 and COM4 ==\n");
    const long rssBefore = RssKiB();
    const std::set<pid_t> before = Tids();
    const auto startAt = Clock::now();
    ToggleRelay();
    const bool started = PumpUntil(
        [&] {
            return TextOf(ok) == "STOP" && cancel.IsWindowEnabled() && TextOf(status) == "Started";
        },
        10s);
    if (!started) {
        std::printf("the run did not start: status \"%s\", history:\n%s\n", TextOf(status).c_str(),
                    TextOf(history).c_str());
        result = 1;
    } else {
        std::printf("started (button STOP, status \"Started\") after %.3f s\n",
                    Seconds(Clock::now() - startAt));
        std::vector<pid_t> workers;
        for (pid_t tid : Tids())
            if (!before.count(tid)) workers.push_back(tid);
        std::printf("threads started by ToggleRelay: %zu (the relay worker)\n", workers.size());
        const Relay relay{
            "the relay worker thread",
            "its thread CPU clock (clock_gettime), threads started by ToggleRelay",
            [workers] {
                double total = 0;
                for (pid_t tid : workers) total += ClockCpu(ThreadClock(tid));
                return total;
            },
            nullptr,
            [workers] {
                SysCalls total;
                for (pid_t tid : workers) {
                    const SysCalls c =
                        ReadSysCalls("/proc/self/task/" + std::to_string(tid) + "/io");
                    total.reads += c.reads;
                    total.writes += c.writes;
                }
                return total;
            }};
        Measure(*far3, *far4, relay, buf, pings, budget, tx);
        Print(relay, tx);
        const long rssRun = RssKiB();

        ToggleRelay();
        const bool stopped = PumpUntil(
            [&] { return TextOf(status) == "Stopped..." && cancel.IsWindowEnabled(); }, 10s);
        std::printf("stopped: %s (status \"%s\")\n", stopped ? "yes" : "NO", TextOf(status).c_str());
        if (!stopped) result = 1;
        const long rssStopped = RssKiB();

        std::uintmax_t transcriptBytes = 0;
        std::vector<fs::path> transcripts;
        for (const auto& entry : fs::directory_iterator("."))
            if (entry.path().filename().string().rfind("output.", 0) == 0)
                transcripts.push_back(entry.path());
        for (const auto& file : transcripts) {
            transcriptBytes += fs::file_size(file);
            const std::string text = ReadText(file.string());
            const std::size_t tail = text.rfind("End Of Log");
            if (tail != std::string::npos)
                std::printf("transcript %s: %ju bytes, closing line \"%s\"\n",
                            file.filename().c_str(), std::uintmax_t(text.size()),
                            text.substr(tail, text.find(')', tail) + 3 - tail).c_str());
        }
        std::printf("bytes the far sides sent during the run: %zu\n", g_bytesSent.load());
        std::printf("memory: VmRSS before the run %ld KiB (the 64 MiB transcript buffer is "
                    "static storage, not resident until written)\n",
                    rssBefore);
        std::printf("memory: VmRSS at the end of the traffic %ld KiB, after the stop %ld KiB\n",
                    rssRun, rssStopped);
        std::printf("memory: VmRSS growth during the run %ld KiB for %.0f KiB of transcript "
                    "written (%.2f KiB per KiB)\n",
                    rssRun - rssBefore, double(transcriptBytes) / 1024.0,
                    transcriptBytes ? double(rssRun - rssBefore) * 1024.0 / double(transcriptBytes)
                                    : 0.0);
        for (const auto& file : transcripts) fs::remove(file);
        std::printf("transcript files deleted: %zu\n", transcripts.size());
    }

    // ---- socat over the same two pairs ----
    const std::string socat = withSocat ? FindOnPath("socat") : std::string();
    if (started && !socat.empty()) {
        std::printf("\n== socat: %s -b 4096 %s,rawer %s,rawer ==\n", socat.c_str(),
                    far3->slave.c_str(), far4->slave.c_str());
        Flush(far3->fd, 50);
        Flush(far4->fd, 50);
        const std::string left = far3->slave + ",rawer", right = far4->slave + ",rawer";
        char arg0[] = "socat", arg1[] = "-b", arg2[] = "4096";
        std::vector<char> l(left.begin(), left.end()), r(right.begin(), right.end());
        l.push_back('\0');
        r.push_back('\0');
        char* args[] = {arg0, arg1, arg2, l.data(), r.data(), nullptr};
        pid_t pid = -1;
        if (posix_spawn(&pid, socat.c_str(), nullptr, nullptr, args, environ) != 0) {
            std::printf("socat did not start: %s\n", std::strerror(errno));
        } else {
            const bool ready = PumpUntil(
                [&] { return HasOpen(pid, far3->slave) && HasOpen(pid, far4->slave); }, 5s);
            PumpUntil([] { return false; }, 300ms);  // its termios settings follow the opens
            if (!ready) {
                std::printf("socat did not open both ports\n");
            } else {
                socatRan = true;
                clockid_t socatClock{};
                clock_getcpuclockid(pid, &socatClock);
                const Relay relay{"the socat process",
                                  "its process CPU clock (clock_getcpuclockid, ns), and utime+stime "
                                  "of /proc/<pid>/stat (10 ms ticks)",
                                  [socatClock] { return ClockCpu(socatClock); },
                                  [pid] { return ProcStatCpu(pid); },
                                  [pid] {
                                      return ReadSysCalls("/proc/" + std::to_string(pid) + "/io");
                                  }};
                Measure(*far3, *far4, relay, buf, pings, budget, sx);
                Print(relay, sx);
            }
            kill(pid, SIGTERM);
            int wstatus = 0;
            waitpid(pid, &wstatus, 0);
        }
    } else if (started) {
        std::printf("\nsocat not found on PATH: no comparison\n");
    }

    if (socatRan) {
        std::printf("\n== tandemix / socat ==\n");
        PrintRatio("throughput one way", OneWayRate(tx), OneWayRate(sx), "bytes/s");
        PrintRatio("throughput both ways, total", BothRate(tx), BothRate(sx), "bytes/s");
        PrintRatio("latency one direction, median", Percentile(OneDirection(tx), 50),
                   Percentile(OneDirection(sx), 50), "us");
        PrintRatio("latency one direction, 99th percentile", Percentile(OneDirection(tx), 99),
                   Percentile(OneDirection(sx), 99), "us");
        PrintRatio("latency directions alternating, median", Percentile(tx.pingAlternating, 50),
                   Percentile(sx.pingAlternating, 50), "us");
        PrintRatio("latency in a 2 ms trickle, median", Percentile(tx.trickle, 50),
                   Percentile(sx.trickle, 50), "us");
        PrintRatio("CPU per byte, the relay alone (worker thread / socat process, CPU clocks)",
                   NsPerByte(tx.cpuRelay, tx), NsPerByte(sx.cpuRelay, sx), "ns/byte");
        PrintRatio("CPU per byte, relay + far sides (tandemix process / socat + benchmark process)",
                   NsPerByte(tx.cpuProcess, tx), NsPerByte(sx.cpuRelay + sx.cpuProcess, sx),
                   "ns/byte");
    }

    RemoveTrayIcon();
    g_pMainDlg = g_pEditPort1 = g_pEditPort2 = g_pButtonOK = g_pButtonCancel = nullptr;
    g_pStatusText = g_pHistoryText = nullptr;
    dialog.DestroyWindow();
    plat::UiShutdown();

    ::close(far3->fd);
    ::close(far4->fd);
    fs::current_path(previous);
    std::error_code ec;
    fs::remove_all(scratch, ec);
    std::printf("\nscratch directory %s removed: %s\n", scratch,
                fs::exists(scratch) ? "no" : "yes");
    return result;
}
