// What tandemix's resources must hold: the dialog templates, the string table, the version
// block and the two icons, written out as plain values. Both resource tests take their
// expectations from here: resources_test.cpp checks tandemix.rc as ResourceScript reads it,
// win32/resources_exe_test.cpp checks the resources compiled into tandemix.exe.
//
// The window system's constants are defined here under their SDK names, so this header
// cannot follow windows.h (whose macros of the same names would replace them); include it
// first.
#pragma once

#ifdef WS_POPUP
#error "ResourceTables.h must be included before windows.h"
#endif

#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace expected {

// Window-system constants, as the Windows SDK headers define them.
constexpr std::uint32_t WS_POPUP = 0x80000000;
constexpr std::uint32_t WS_CHILD = 0x40000000;
constexpr std::uint32_t WS_VISIBLE = 0x10000000;
constexpr std::uint32_t WS_CAPTION = 0x00C00000;
constexpr std::uint32_t WS_BORDER = 0x00800000;
constexpr std::uint32_t WS_SYSMENU = 0x00080000;
constexpr std::uint32_t WS_GROUP = 0x00020000;
constexpr std::uint32_t WS_TABSTOP = 0x00010000;
constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000;
constexpr std::uint32_t DS_SETFONT = 0x40;
constexpr std::uint32_t DS_MODALFRAME = 0x80;
constexpr std::uint32_t BS_PUSHBUTTON = 0x0;
constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x1;
constexpr std::uint32_t ES_LEFT = 0x0;
constexpr std::uint32_t ES_AUTOHSCROLL = 0x80;
constexpr std::uint32_t SS_LEFT = 0x0;
constexpr std::uint32_t SS_CENTER = 0x1;
constexpr std::uint32_t SS_RIGHT = 0x2;
constexpr std::uint32_t SS_ICON = 0x3;
constexpr std::uint32_t SS_NOPREFIX = 0x80;

// Resource languages.
constexpr int kEnglishUs = 1033;
constexpr int kCroatian = 1050;

// Resource identifiers.
constexpr int kAboutBoxId = 100;
constexpr int kMainDialogId = 102;
constexpr int kMainIconId = 128;
constexpr int kBlinkIconId = 129;
constexpr int kVersionId = 1;
constexpr int kAppTitleStringId = 57344;  // the framework's title string, which must not exist

// --- Dialog templates ---

struct ExpectedControl {
    const char* className;
    int id;                           // -1: a label no code addresses
    std::optional<std::string> text;  // nullopt: a free text, but not empty
    int x, y, cx, cy;
    std::uint32_t style;  // besides WS_CHILD | WS_VISIBLE
    std::optional<int> imageId = std::nullopt;  // an icon named by number instead of a text
};

