// The resources as the program sees them: tandemix.rc read by ResourceScript, and the two
// icon files decoded here byte by byte. Every expected value is written out below from the
// description of the resources, not taken from the script or the icon pictures.
#include "res/ResourceScript.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

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

constexpr int kEnglishUs = 1033;
constexpr int kCroatian = 1050;

struct ExpectedControl {
    const char* className;
    int id;
    std::string text;
    int x, y, cx, cy;
    std::uint32_t style;  // besides WS_CHILD | WS_VISIBLE
};

const ExpectedControl kMainControls[] = {
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

void ExpectControl(const ControlTemplate& actual, const ExpectedControl& expected) {
    EXPECT_EQ(actual.className, expected.className);
    EXPECT_EQ(actual.id, expected.id);
    EXPECT_EQ(actual.text, expected.text);
    EXPECT_EQ(actual.x, expected.x);
    EXPECT_EQ(actual.y, expected.y);
    EXPECT_EQ(actual.cx, expected.cx);
    EXPECT_EQ(actual.cy, expected.cy);
    EXPECT_EQ(actual.style, WS_CHILD | WS_VISIBLE | expected.style)
        << std::hex << "style 0x" << actual.style << ", expected 0x"
        << (WS_CHILD | WS_VISIBLE | expected.style);
    EXPECT_EQ(actual.exStyle, 0u);
    EXPECT_EQ(actual.helpId, 0u);
}

TEST(Resources, ScriptReadsWithoutError) {
    const ParsedScript parsed = ParseResourceScript("tandemix.rc", EmbeddedResourceFiles());
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.script.dialogs.size(), 2u);
    EXPECT_EQ(parsed.script.strings.size(), 2u);
    EXPECT_EQ(parsed.script.icons.size(), 2u);
    EXPECT_EQ(parsed.script.versions.size(), 1u);
}

TEST(Resources, MainDialogTemplate) {
    const DialogTemplate* d = Resources().dialog(102);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->extended);
    EXPECT_EQ(d->language, kEnglishUs);
    EXPECT_EQ(d->style, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                            DS_MODALFRAME | DS_SETFONT);
    EXPECT_EQ(d->exStyle, WS_EX_APPWINDOW);
    EXPECT_EQ(d->x, 0);
    EXPECT_EQ(d->y, 0);
    EXPECT_EQ(d->cx, 317);
    EXPECT_EQ(d->cy, 130);
    EXPECT_EQ(d->fontName, "MS Sans Serif");
    EXPECT_EQ(d->pointSize, 8);
    EXPECT_EQ(d->weight, 0);
    EXPECT_FALSE(d->italic);
    EXPECT_EQ(d->charset, 1);
    EXPECT_EQ(d->caption, "tandemix v.2.2");
    EXPECT_EQ(d->helpId, 0u);
    ASSERT_EQ(d->controls.size(), std::size(kMainControls));
    for (size_t i = 0; i < d->controls.size(); ++i) {
        SCOPED_TRACE("main dialog control " + std::to_string(i + 1));
        ExpectControl(d->controls[i], kMainControls[i]);
        EXPECT_FALSE(d->controls[i].imageId.has_value());
    }
}

