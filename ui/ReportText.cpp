#include "ui/ReportText.h"

#include "platform/system.h"

#include <cstdarg>
#include <cstdio>
#include <string>

int FormatText(char* buffer, std::size_t size, const char* format, ...) {
    if (size == 0) return 0;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, size, format, args);
    va_end(args);
    if (n < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return static_cast<std::size_t>(n) < size ? n : static_cast<int>(size - 1);
}

bool GetErrorDescription(int error, char* buffer, std::size_t size) {
    std::string text = plat::ErrorDescription(error);
    // Windows ends its texts with CR LF; other systems end them with nothing.
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
    else if (!text.empty() && text.back() == '\n') text.pop_back();
    if (text.empty()) return false;
    FormatText(buffer, size, "%s", text.c_str());
    return true;
}
