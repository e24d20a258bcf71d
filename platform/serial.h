// Serial-device calls of the platform layer. The port class uses these and nothing else;
// each backend maps them onto its own system (termios on Linux, the communications calls on
// Windows). Every call that fails leaves the system's error number in LastError().
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

// An open device. 0 means "none yet"; kInvalidHandle is what a failed open returns.
using Handle = std::intptr_t;
inline constexpr Handle kInvalidHandle = -1;

enum class Parity : std::uint8_t { None, Odd, Even, Mark, Space };
enum class StopBits : std::uint8_t { One, OnePointFive, Two };

// The line settings the port class adjusts. Whatever else the device had is carried in
// `native` by the backend, so that writing the record back leaves it as found.
struct LineSettings {
    std::uint32_t baudRate = 0;
    std::uint8_t byteSize = 0;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    bool abortOnError = false;
    alignas(8) unsigned char native[256] = {};
};

// Milliseconds, with the usual meaning of the serial time-out record:
// a read returns when `count` bytes arrived, when the gap after a byte exceeds the
// interval, or when multiplier * count + constant has passed since the call. A zero value
// disables that limit; an interval of kNoWait with both totals 0 returns at once with
// whatever is waiting.
struct Timeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;
};
inline constexpr std::uint32_t kNoWait = 0xFFFFFFFFu;

// The calls themselves, as a table so that tests can put a fault-injecting backend in
// front of the real one.
struct SerialCalls {
    // Opens "COMn" for reading and writing, exclusively. kInvalidHandle on failure.
    Handle (*open)(const char* name);
    bool (*setupQueues)(Handle h, std::uint32_t inQueue, std::uint32_t outQueue);
    bool (*getLineSettings)(Handle h, LineSettings* settings);
    bool (*setLineSettings)(Handle h, const LineSettings* settings);
    bool (*getTimeouts)(Handle h, Timeouts* timeouts);
    bool (*setTimeouts)(Handle h, const Timeouts* timeouts);
    // Synchronous; false on failure, true with *done < count when a time-out ended it.
    bool (*read)(Handle h, void* buffer, std::uint32_t count, std::uint32_t* done);
    bool (*write)(Handle h, const void* buffer, std::uint32_t count, std::uint32_t* done);
    bool (*close)(Handle h);
};

// The backend of this build.
const SerialCalls& NativeSerialCalls();
// The calls in force: the native ones unless a test installed others.
const SerialCalls& Serial();
// nullptr puts the native calls back.
void SetSerialCalls(const SerialCalls* calls);

}  // namespace plat