TEST(Resources, AboutBoxTemplate) {
    const DialogTemplate* d = Resources().dialog(100);
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->extended);
    EXPECT_EQ(d->language, kEnglishUs);
    EXPECT_EQ(d->style, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT);
    EXPECT_EQ(d->exStyle, 0u);
    EXPECT_EQ(d->x, 0);
    EXPECT_EQ(d->y, 0);
    EXPECT_EQ(d->cx, 235);
    EXPECT_EQ(d->cy, 55);
    EXPECT_EQ(d->fontName, "MS Sans Serif");
    EXPECT_EQ(d->pointSize, 8);
    EXPECT_EQ(d->caption, "About velcaster");
    EXPECT_EQ(d->helpId, 0u);
    ASSERT_EQ(d->controls.size(), 4u);

    {
        SCOPED_TRACE("about box icon");
        ExpectControl(d->controls[0], {"Static", -1, "", 11, 17, 20, 20, SS_ICON});
        EXPECT_EQ(d->controls[0].imageId, 128);
    }
    {
        SCOPED_TRACE("about box version text");
        ExpectControl(d->controls[1], {"Static", 1008, "tandemix Version 2.3", 40, 10, 119, 8,
                                       SS_LEFT | SS_NOPREFIX | WS_GROUP});
    }
    {
        // The credit line's text is free; it must fit two lines of the box.
        SCOPED_TRACE("about box credit line");
        ControlTemplate credit = d->controls[2];
        EXPECT_FALSE(credit.text.empty());
        credit.text.clear();
        ExpectControl(credit, {"Static", -1, "", 41, 32, 115, 16, SS_LEFT | WS_GROUP});
    }
    {
        SCOPED_TRACE("about box OK button");
        ExpectControl(d->controls[3], {"Button", 1, "OK", 178, 7, 50, 14,
                                       BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP});
    }
    int tabStops = 0;
    for (const ControlTemplate& c : d->controls)
        tabStops += (c.style & WS_TABSTOP) != 0;
    EXPECT_EQ(tabStops, 1);
}

TEST(Resources, StringTable) {
    const struct {
        int id;
        const char* text;
    } expected[] = {{101, "&About tandemix..."}, {103, "Windows sockets initialization failed."}};
    EXPECT_EQ(Resources().strings.size(), std::size(expected));
    for (const auto& entry : expected) {
        SCOPED_TRACE("string " + std::to_string(entry.id));
        const StringResource* s = Resources().string(entry.id);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->text, entry.text);
        EXPECT_EQ(s->language, kEnglishUs);
    }
    EXPECT_EQ(Resources().string(57344), nullptr);  // no application title of its own
}

TEST(Resources, VersionBlock) {
    ASSERT_EQ(Resources().versions.size(), 1u);
    const VersionResource& v = Resources().versions[0];
    EXPECT_EQ(v.id, 1);
    EXPECT_EQ(v.language, kEnglishUs);
    EXPECT_EQ(v.fileVersion, (std::array<int, 4>{1, 3, 0, 0}));
    EXPECT_EQ(v.productVersion, (std::array<int, 4>{1, 3, 0, 0}));
    EXPECT_EQ(v.fileFlagsMask, 0x3Fu);
    EXPECT_EQ(v.fileFlags, 0u);
    EXPECT_EQ(v.fileOs, 4u);
    EXPECT_EQ(v.fileType, 1u);
    EXPECT_EQ(v.fileSubtype, 0u);

    ASSERT_EQ(v.stringBlocks.size(), 1u);
    EXPECT_EQ(v.stringBlocks[0].name, "040904b0");
    // nullptr: a descriptive text, free but not empty.
    const std::pair<const char*, const char*> keys[] = {
        {"Comments", ""},          {"CompanyName", ""},     {"FileDescription", nullptr},
        {"FileVersion", "1, 3, 0, 0"}, {"InternalName", nullptr}, {"LegalCopyright", nullptr},
        {"LegalTrademarks", ""},   {"OriginalFilename", nullptr}, {"PrivateBuild", ""},
        {"ProductName", nullptr},  {"ProductVersion", "1, 3, 0, 0"}, {"SpecialBuild", ""},
    };
    const std::vector<VersionValue>& values = v.stringBlocks[0].values;
    EXPECT_EQ(values.size(), std::size(keys));
    for (const auto& [key, text] : keys) {
        SCOPED_TRACE(key);
        int found = 0;
        for (const VersionValue& value : values) {
            if (value.key != key)
                continue;
            ++found;
            if (text)
                EXPECT_EQ(value.value, text);
            else
                EXPECT_FALSE(value.value.empty());
        }
        EXPECT_EQ(found, 1);
    }

    ASSERT_EQ(v.translations.size(), 1u);
    EXPECT_EQ(v.translations[0].language, 0x0409);
    EXPECT_EQ(v.translations[0].codePage, 1200);
}

