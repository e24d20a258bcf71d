// Configuration calls failing, which no real terminal can be made to do: a backend in
// front of the real one fails one chosen step. Everything else is the real device.
#include "PtyPair.h"
#include "platform/system.h"
#include "serial/SerialPort.h"
#include "ui/MessageHistory.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>

namespace {

enum class Step { SetupQueues, GetLine, SetLine, GetTimeouts, SetTimeouts };

Step g_failing;
int g_closes = 0;
constexpr int kInjectedError = EIO;

bool Inject(Step step) {
    if (step != g_failing) return false;
    plat::SetLastError(kInjectedError);
    return true;
}

const plat::SerialCalls kFaulty{
    [](const char* name) { return plat::NativeSerialCalls().open(name); },
    [](plat::Handle h, std::uint32_t in, std::uint32_t out) {
        return !Inject(Step::SetupQueues) && plat::NativeSerialCalls().setupQueues(h, in, out);
    },
    [](plat::Handle h, plat::LineSettings* s) {
        return !Inject(Step::GetLine) && plat::NativeSerialCalls().getLineSettings(h, s);
    },
    [](plat::Handle h, const plat::LineSettings* s) {
        return !Inject(Step::SetLine) && plat::NativeSerialCalls().setLineSettings(h, s);
    },
    [](plat::Handle h, plat::Timeouts* t) {
        return !Inject(Step::GetTimeouts) && plat::NativeSerialCalls().getTimeouts(h, t);
    },
    [](plat::Handle h, const plat::Timeouts* t) {
        return !Inject(Step::SetTimeouts) && plat::NativeSerialCalls().setTimeouts(h, t);
    },
    [](plat::Handle h, void* b, std::uint32_t n, std::uint32_t* d) {
        return plat::NativeSerialCalls().read(h, b, n, d);
    },
    [](plat::Handle h, const void* b, std::uint32_t n, std::uint32_t* d) {
        return plat::NativeSerialCalls().write(h, b, n, d);
    },
    [](plat::Handle h) {
        ++g_closes;
        return plat::NativeSerialCalls().close(h);
    },
};

struct FaultCase {
    Step step;
    const char* report;
    const char* name;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class ConfigurationFailure : public testing::TestWithParam<FaultCase> {
protected:
    void SetUp() override {
        g_failing = GetParam().step;
        g_closes = 0;
        plat::SetSerialCalls(&kFaulty);
    }
    void TearDown() override { plat::SetSerialCalls(nullptr); }
    ScratchDir dir;
    MessageWindow messages;
};

}  // namespace

TEST_P(ConfigurationFailure, IsReportedAndLeavesTheDeviceOpenUntilDestruction) {
    PtyPair pty(3);
    auto* port = new cSerialPort(3);
    EXPECT_EQ(port->open(), 0);
    EXPECT_EQ(port->isOpen(), 0);
    EXPECT_STREQ(g_szHistory[0], GetParam().report);
    EXPECT_NE(port->handle(), 0);
    EXPECT_NE(port->handle(), plat::kInvalidHandle);
    EXPECT_EQ(g_closes, 0);

    // Still in use: it is written and read, and a read returns in bounded time whatever
    // time-outs were left in force.
    const unsigned char out = 'w';
    port->write(&out, 1);
    EXPECT_EQ(pty.Receive(1), "w");
    unsigned char in = 1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port->read(&in, 1), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

    delete port;
    EXPECT_EQ(g_closes, 1);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, ConfigurationFailure,
    testing::Values(
        FaultCase{Step::SetupQueues, "Error: SetupComm failed: Port=COM3 Error=5", "SetupComm"},
        FaultCase{Step::GetLine, "GetCommState failed: Port=COM3 Error=5", "GetCommState"},
        FaultCase{Step::SetLine, "SetCommState failed: Port=COM3 Error = 5", "SetCommState"},
        FaultCase{Step::GetTimeouts, "GetCommTimeouts failed: Port=COM3 Error = 5", "GetCommTimeouts"},
        FaultCase{Step::SetTimeouts, "SetCommTimeouts failed: Port=COM3 Error = 5", "SetCommTimeouts"}),
    [](const testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });
