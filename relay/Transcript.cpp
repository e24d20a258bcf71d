#include "relay/Transcript.h"

#include "ui/MessageHistory.h"
#include "ui/ReportText.h"
#include "ui/WindowTitle.h"

#include <cstdint>
#include <cstring>

char g_logBuffer[kLogBufferSize];
char* g_pLogCursor = g_logBuffer;
char* const g_pLogEnd = g_logBuffer + kLogBufferSize - 1;

namespace {

constexpr char kFillUpNotice[] = "End of Buffer reached, writing from begin again!!!\n";
constexpr std::ptrdiff_t kHeadroom = 64;

// Counters of the running worker.
std::int32_t s_nBytesRelayed = 0;
std::int32_t s_nLines = 0;
int s_nLastDirection = 0;  // none
char s_szLastLogName[64] = "";

std::size_t Room() { return static_cast<std::size_t>(g_logBuffer + kLogBufferSize - g_pLogCursor); }

bool HasHeadroom() { return g_pLogEnd - g_pLogCursor > kHeadroom; }

// Texts go in without their NUL, and only when they fit whole.
void AppendText(const char* text, std::size_t length) {
    if (length > Room()) return;
    std::memcpy(g_pLogCursor, text, length);
    g_pLogCursor += length;
}

// Counts wrap instead of overflowing on a run of more than 2^31 bytes or lines.
void Increment(std::int32_t& counter) {
    counter = static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) + 1u);
}

void FillUp() {
    WriteLogFile();
    g_pLogCursor = g_logBuffer;
    AppendText(kFillUpNotice, sizeof kFillUpNotice - 1);
    s_nBytesRelayed = 0;
}

void ReportWriteFailure(const char* szName) {
    const int error = plat::LastError();
    char szText[512];
    FormatText(szText, sizeof szText, "Write of file %s failed: Error=%d", szName, error);
    SetStatusText(szText);

    char szDescription[256];
    if (GetErrorDescription(error, szDescription, sizeof szDescription))
        FormatText(szText, sizeof szText, "Error: log file write failed: File=%s Error=%d - %s",
                   szName, error, szDescription);
    else
        FormatText(szText, sizeof szText, "Error: log file write failed: File=%s Error=%d", szName,
                   error);
    ReportMessage(szText);
}

}  // namespace

void FormatLogFileName(char* name, std::size_t size, const plat::LocalTime& t) {
    FormatText(name, size, "output.%02d.%02d-%02d.%02d.%02d.txt", t.month, t.day, t.hour,
               t.minute, t.second);
}

void BeginTranscript() {
    g_pLogCursor = g_logBuffer;
    s_nBytesRelayed = 0;
    s_nLines = 0;
    s_nLastDirection = 0;
    if (HasHeadroom()) {
        char szText[64];
        AppendText(szText, FormatText(szText, sizeof szText, "Log Start (%s) :", g_szWindowTitle));
    }
}

bool RecordByte(int direction, unsigned char byte) {
    const bool bMarker = direction != s_nLastDirection;
    // The fill-up test of the pass comes too late for a pass that keeps receiving: make
    // room before any store that would pass the buffer's last byte.
    if (Room() < (bMarker ? 4u : 1u)) FillUp();
    if (bMarker) {
        *g_pLogCursor++ = '\r';
        *g_pLogCursor++ = '\n';
        *g_pLogCursor++ = direction == 1 ? '>' : '<';
        Increment(s_nLines);
        s_nLastDirection = direction;
    }
    *g_pLogCursor++ = static_cast<char>(byte);
    Increment(s_nBytesRelayed);
    return bMarker;
}

void WrapIfFull() {
    if (g_pLogCursor > g_pLogEnd) FillUp();
}

void EndTranscript() {
    if (HasHeadroom()) {
        char szText[96];
        AppendText(szText, FormatText(szText, sizeof szText,
                                      "\r\nEnd Of Log (total bytes redirected:%d, lines:%d.).\r\n",
                                      s_nBytesRelayed, s_nLines));
    }
    WriteLogFile();
}

void WriteLogFile() {
    // Names have a resolution of one second. A second file within the same second would
    // replace the one before it and lose its traffic, so wait for the next name instead.
    char szName[64];
    for (;;) {
        FormatLogFileName(szName, sizeof szName, plat::GetLocalTime());
        if (std::strcmp(szName, s_szLastLogName) != 0) break;
        plat::Sleep(20);
    }
    FormatText(s_szLastLogName, sizeof s_szLastLogName, "%s", szName);

    char szStatus[128];
    FormatText(szStatus, sizeof szStatus, "Writting file %s", szName);
    SetStatusText(szStatus);

    plat::File* file = plat::FileCreate(szName);
    if (!file) return ReportWriteFailure(szName);
    const bool written =
        plat::FileWrite(file, g_logBuffer, static_cast<std::size_t>(g_pLogCursor - g_logBuffer));
    int error = plat::LastError();
    if (!plat::FileClose(file) || !written) {
        if (!written) plat::SetLastError(error);
        return ReportWriteFailure(szName);
    }

    FormatText(szStatus, sizeof szStatus, "Written OK (%s)", szName);
    SetStatusText(szStatus);
}