TEST(Resources, IconResources) {
    const struct {
        int id;
        const char* fileName;
    } expected[] = {{128, "tandemix.ico"}, {129, "blink.ico"}};
    EXPECT_EQ(Resources().icons.size(), std::size(expected));
    for (const auto& entry : expected) {
        SCOPED_TRACE("icon " + std::to_string(entry.id));
        const IconResource* icon = Resources().icon(entry.id);
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->fileName, entry.fileName);
        EXPECT_EQ(icon->language, kCroatian);
        EXPECT_FALSE(icon->file.empty());
    }
}

TEST(Resources, ReaderReportsWhereAScriptIsWrong) {
    const std::string header = "#define IDD_X 7\n";
    const struct {
        const char* script;
        const char* error;
    } cases[] = {
        {"#include \"resource.h\"\nIDD_X DIALOG 0, 0, 10, 10\nBEGIN\nEND\n", ""},
        {"#include \"missing.h\"\n", "test.rc:1: cannot find \"missing.h\""},
        {"#include \"resource.h\"\n\nIDD_Y DIALOG 0, 0, 10, 10\n", "test.rc:3: unknown name IDD_Y"},
        {"1 DIALOG 0, 0, 10, 10\nBEGIN\n  LISTBOX 5, 1, 1, 1, 1\nEND\n",
         "test.rc:3: unsupported control statement LISTBOX"},
        {"1 DIALOG 0, 0, 10, 10\nSTYLE WS_POPUP | WS_NOSUCH\nBEGIN\nEND\n",
         "test.rc:2: unknown name WS_NOSUCH"},
        {"1 ICON \"none.ico\"\n", "test.rc:1: cannot find \"none.ico\""},
        {"STRINGTABLE\nBEGIN\n  1 \"a\"\n  1 \"b\"\nEND\n", "test.rc:4: string 1 defined twice"},
        {"#ifdef IDOK\n", "test.rc:1: #endif missing"},
        {"1 DIALOG 0, 0, 10, 10\nCAPTION \"x\"\n", "test.rc:2: BEGIN expected"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const std::string script = c.script;
        const ResourceFile files[] = {
            {"test.rc", {reinterpret_cast<const unsigned char*>(script.data()), script.size()}},
            {"resource.h", {reinterpret_cast<const unsigned char*>(header.data()), header.size()}},
        };
        const ParsedScript parsed = ParseResourceScript("test.rc", files);
        EXPECT_EQ(parsed.error, c.error);
        EXPECT_EQ(parsed.script.dialogs.size(), *c.error ? 0u : 1u);
    }
}

TEST(Resources, ControlStylesAddToAStatementsDefaults) {
    const std::string script =
        "1 DIALOGEX 0, 0, 10, 10\nBEGIN\n"
        "  LTEXT \"a\", 5, 1, 2, 3, 4, NOT WS_GROUP | SS_NOPREFIX, 0x200, 77\n"
        "  EDITTEXT 6, 1, 2, 3, 4, NOT WS_BORDER\n"
        "END\n";
    const ResourceFile files[] = {
        {"test.rc", {reinterpret_cast<const unsigned char*>(script.data()), script.size()}}};
    const ParsedScript parsed = ParseResourceScript("test.rc", files);
    ASSERT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.script.dialogs.size(), 1u);
    const DialogTemplate& d = parsed.script.dialogs[0];
    // No STYLE statement: the resource compiler's default window style.
    EXPECT_EQ(d.style, WS_POPUP | WS_BORDER | WS_SYSMENU);
    ASSERT_EQ(d.controls.size(), 2u);
    EXPECT_EQ(d.controls[0].style, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX);
    EXPECT_EQ(d.controls[0].exStyle, 0x200u);
    EXPECT_EQ(d.controls[0].helpId, 77u);
    EXPECT_EQ(d.controls[1].style, WS_CHILD | WS_VISIBLE | ES_LEFT | WS_TABSTOP);
}