inline const ExpectedControl kMainControls[] = {
    {"Button", 1, "START", 163, 7, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", 2, "EXIT", 246, 7, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {"Edit", 1001, "", 88, 3, 44, 14, ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {"Static", -1, "Status:", 28, 45, 62, 8, SS_RIGHT | WS_GROUP},
    {"Static", 1003, "...", 102, 45, 127, 18, SS_LEFT | WS_GROUP},
    {"Static", -1, "Zadnje informacije:", 27, 64, 63, 11, SS_RIGHT | WS_GROUP},
    {"Static", 1004, "...", 102, 64, 208, 59, SS_LEFT | WS_GROUP},
    {"Static", -1, std::string(69, '_'), 7, 32, 303, 9, SS_CENTER | WS_GROUP},
    {"Static", -1, "First Com Port:", 37, 7, 50, 10, SS_LEFT | WS_GROUP},
    {"Static", -1, "Second Com Port:", 25, 22, 59, 10, SS_LEFT | WS_GROUP},
    {"Edit", 1006, "", 88, 20, 44, 14, ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
};

inline const ExpectedControl kAboutControls[] = {
    {"Static", -1, "", 11, 17, 20, 20, SS_ICON, kMainIconId},
    {"Static", 1008, "tandemix Version 2.3", 40, 10, 119, 8, SS_LEFT | SS_NOPREFIX | WS_GROUP},
    {"Static", -1, std::nullopt, 41, 32, 115, 16, SS_LEFT | WS_GROUP},  // the credit line
    {"Button", 1, "OK", 178, 7, 50, 14, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP},
};

struct ExpectedDialog {
    const char* name;
    int id;
    int language;
    bool extended;  // DIALOGEX rather than DIALOG
    std::uint32_t style;
    std::uint32_t exStyle;
    int x, y, cx, cy;
    const char* caption;
    const char* fontName;
    int pointSize;
    // Only the extended form stores these three; the standard form leaves them at the
    // window system's defaults, which are these values too.
    int weight;
    bool italic;
    int charset;
    std::uint32_t helpId;  // the extended form's; the standard form has none
    std::vector<ExpectedControl> controls;
};

inline const ExpectedDialog kMainDialog = {
    "main", kMainDialogId, kEnglishUs, true,
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT,
    WS_EX_APPWINDOW, 0, 0, 317, 130, "tandemix v.2.2", "MS Sans Serif", 8, 0, false, 1, 0,
    {std::begin(kMainControls), std::end(kMainControls)},
};

inline const ExpectedDialog kAboutBox = {
    "about", kAboutBoxId, kEnglishUs, false,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    0, 0, 0, 235, 55, "About velcaster", "MS Sans Serif", 8, 0, false, 1, 0,
    {std::begin(kAboutControls), std::end(kAboutControls)},
};

// --- String table ---

struct ExpectedString {
    int id;
    int language;
    const char* text;
};

inline const ExpectedString kStrings[] = {
    {101, kEnglishUs, "&About tandemix..."},
    {103, kEnglishUs, "Windows sockets initialization failed."},
};

// --- Version block ---

struct ExpectedVersionValue {
    const char* key;
    const char* value;  // nullptr: a descriptive text, free but not empty
};

struct ExpectedVersion {
    int id;
    int language;
    std::array<int, 4> fileVersion;
    std::array<int, 4> productVersion;
    std::uint32_t fileFlagsMask;
    std::uint32_t fileFlags;
    std::uint32_t fileOs;
    std::uint32_t fileType;
    std::uint32_t fileSubtype;
    std::uint32_t fileDate;  // both halves
    const char* stringBlock;
    std::vector<ExpectedVersionValue> values;  // in the block's order
    int translationLanguage;
    int translationCodePage;
};

inline const ExpectedVersion kVersion = {
    kVersionId, kEnglishUs, {1, 3, 0, 0}, {1, 3, 0, 0}, 0x3F, 0, 4, 1, 0, 0, "040904b0",
    {
        {"Comments", ""},
        {"CompanyName", ""},
        {"FileDescription", nullptr},
        {"FileVersion", "1, 3, 0, 0"},
        {"InternalName", nullptr},
        {"LegalCopyright", nullptr},
        {"LegalTrademarks", ""},
        {"OriginalFilename", nullptr},
        {"PrivateBuild", ""},
        {"ProductName", nullptr},
        {"ProductVersion", "1, 3, 0, 0"},
        {"SpecialBuild", ""},
    },
    0x0409, 1200,
};

// --- Icons ---

// Every image: 16 colours at 4 bits a pixel, one plane, with a one-bit mask.
constexpr int kIconColours = 16;
constexpr int kIconBitsPerPixel = 4;

constexpr int kBlack = 0, kRed = 9, kWhite = 15;

// The standard 16-colour palette, as red, green, blue.
constexpr std::uint32_t kPalette[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

// Rows firstRow..lastRow have the digit's pixels in these inclusive column ranges.
struct DigitRows {
    int firstRow, lastRow;
    std::vector<std::pair<int, int>> columns;
};

inline const std::vector<std::pair<int, int>> kBar32{{12, 19}};
inline const std::vector<std::pair<int, int>> kWideBar32{{11, 20}};
inline const std::vector<std::pair<int, int>> kJoint32{{9, 10}, {12, 19}, {21, 22}};
inline const std::vector<std::pair<int, int>> kSides32{{8, 11}, {20, 23}};

inline const std::vector<DigitRows> kDigit32 = {
    {3, 3, kBar32},     {4, 5, kWideBar32},  {6, 6, kJoint32},   {7, 13, kSides32},
    {14, 14, kJoint32}, {15, 16, kWideBar32}, {17, 17, kJoint32}, {18, 25, kSides32},
    {26, 26, kJoint32}, {27, 28, kWideBar32}, {29, 29, kBar32},
};

inline const std::vector<DigitRows> kDigit16 = {
    {2, 2, {{6, 9}}},
    {3, 3, {{5, 5}, {7, 8}, {10, 10}}},
    {4, 6, {{5, 6}, {9, 10}}},
    {7, 8, {{6, 9}}},
    {9, 11, {{5, 6}, {9, 10}}},
    {12, 12, {{5, 5}, {7, 8}, {10, 10}}},
    {13, 13, {{6, 9}}},
};

using Picture = std::vector<std::vector<int>>;  // palette indices, [row][column], top row first

inline Picture Draw(int size, const std::vector<int>& barColumns,
                    const std::vector<DigitRows>& digit, int digitColour,
                    const std::vector<std::pair<int, int>>& extraRedPixels = {}) {
    Picture picture(size, std::vector<int>(size, kBlack));
    for (auto& row : picture)
        for (int column : barColumns)
            row[column] = kRed;
    for (const DigitRows& rows : digit)
        for (int row = rows.firstRow; row <= rows.lastRow; ++row)
            for (const auto& [first, last] : rows.columns)
                for (int column = first; column <= last; ++column)
                    picture[row][column] = digitColour;
    for (const auto& [row, column] : extraRedPixels)
        picture[row][column] = kRed;
    return picture;
}

// One icon group: two images, the 32 by 32 one first.
struct ExpectedIcon {
    const char* name;
    int id;
    int language;
    const char* fileName;
    Picture large;  // 32 by 32
    Picture small;  // 16 by 16
};

inline std::vector<ExpectedIcon> ExpectedIcons() {
    const std::vector<int> bars32{0, 1, 2, 30, 31};
    const std::vector<int> bars16{0, 15};
    return {
        {"mainframe", kMainIconId, kCroatian, "tandemix.ico", Draw(32, bars32, kDigit32, kRed),
         Draw(16, bars16, kDigit16, kRed)},
        {"blink", kBlinkIconId, kCroatian, "blink.ico", Draw(32, bars32, kDigit32, kWhite),
         Draw(16, bars16, kDigit16, kRed, {{1, 2}, {1, 13}, {14, 2}, {14, 13}})},
    };
}

// Names the case in test messages instead of dumping its bytes.
inline void PrintTo(const ExpectedIcon& icon, std::ostream* out) {
    *out << icon.name;
}
inline void PrintTo(const ExpectedDialog& dialog, std::ostream* out) {
    *out << dialog.name;
}

}  // namespace expected
