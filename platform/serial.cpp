#include "platform/serial.h"

#include <atomic>

namespace plat {

namespace {
std::atomic<const SerialCalls*> g_calls{nullptr};  // null: the native calls
}

const SerialCalls& Serial() {
    const SerialCalls* calls = g_calls.load(std::memory_order_acquire);
    return calls ? *calls : NativeSerialCalls();
}

void SetSerialCalls(const SerialCalls* calls) { g_calls.store(calls, std::memory_order_release); }

}  // namespace plat