// --- Icon files, decoded here ---

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

const std::vector<std::pair<int, int>> kBar32{{12, 19}};
const std::vector<std::pair<int, int>> kWideBar32{{11, 20}};
const std::vector<std::pair<int, int>> kJoint32{{9, 10}, {12, 19}, {21, 22}};
const std::vector<std::pair<int, int>> kSides32{{8, 11}, {20, 23}};

const std::vector<DigitRows> kDigit32 = {
    {3, 3, kBar32},     {4, 5, kWideBar32},  {6, 6, kJoint32},   {7, 13, kSides32},
    {14, 14, kJoint32}, {15, 16, kWideBar32}, {17, 17, kJoint32}, {18, 25, kSides32},
    {26, 26, kJoint32}, {27, 28, kWideBar32}, {29, 29, kBar32},
};

const std::vector<DigitRows> kDigit16 = {
    {2, 2, {{6, 9}}},
    {3, 3, {{5, 5}, {7, 8}, {10, 10}}},
    {4, 6, {{5, 6}, {9, 10}}},
    {7, 8, {{6, 9}}},
    {9, 11, {{5, 6}, {9, 10}}},
    {12, 12, {{5, 5}, {7, 8}, {10, 10}}},
    {13, 13, {{6, 9}}},
};

using Picture = std::vector<std::vector<int>>;  // palette indices, [row][column], top row first

