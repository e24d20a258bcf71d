// Cross-thread calls as the window system makes them: the caller waits until the
// user-interface thread gets round to its call, and a call that can no longer run fails.
//
// Other threads never call into Qt: they queue under our own mutex and wake the
// user-interface thread through an eventfd that a QSocketNotifier watches. That keeps every
// hand-over visible to ThreadSanitizer and away from Qt's cross-thread event posting.
#include "platform/linux/ui_thread.h"
#include "platform/window.h"

#include <QSocketNotifier>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include <sys/eventfd.h>
#include <unistd.h>

namespace plat {

namespace {

struct Call {
    const std::function<void()>* run;
    bool finished = false;
    bool ran = false;
};

// A background thread may still be calling while the process ends, after static objects
// are destroyed: the queue is made once and never destroyed.
struct Queue {
    std::mutex mutex;
    std::condition_variable finished;
    std::deque<Call*> calls;                    // guarded by mutex
    std::deque<std::function<void()>> posted;  // guarded by mutex
};
Queue& g_queue = *new Queue;
std::mutex& g_mutex = g_queue.mutex;
std::condition_variable& g_finished = g_queue.finished;
std::deque<Call*>& g_calls = g_queue.calls;
std::deque<std::function<void()>>& g_posted = g_queue.posted;
bool g_open = false;            // guarded by g_mutex
int g_wakeFd = -1;              // guarded by g_mutex
QSocketNotifier* g_notifier = nullptr;  // user-interface thread only
std::atomic<std::thread::id> g_uiThread{};

}  // namespace

bool IsUiThread() { return g_uiThread.load() == std::this_thread::get_id(); }

namespace detail {

bool RunOnUiThread(const std::function<void()>& run) {
    if (IsUiThread()) {
        run();
        return true;
    }
    Call call{&run};
    std::unique_lock lock(g_mutex);
    if (!g_open) return false;
    g_calls.push_back(&call);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_wakeFd, &one, sizeof one);
    g_finished.wait(lock, [&] { return call.finished; });
    return call.ran;
}

bool PostToUiThread(std::function<void()> call) {
    std::lock_guard lock(g_mutex);
    if (!g_open) return false;
    g_posted.push_back(std::move(call));
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_wakeFd, &one, sizeof one);
    return true;
}

void DrainUiCallQueue() {
    std::unique_lock lock(g_mutex);
    if (g_wakeFd >= 0) {
        std::uint64_t count;
        [[maybe_unused]] const ssize_t n = ::read(g_wakeFd, &count, sizeof count);
    }
    // Only the calls waiting now: one that arrives meanwhile is taken next time, as a
    // message posted during processing is.
    for (std::size_t pending = g_calls.size(); pending > 0 && !g_calls.empty(); --pending) {
        Call* call = g_calls.front();
        g_calls.pop_front();
        lock.unlock();
        (*call->run)();
        lock.lock();
        call->ran = true;
        call->finished = true;
        g_finished.notify_all();
    }
    for (std::size_t pending = g_posted.size(); pending > 0 && !g_posted.empty(); --pending) {
        std::function<void()> posted = std::move(g_posted.front());
        g_posted.pop_front();
        lock.unlock();
        posted();
        lock.lock();
    }
}

void StartUiCallQueue() {
    g_uiThread.store(std::this_thread::get_id());
    std::lock_guard lock(g_mutex);
    g_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    g_notifier = new QSocketNotifier(g_wakeFd, QSocketNotifier::Read);
    QObject::connect(g_notifier, &QSocketNotifier::activated, [] { DrainUiCallQueue(); });
    g_open = true;
}

void StopUiCallQueue() {
    std::lock_guard lock(g_mutex);
    g_open = false;
    for (Call* call : g_calls) call->finished = true;  // ran stays false: the call fails
    g_calls.clear();
    g_posted.clear();
    g_finished.notify_all();
    delete g_notifier;
    g_notifier = nullptr;
    if (g_wakeFd >= 0) ::close(g_wakeFd);
    g_wakeFd = -1;
}

}  // namespace detail
}  // namespace plat
