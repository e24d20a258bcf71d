// The transcript buffer and the log files written from it, in a scratch directory.
#include "Scratch.h"
#include "relay/Transcript.h"
#include "ui/MessageHistory.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

namespace {

const std::string kOpening = "Log Start (tandemix v2.3) :";
const std::string kNotice = "End of Buffer reached, writing from begin again!!!\n";

std::string Closing(int bytes, int lines) {
    return "\r\nEnd Of Log (total bytes redirected:" + std::to_string(bytes) +
           ", lines:" + std::to_string(lines) + ".).\r\n";
}

void Record(int direction, const std::string& bytes) {
    for (char c : bytes) RecordByte(direction, static_cast<unsigned char>(c));
}

class TranscriptTest : public testing::Test {
protected:
    std::vector<std::string> LogFiles() const { return dir.Files("output."); }
    std::string OnlyLogFile() const {
        const auto files = LogFiles();
        EXPECT_EQ(files.size(), 1u);
        return files.empty() ? "" : ReadFile(files.front());
    }
    bool CursorInBuffer() const {
        return g_pLogCursor >= g_logBuffer && g_pLogCursor <= g_logBuffer + kLogBufferSize;
    }
    ScratchDir dir;
    MessageWindow messages;
};

}  // namespace

TEST_F(TranscriptTest, ShortExchangeIsFourLines) {
    BeginTranscript();
    Record(1, "abc");
    Record(2, "xyz");
    EndTranscript();
    const auto files = LogFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(ReadFile(files[0]),
              "Log Start (tandemix v2.3) :\r\n>abc\r\n<xyz\r\n"
              "End Of Log (total bytes redirected:6, lines:2.).\r\n");
    EXPECT_EQ(messages.Status(), "Written OK (" + files[0] + ")");
}

TEST_F(TranscriptTest, MarkersAreReportedOnlyOnAChangeOfDirection) {
    BeginTranscript();
    EXPECT_TRUE(RecordByte(1, 'a'));
    EXPECT_FALSE(RecordByte(1, 'b'));
    EXPECT_TRUE(RecordByte(2, 'x'));
    EXPECT_TRUE(RecordByte(1, 'c'));
}

TEST_F(TranscriptTest, RunWithoutTrafficHoldsOpeningAndClosingOnly) {
    BeginTranscript();
    EndTranscript();
    EXPECT_EQ(OnlyLogFile(), kOpening + Closing(0, 0));
}

TEST_F(TranscriptTest, LineBreaksAndEveryByteValueInTrafficAreStoredAsReceived) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    BeginTranscript();
    Record(1, "a\r\nb\n\r");
    Record(2, all);
    EndTranscript();
    EXPECT_EQ(OnlyLogFile(),
              kOpening + "\r\n>a\r\nb\n\r" + "\r\n<" + all + Closing(6 + 256, 2));
}

TEST_F(TranscriptTest, NextRunOverwritesTheBufferFromTheStart) {
    BeginTranscript();
    Record(1, std::string(1000, 'q'));
    EndTranscript();
    BeginTranscript();
    Record(2, "r");
    EndTranscript();
    const auto files = LogFiles();
    ASSERT_EQ(files.size(), 2u) << "a second file within the same second replaces nothing";
    EXPECT_EQ(ReadFile(files[1]), kOpening + "\r\n<r" + Closing(1, 1));
    EXPECT_EQ(ReadFile(files[0]).size(), kOpening.size() + 3 + 1000 + Closing(1000, 1).size());
}

// Fills the buffer to exactly its last byte, then goes on in the same direction.
TEST_F(TranscriptTest, FillUpWritesTheFullBufferAndGoesOnAfterTheNotice) {
    BeginTranscript();
    Record(1, "a");
    const std::size_t used = static_cast<std::size_t>(g_pLogCursor - g_logBuffer);
    for (std::size_t i = used; i < kLogBufferSize; ++i) RecordByte(1, 'f');
    ASSERT_EQ(g_pLogCursor, g_logBuffer + kLogBufferSize);
    EXPECT_TRUE(LogFiles().empty());
    WrapIfFull();  // the end of a pass
    ASSERT_EQ(LogFiles().size(), 1u);
    EXPECT_FALSE(RecordByte(1, 'g')) << "same direction after a fill-up: no marker";
    Record(2, "h");
    EndTranscript();

    const auto files = LogFiles();
    ASSERT_EQ(files.size(), 2u);
    const std::string first = ReadFile(files[0]);
    EXPECT_EQ(first.size(), kLogBufferSize);
    EXPECT_EQ(first.substr(0, kOpening.size() + 4), kOpening + "\r\n>a");
    EXPECT_EQ(first.find("End Of Log"), std::string::npos) << "no closing text at a fill-up";
    // Bytes since the fill-up, lines since the run began.
    EXPECT_EQ(ReadFile(files[1]), kNotice + "g\r\n<h" + Closing(2, 2));
}