Picture Draw(int size, const std::vector<int>& barColumns, const std::vector<DigitRows>& digit,
             int digitColour, const std::vector<std::pair<int, int>>& extraRedPixels = {}) {
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

struct ExpectedIcon {
    const char* name;
    int id;
    Picture large;  // 32 by 32
    Picture small;  // 16 by 16
};

std::vector<ExpectedIcon> ExpectedIcons() {
    const std::vector<int> bars32{0, 1, 2, 30, 31};
    const std::vector<int> bars16{0, 15};
    return {
        {"mainframe", 128, Draw(32, bars32, kDigit32, kRed), Draw(16, bars16, kDigit16, kRed)},
        {"blink", 129, Draw(32, bars32, kDigit32, kWhite),
         Draw(16, bars16, kDigit16, kRed, {{1, 2}, {1, 13}, {14, 2}, {14, 13}})},
    };
}

// Names the case in messages instead of dumping its bytes.
void PrintTo(const ExpectedIcon& icon, std::ostream* out) {
    *out << icon.name;
}

class IconFile : public testing::TestWithParam<ExpectedIcon> {};

std::uint32_t Read16(std::span<const unsigned char> b, size_t at) {
    return at + 2 <= b.size() ? b[at] | b[at + 1] << 8 : 0xFFFFFFFF;
}

std::uint32_t Read32(std::span<const unsigned char> b, size_t at) {
    return at + 4 <= b.size() ? Read16(b, at) | Read16(b, at + 2) << 16 : 0xFFFFFFFF;
}

// Checks one image of an icon file: its directory entry, header, palette, colour bits
// and mask, against the picture.
void ExpectImage(std::span<const unsigned char> file, int index, const Picture& expected) {
    const int size = static_cast<int>(expected.size());
    const size_t entry = 6 + 16 * static_cast<size_t>(index);
    ASSERT_GE(file.size(), entry + 16);
    EXPECT_EQ(file[entry + 0], size);  // width
    EXPECT_EQ(file[entry + 1], size);  // height
    EXPECT_EQ(file[entry + 2], 16);    // colours
    EXPECT_EQ(file[entry + 3], 0);
    EXPECT_EQ(Read16(file, entry + 4), 1u);  // planes
    EXPECT_EQ(Read16(file, entry + 6), 4u);  // bits per pixel
    const std::uint32_t bytes = Read32(file, entry + 8);
    const std::uint32_t offset = Read32(file, entry + 12);
    const size_t colourRow = size == 32 ? 16 : 8;  // 4 bits a pixel, rows padded to 4 bytes
    const size_t maskRow = 4;                      // 1 bit a pixel, padded to 4 bytes
    const size_t colourBits = 40 + 16 * 4;
    const size_t maskBits = colourBits + colourRow * size;
    ASSERT_EQ(bytes, maskBits + maskRow * size);
    ASSERT_LE(offset + static_cast<size_t>(bytes), file.size());
    const std::span<const unsigned char> image = file.subspan(offset, bytes);

    EXPECT_EQ(Read32(image, 0), 40u);                                   // biSize
    EXPECT_EQ(static_cast<int>(Read32(image, 4)), size);                // biWidth
    EXPECT_EQ(static_cast<int>(Read32(image, 8)), 2 * size);            // colour and mask
    EXPECT_EQ(Read16(image, 12), 1u);                                   // biPlanes
    EXPECT_EQ(Read16(image, 14), 4u);                                   // biBitCount
    EXPECT_EQ(Read32(image, 16), 0u);                                   // BI_RGB
    EXPECT_EQ(Read32(image, 32), 0u);                                   // biClrUsed: all 16
    for (int i = 0; i < 16; ++i) {
        SCOPED_TRACE("palette entry " + std::to_string(i));
        const size_t at = 40 + 4 * static_cast<size_t>(i);
        const std::uint32_t rgb = image[at + 2] << 16 | image[at + 1] << 8 | image[at];
        EXPECT_EQ(rgb, kPalette[i]);
        EXPECT_EQ(image[at + 3], 0);
    }

    int wrongPixels = 0;
    for (int row = 0; row < size; ++row) {
        const size_t rowStart = colourBits + colourRow * static_cast<size_t>(size - 1 - row);
        for (int column = 0; column < size; ++column) {
            const unsigned char pair = image[rowStart + static_cast<size_t>(column / 2)];
            const int pixel = column % 2 == 0 ? pair >> 4 : pair & 0x0F;
            if (pixel != expected[row][column] && ++wrongPixels <= 10)
                ADD_FAILURE() << "pixel at row " << row << ", column " << column << " is "
                              << pixel << ", expected " << expected[row][column];
        }
        for (size_t pad = static_cast<size_t>(size) / 2; pad < colourRow; ++pad)
            EXPECT_EQ(image[rowStart + pad], 0);
    }
    EXPECT_EQ(wrongPixels, 0);
    for (size_t i = maskBits; i < image.size(); ++i)
        ASSERT_EQ(image[i], 0) << "mask byte " << i - maskBits << " is not zero";
}

TEST_P(IconFile, HoldsTwoImagesAsDrawn) {
    const IconResource* icon = Resources().icon(GetParam().id);
    ASSERT_NE(icon, nullptr);
    const std::span<const unsigned char> file = icon->file;
    ASSERT_GE(file.size(), 6u);
    EXPECT_EQ(Read16(file, 0), 0u);  // reserved
    EXPECT_EQ(Read16(file, 2), 1u);  // an icon
    ASSERT_EQ(Read16(file, 4), 2u);  // two images
    {
        SCOPED_TRACE("32 by 32 image");
        ExpectImage(file, 0, GetParam().large);
    }
    {
        SCOPED_TRACE("16 by 16 image");
        ExpectImage(file, 1, GetParam().small);
    }
}

INSTANTIATE_TEST_SUITE_P(Resources, IconFile, testing::ValuesIn(ExpectedIcons()),
                         [](const testing::TestParamInfo<ExpectedIcon>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
