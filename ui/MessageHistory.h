// The two ways to tell the operator something: the status line (what the relay is doing
// now) and the message history (the three latest reports, newest on top).
#pragma once

#include <cstddef>

inline constexpr std::size_t kHistoryLines = 3;
inline constexpr std::size_t kHistoryLineSize = 512;

extern char g_szHistory[kHistoryLines][kHistoryLineSize];

void ReportMessage(const char* text);
void SetStatusText(const char* text);
