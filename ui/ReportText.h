// Formatting of the texts the operator sees, always into fixed-size buffers.
#pragma once

#include <cstddef>

// printf into `buffer`, cut to fit; returns the number of characters stored (no NUL).
int FormatText(char* buffer, std::size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The system's description of `error` without its closing line break, cut to fit.
// False when the system has no text for it.
bool GetErrorDescription(int error, char* buffer, std::size_t size);
