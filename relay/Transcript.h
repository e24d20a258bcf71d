// The in-memory transcript of one relay run and the log files it is written to.
//
// Every relayed byte is appended as it came; each change of direction starts a new line
// with ">" (first port to second) or "<" (second to first). The buffer is written to
// "output.MM.DD-hh.mm.ss.txt" at the end of the run and whenever it fills up.
#pragma once

#include "platform/system.h"

#include <cstddef>

inline constexpr std::size_t kLogBufferSize = 67108864;  // 64 MiB

extern char g_logBuffer[kLogBufferSize];
extern char* g_pLogCursor;     // next byte to store
extern char* const g_pLogEnd;  // the buffer's last byte

void BeginTranscript();
// direction 1: first port to second, 2: second to first. True when a marker was written.
bool RecordByte(int direction, unsigned char byte);
void WrapIfFull();
void EndTranscript();
void WriteLogFile();

void FormatLogFileName(char* name, std::size_t size, const plat::LocalTime& time);
