// Settings-file reading with the private-profile reader's rules, on real files in a
// scratch working directory.
#include "Scratch.h"
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

struct Case {
    const char* what;
    const char* contents;  // null: no file
    const char* key;
    const char* defaultValue;
    std::uint32_t size;
    const char* expected;
    const char* fileName = ".\\tandemix.ini";
    const char* section = "serial";
};

const Case kCases[] = {
    {"plain value", "[serial]\nport1=7\nport2=8\n", "port2", "4", 16, "8"},
    {"names without regard to case", "[SeRiAl]\nPORT1=9\n", "Port1", "3", 16, "9"},
    {"no file", nullptr, "port1", "3", 16, "3"},
    {"no such section", "[other]\nport1=9\n", "port1", "3", 16, "3"},
    {"no such key", "[serial]\nport2=9\n", "port1", "3", 16, "3"},
    {"key only in a later section", "[serial]\nport2=1\n[other]\nport1=9\n", "port1", "3", 16, "3"},
    {"key before any section", "port1=9\n[serial]\n", "port1", "3", 16, "3"},
    {"null default", "[serial]\n", "port1", nullptr, 16, ""},
    {"trailing blanks of the default", nullptr, "port1", "3 \t ", 16, "3"},
    {"empty value is not the default", "[serial]\nport1=\n", "port1", "3", 16, ""},
    {"value cut to the buffer", "[serial]\nport1=12345678901234567890\n", "port1", "3", 16,
     "123456789012345"},
    {"default cut to the buffer", nullptr, "port1", "abcdefgh", 4, "abc"},
    {"one-byte buffer", "[serial]\nport1=5\n", "port1", "3", 1, ""},
    {"CRLF lines", "[serial]\r\nport1=5\r\nport2=6\r\n", "port1", "3", 16, "5"},
    {"last line without line end", "[serial]\nport1=5", "port1", "3", 16, "5"},
    {"blanks around names and values", "  [serial]  \n \t port1 \t =  12 \t \n", "port1", "3", 16,
     "12"},
    {"blanks inside a value kept", "[serial]\nport1= a b \n", "port1", "3", 16, "a b"},
    {"double quotes removed", "[serial]\nport1=\" 5 \"\n", "port1", "3", 16, " 5 "},
    {"single quotes removed", "[serial]\nport1='6'\n", "port1", "3", 16, "6"},
    {"unmatched quotes kept", "[serial]\nport1=\"7'\n", "port1", "3", 16, "\"7'"},
    {"equals sign inside the value", "[serial]\nport1=a=b\n", "port1", "3", 16, "a=b"},
    {"first key wins", "[serial]\nport1=1\nport1=2\n", "port1", "3", 16, "1"},
    {"first section wins", "[serial]\nport1=1\n[serial]\nport1=2\n", "port1", "3", 16, "1"},
    {"comment line is no key", "[serial]\n;port1=9\n", "port1", "3", 16, "3"},
    {"key after a comment", "[serial]\n; port1=9\nport1=5\n", "port1", "3", 16, "5"},
    {"COM5 unchanged", "[serial]\nport1=COM5\n", "port1", "3", 16, "COM5"},
    {"slash form of the name", "[serial]\nport1=5\n", "port1", "3", 16, "5", "./tandemix.ini"},
    {"file missing under another name", "[serial]\nport1=5\n", "port1", "3", 16, "3",
     ".\\other.ini"},
};

TEST(Profile, ReadsLikeTheWindowsReader) {
    ScratchDir dir;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        std::remove("tandemix.ini");
        if (c.contents) WriteFile("tandemix.ini", c.contents);

        char buffer[32];
        std::memset(buffer, '#', sizeof buffer);
        const std::uint32_t n =
            plat::GetPrivateProfileStringA(c.section, c.key, c.defaultValue, buffer, c.size, c.fileName);

        EXPECT_STREQ(buffer, c.expected);
        EXPECT_EQ(n, std::strlen(c.expected));
        EXPECT_EQ(buffer[c.size], '#') << "written past the buffer";
        if (c.contents) {
            EXPECT_EQ(ReadFile("tandemix.ini"), c.contents) << "file changed";
        }
    }
}

}  // namespace