// A pass that keeps receiving never reaches the pass-end test: the buffer must make room
// itself, and no byte may be lost or stored past the end.
TEST_F(TranscriptTest, RunLargerThanTheBufferLosesNothing) {
    std::string expected;  // the traffic with its markers, as the files must hold it
    expected.reserve(kLogBufferSize + kLogBufferSize / 2);
    int last = 0;
    int lines = 0;
    auto record = [&](int direction, unsigned char byte) {
        if (direction != last) {
            expected += direction == 1 ? "\r\n>" : "\r\n<";
            ++lines;
        }
        last = direction;
        expected.push_back(static_cast<char>(byte));
        RecordByte(direction, byte);
        if (!CursorInBuffer()) FAIL() << "store past the buffer's end";
    };

    BeginTranscript();
    std::size_t n = 0;
    while (expected.size() < kLogBufferSize + kLogBufferSize / 2) {
        // Mostly long runs in one direction, with short answers: markers land on the
        // boundary at some point or other.
        const int direction = (n % 7 == 6) ? 2 : 1;
        const std::size_t length = direction == 1 ? 4093 : 3;
        for (std::size_t i = 0; i < length; ++i) record(direction, static_cast<unsigned char>(n + i));
        ++n;
    }
    ASSERT_TRUE(CursorInBuffer());
    WrapIfFull();
    EndTranscript();

    const auto files = LogFiles();
    ASSERT_EQ(files.size(), 2u);
    std::string body = ReadFile(files[0]);
    ASSERT_EQ(body.rfind(kOpening, 0), 0u);
    body.erase(0, kOpening.size());
    std::string second = ReadFile(files[1]);
    ASSERT_EQ(second.rfind(kNotice, 0), 0u);
    const std::size_t closing = second.rfind("\r\nEnd Of Log (");
    ASSERT_NE(closing, std::string::npos);
    body += second.substr(kNotice.size(), closing - kNotice.size());
    EXPECT_TRUE(body == expected) << "the files' traffic differs from what was relayed";
    EXPECT_NE(second.find(", lines:" + std::to_string(lines) + ".)"), std::string::npos)
        << second.substr(closing);
}

TEST(LogFileName, IsMonthDayHourMinuteSecondWithLeadingZeros) {
    char name[64];
    FormatLogFileName(name, sizeof name, {2026, 3, 5, 9, 7, 3});
    EXPECT_STREQ(name, "output.03.05-09.07.03.txt");
    FormatLogFileName(name, sizeof name, {2026, 12, 31, 23, 59, 58});
    EXPECT_STREQ(name, "output.12.31-23.59.58.txt");
}

TEST_F(TranscriptTest, UnwritableFileIsReportedNotWrittenOk) {
    // A working directory that has gone stops even root from creating a file.
    const std::string doomed = dir.path() + "/gone";
    std::filesystem::create_directory(doomed);
    std::filesystem::current_path(doomed);
    std::filesystem::remove(doomed);

    BeginTranscript();
    Record(1, "lost");
    EndTranscript();
    const std::string status = messages.Status();
    EXPECT_EQ(status.find("Written OK"), std::string::npos);
    EXPECT_EQ(status.rfind("Write of file output.", 0), 0u) << status;
    EXPECT_NE(status.find(" failed: Error=2"), std::string::npos) << status;
    EXPECT_NE(std::string(g_szHistory[0]).find("Error=2 - No such file or directory"),
              std::string::npos) << g_szHistory[0];
    std::filesystem::current_path(dir.path());
}

TEST_F(TranscriptTest, FullDiskIsReportedNotWrittenOk) {
    // Every name of the next few seconds leads to a device that takes nothing.
    const auto now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    for (int s = 0; s < 5; ++s) {
        const std::time_t t = now + s;
        std::tm tm{};
        localtime_r(&t, &tm);
        char name[64];
        FormatLogFileName(name, sizeof name, {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                                              tm.tm_hour, tm.tm_min, tm.tm_sec});
        ASSERT_EQ(symlink("/dev/full", name), 0);
    }
    BeginTranscript();
    Record(2, "never stored");
    EndTranscript();
    const std::string status = messages.Status();
    EXPECT_EQ(status.find("Written OK"), std::string::npos);
    EXPECT_NE(status.find(" failed: Error=28"), std::string::npos) << status;
    EXPECT_NE(std::string(g_szHistory[0]).find("Error=28 - No space left on device"),
              std::string::npos) << g_szHistory[0];
}
