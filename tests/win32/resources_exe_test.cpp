// tandemix.exe's resources, read back with the window system's own resource calls and decoded
// here byte by byte: which resources exist in which language, both dialog templates field by
// field, the string table, the icon groups with their images, and the version block. The
// expected values come from ResourceTables.h, which the script's own test shares.
//
// The program is tandemix.exe two directories above this test's executable (the build puts
// it in build-win32/tests/win32/), or the path given as the first argument that is not one
// of GoogleTest's flags.

// First: its window-system constants carry the SDK's names, which windows.h makes macros.
#include "tests/ResourceTables.h"

#include <cstdint>

// Every style constant the tables use, captured before windows.h and compared with the SDK's
// values after it, so that the tables' numbers are the window system's own.
#define TANDEMIX_TABLE_CONSTANTS(X)                                                          \
    X(WS_POPUP) X(WS_CHILD) X(WS_VISIBLE) X(WS_CAPTION) X(WS_BORDER) X(WS_SYSMENU)           \
    X(WS_GROUP) X(WS_TABSTOP) X(WS_MINIMIZEBOX) X(WS_EX_APPWINDOW) X(DS_SETFONT)             \
    X(DS_MODALFRAME) X(BS_PUSHBUTTON) X(BS_DEFPUSHBUTTON) X(ES_LEFT) X(ES_AUTOHSCROLL)       \
    X(SS_LEFT) X(SS_CENTER) X(SS_RIGHT) X(SS_ICON) X(SS_NOPREFIX)

namespace {
#define TANDEMIX_TABLE_VALUE(name) expected::name,
constexpr std::uint32_t kTableConstants[] = {TANDEMIX_TABLE_CONSTANTS(TANDEMIX_TABLE_VALUE)};
#undef TANDEMIX_TABLE_VALUE
}  // namespace

#include <windows.h>
#include <winver.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <vector>

namespace {

#define TANDEMIX_SDK_VALUE(name) static_cast<std::uint32_t>(name),
constexpr std::uint32_t kSdkConstants[] = {TANDEMIX_TABLE_CONSTANTS(TANDEMIX_SDK_VALUE)};
#undef TANDEMIX_SDK_VALUE

constexpr bool SameConstants() {
    for (size_t i = 0; i < std::size(kSdkConstants); ++i)
        if (kTableConstants[i] != kSdkConstants[i])
            return false;
    return std::size(kTableConstants) == std::size(kSdkConstants);
}
static_assert(SameConstants(), "a window-system constant in ResourceTables.h is not the SDK's");

using expected::ExpectedControl;
using expected::ExpectedDialog;
using expected::ExpectedIcon;
using expected::Picture;
using Bytes = std::span<const unsigned char>;

// --- The program under test ---

std::string ProgramUnderTestPath() {
    for (int i = 1; i < __argc; ++i)
        if (__argv[i][0] != '-' && std::strcmp(__argv[i], "/?") != 0)
            return __argv[i];
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, length);
    for (int level = 0; level < 3; ++level) {  // this file's name, then win32, then tests
        const size_t slash = path.find_last_of("\\/");
        path.erase(slash == std::string::npos ? 0 : slash);
    }
    return path + "\\tandemix.exe";
}

// The program, loaded once as a data file: its resources are reachable, its code never runs.
class Program {
public:
    Program() : path_(ProgramUnderTestPath()) {
        module_ = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        error_ = module_ ? 0 : GetLastError();
    }
    ~Program() {
        if (module_)
            FreeLibrary(module_);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    HMODULE module() const { return module_; }
    std::string failure() const {
        return "cannot load " + path_ + " (error " + std::to_string(error_) + ")";
    }

private:
    std::string path_;
    HMODULE module_ = nullptr;
    DWORD error_ = 0;
};

const Program& TheProgram() {
    static const Program program;
    return program;
}

// The bytes of one resource in exactly this language; empty when there is none.
Bytes Resource(LPCSTR type, int id, int language) {
    const HMODULE module = TheProgram().module();
    const HRSRC found =
        FindResourceExA(module, type, MAKEINTRESOURCEA(id), static_cast<WORD>(language));
    if (!found)
        return {};
    const HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return {};
    return {static_cast<const unsigned char*>(data), SizeofResource(module, found)};
}

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr,
                                           nullptr);
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, result.data(), length, nullptr, nullptr);
    return result;
}

// --- Reading little-endian resource data ---

// A name or a number, as resource data stores either: 0xFFFF and a WORD, or a string.
struct NameOrId {
    bool isId = false;
    std::uint16_t id = 0;
    std::string name;
};

std::ostream& operator<<(std::ostream& out, const NameOrId& value) {
    if (value.isId)
        return out << "#" << value.id;
    return out << '"' << value.name << '"';
}

// Reads in order; reading past the end gives zeros and marks the reader overrun.
class Reader {
public:
    explicit Reader(Bytes bytes) : bytes_(bytes) {}

    std::uint8_t U8() {
        if (at_ + 1 > bytes_.size()) {
            overrun_ = true;
            return 0;
        }
        return bytes_[at_++];
    }
    std::uint16_t U16() {
        const std::uint16_t low = U8();
        return static_cast<std::uint16_t>(low | U8() << 8);
    }
    std::uint32_t U32() {
        const std::uint32_t low = U16();
        return low | static_cast<std::uint32_t>(U16()) << 16;
    }
    int S16() { return static_cast<std::int16_t>(U16()); }

    // A zero-terminated UTF-16 string.
    std::string Text() {
        std::wstring text;
        while (wchar_t c = U16())
            text += c;
        return Utf8(text);
    }
    NameOrId TextOrId() {
        NameOrId value;
        if (Peek16() == 0xFFFF) {
            U16();
            value.isId = true;
            value.id = U16();
        } else {
            value.name = Text();
        }
        return value;
    }
    void Align4() {
        while (at_ % 4 != 0)
            U8();
    }
    void Skip(size_t count) {
        for (size_t i = 0; i < count; ++i)
            U8();
    }

    size_t at() const { return at_; }
    size_t size() const { return bytes_.size(); }
    bool overrun() const { return overrun_; }
    // Bytes after the data read: at most the padding up to a DWORD boundary, all zero.
    bool onlyPaddingLeft() const {
        if (overrun_ || bytes_.size() - at_ >= 4)
            return false;
        for (size_t i = at_; i < bytes_.size(); ++i)
            if (bytes_[i] != 0)
                return false;
        return true;
    }

private:
    std::uint16_t Peek16() const {
        if (at_ + 2 > bytes_.size())
            return 0;
        return static_cast<std::uint16_t>(bytes_[at_] | bytes_[at_ + 1] << 8);
    }

    Bytes bytes_;
    size_t at_ = 0;
    bool overrun_ = false;
};

// --- Inventory ---

std::string TypeName(const NameOrId& type) {
    static const struct {
        std::uint16_t id;
        const char* name;
    } kTypes[] = {
        {1, "RT_CURSOR"},         {2, "RT_BITMAP"},       {3, "RT_ICON"},
        {4, "RT_MENU"},           {5, "RT_DIALOG"},       {6, "RT_STRING"},
        {7, "RT_FONTDIR"},        {8, "RT_FONT"},         {9, "RT_ACCELERATOR"},
        {10, "RT_RCDATA"},        {11, "RT_MESSAGETABLE"}, {12, "RT_GROUP_CURSOR"},
        {14, "RT_GROUP_ICON"},    {16, "RT_VERSION"},     {17, "RT_DLGINCLUDE"},
        {19, "RT_PLUGPLAY"},      {20, "RT_VXD"},         {21, "RT_ANICURSOR"},
        {22, "RT_ANIICON"},       {23, "RT_HTML"},        {24, "RT_MANIFEST"},
    };
    if (type.isId)
        for (const auto& known : kTypes)
            if (known.id == type.id)
                return known.name;
    std::ostringstream out;
    out << "type " << type;
    return out.str();
}

NameOrId FromPointer(LPCSTR name) {
    NameOrId value;
    if (IS_INTRESOURCE(name)) {
        value.isId = true;
        value.id = static_cast<std::uint16_t>(reinterpret_cast<ULONG_PTR>(name));
    } else {
        value.name = name;
    }
    return value;
}

std::string Entry(const NameOrId& type, const NameOrId& name, int language) {
    std::ostringstream out;
    out << TypeName(type) << " " << name << ", language " << language;
    return out.str();
}

std::string Entry(LPCSTR type, int id, int language) {
    return Entry(FromPointer(type), NameOrId{true, static_cast<std::uint16_t>(id), {}}, language);
}

BOOL CALLBACK AddLanguage(HMODULE, LPCSTR type, LPCSTR name, WORD language, LONG_PTR found) {
    reinterpret_cast<std::set<std::string>*>(found)->insert(
        Entry(FromPointer(type), FromPointer(name), language));
    return TRUE;
}

BOOL CALLBACK AddName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR found) {
    EnumResourceLanguagesA(module, type, name, AddLanguage, found);
    return TRUE;
}

BOOL CALLBACK AddType(HMODULE module, LPSTR type, LONG_PTR found) {
    EnumResourceNamesA(module, type, AddName, found);
    return TRUE;
}

// Every (type, name, language) the program holds.
std::set<std::string> Inventory() {
    std::set<std::string> found;
    EnumResourceTypesA(TheProgram().module(), AddType, reinterpret_cast<LONG_PTR>(&found));
    return found;
}

// --- Icon groups ---

struct GroupEntry {
    int width, height, colours, reserved, planes, bitCount;
    std::uint32_t bytesInRes;
    int id;
};

struct IconGroup {
    int reserved = -1, type = -1;
    std::vector<GroupEntry> entries;
    bool wellFormed = false;  // read to its end, nothing left over
};

IconGroup ReadGroup(Bytes bytes) {
    Reader r(bytes);
    IconGroup group;
    group.reserved = r.U16();
    group.type = r.U16();
    const int count = r.U16();
    for (int i = 0; i < count && !r.overrun(); ++i) {
        GroupEntry e{};
        e.width = r.U8();
        e.height = r.U8();
        e.colours = r.U8();
        e.reserved = r.U8();
        e.planes = r.U16();
        e.bitCount = r.U16();
        e.bytesInRes = r.U32();
        e.id = r.U16();
        group.entries.push_back(e);
    }
    group.wellFormed = !r.overrun() && r.at() == r.size();
    return group;
}

TEST(ExeResources, HoldsExactlyTheDescribedResources) {
    ASSERT_NE(TheProgram().module(), nullptr) << TheProgram().failure();
    std::set<std::string> wanted;
    for (const ExpectedDialog* dialog : {&expected::kMainDialog, &expected::kAboutBox})
        wanted.insert(Entry(RT_DIALOG, dialog->id, dialog->language));
    for (const expected::ExpectedString& string : expected::kStrings)
        wanted.insert(Entry(RT_STRING, string.id / 16 + 1, string.language));
    for (const ExpectedIcon& icon : expected::ExpectedIcons()) {
        wanted.insert(Entry(RT_GROUP_ICON, icon.id, icon.language));
        // The images' numbers are the resource compiler's choice: those the group names.
        const IconGroup group = ReadGroup(Resource(RT_GROUP_ICON, icon.id, icon.language));
        for (const GroupEntry& image : group.entries)
            wanted.insert(Entry(RT_ICON, image.id, icon.language));
    }
    wanted.insert(Entry(RT_VERSION, expected::kVersion.id, expected::kVersion.language));

    const std::set<std::string> found = Inventory();
    for (const std::string& entry : wanted)
        EXPECT_TRUE(found.count(entry)) << "missing: " << entry;
    for (const std::string& entry : found)
        EXPECT_TRUE(wanted.count(entry)) << "not expected: " << entry;
}

// --- Dialog templates ---

struct DecodedControl {
    std::uint32_t helpId = 0, exStyle = 0, style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::uint32_t id = 0;  // a WORD in the standard form
    NameOrId className, title;
    int extraCount = 0;
};

struct DecodedDialog {
    bool extended = false;
    std::uint32_t helpId = 0, exStyle = 0, style = 0;
    int count = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    NameOrId menu, className;
    std::string title;
    int pointSize = 0, weight = 0, italic = 0, charset = 0;
    std::string fontName;
    std::vector<DecodedControl> controls;
    bool overrun = false, onlyPaddingLeft = false;
};

// DLGTEMPLATE with DLGITEMTEMPLATE items, or DLGTEMPLATEEX with DLGITEMTEMPLATEEX items.
DecodedDialog DecodeDialog(Bytes bytes) {
    Reader r(bytes);
    DecodedDialog d;
    d.extended = bytes.size() >= 4 && bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0xFF &&
                 bytes[3] == 0xFF;  // dlgVer 1, signature 0xFFFF
    if (d.extended) {
        r.Skip(4);
        d.helpId = r.U32();
        d.exStyle = r.U32();
        d.style = r.U32();
    } else {
        d.style = r.U32();
        d.exStyle = r.U32();
    }
    d.count = r.U16();
    d.x = r.S16();
    d.y = r.S16();
    d.cx = r.S16();
    d.cy = r.S16();
    d.menu = r.TextOrId();
    d.className = r.TextOrId();
    d.title = r.Text();
    if (d.style & DS_SETFONT) {
        d.pointSize = r.U16();
        if (d.extended) {
            d.weight = r.U16();
            d.italic = r.U8();
            d.charset = r.U8();
        }
        d.fontName = r.Text();
    }
    for (int i = 0; i < d.count && !r.overrun(); ++i) {
        r.Align4();
        DecodedControl c;
        if (d.extended) {
            c.helpId = r.U32();
            c.exStyle = r.U32();
            c.style = r.U32();
        } else {
            c.style = r.U32();
            c.exStyle = r.U32();
        }
        c.x = r.S16();
        c.y = r.S16();
        c.cx = r.S16();
        c.cy = r.S16();
        c.id = d.extended ? r.U32() : r.U16();
        c.className = r.TextOrId();
        c.title = r.TextOrId();
        c.extraCount = r.U16();
        r.Skip(static_cast<size_t>(c.extraCount));
        d.controls.push_back(c);
    }
    d.overrun = r.overrun();
    d.onlyPaddingLeft = r.onlyPaddingLeft();
    return d;
}

// The predefined window classes, which a template names by atom or by name; window class
// names are not case-sensitive.
std::string ClassName(const NameOrId& className) {
    static const struct {
        std::uint16_t atom;
        const char* name;
    } kClasses[] = {{0x0080, "Button"},  {0x0081, "Edit"},      {0x0082, "Static"},
                    {0x0083, "ListBox"}, {0x0084, "ScrollBar"}, {0x0085, "ComboBox"}};
    for (const auto& known : kClasses)
        if (className.isId ? className.id == known.atom
                           : lstrcmpiA(className.name.c_str(), known.name) == 0)
            return known.name;
    if (className.isId)
        return "atom " + std::to_string(className.id);
    return className.name;
}

std::string Hex(std::uint32_t value) {
    std::ostringstream out;
    out << "0x" << std::hex << std::setw(8) << std::setfill('0') << value;
    return out.str();
}

void ExpectControl(const DecodedControl& actual, const ExpectedControl& wanted, bool extended) {
    EXPECT_EQ(ClassName(actual.className), wanted.className) << "stored as " << actual.className;
    // -1 is all bits set, in a DWORD in the extended form and in a WORD in the standard one.
    const std::uint32_t id = extended ? static_cast<std::uint32_t>(wanted.id)
                                      : static_cast<std::uint16_t>(wanted.id);
    EXPECT_EQ(actual.id, id);
    if (wanted.imageId) {
        EXPECT_TRUE(actual.title.isId) << "title " << actual.title;
        EXPECT_EQ(actual.title.id, *wanted.imageId);
    } else {
        EXPECT_FALSE(actual.title.isId) << "title " << actual.title;
        if (wanted.text)
            EXPECT_EQ(actual.title.name, *wanted.text);
        else
            EXPECT_NE(actual.title.name, "");  // a free text, which must not be empty
    }
    EXPECT_EQ(actual.x, wanted.x);
    EXPECT_EQ(actual.y, wanted.y);
    if (wanted.imageId) {
        // The resource compiler does not store an ICON statement's size (Windows ignores
        // it: an icon control takes its icon's size), so the script's 20 by 20 is 0 by 0.
        EXPECT_EQ(actual.cx, 0);
        EXPECT_EQ(actual.cy, 0);
    } else {
        EXPECT_EQ(actual.cx, wanted.cx);
        EXPECT_EQ(actual.cy, wanted.cy);
    }
    EXPECT_EQ(Hex(actual.style), Hex(WS_CHILD | WS_VISIBLE | wanted.style));
    EXPECT_EQ(Hex(actual.exStyle), Hex(0));
    EXPECT_EQ(actual.helpId, 0u);
    EXPECT_EQ(actual.extraCount, 0);  // no creation data
}

class DialogResource : public testing::TestWithParam<ExpectedDialog> {};

TEST_P(DialogResource, DecodesAsDescribed) {
    ASSERT_NE(TheProgram().module(), nullptr) << TheProgram().failure();
    const ExpectedDialog& wanted = GetParam();
    const Bytes bytes = Resource(RT_DIALOG, wanted.id, wanted.language);
    ASSERT_FALSE(bytes.empty()) << "no dialog " << wanted.id << " in language " << wanted.language;
    const DecodedDialog d = DecodeDialog(bytes);
    ASSERT_FALSE(d.overrun) << "the template ends early: " << bytes.size() << " bytes";
    EXPECT_TRUE(d.onlyPaddingLeft) << "bytes left after the last control";

    EXPECT_EQ(d.extended, wanted.extended);
    EXPECT_EQ(d.helpId, wanted.helpId);
    EXPECT_EQ(Hex(d.style), Hex(wanted.style));
    EXPECT_EQ(Hex(d.exStyle), Hex(wanted.exStyle));
    EXPECT_EQ(d.x, wanted.x);
    EXPECT_EQ(d.y, wanted.y);
    EXPECT_EQ(d.cx, wanted.cx);
    EXPECT_EQ(d.cy, wanted.cy);
    EXPECT_FALSE(d.menu.isId || !d.menu.name.empty()) << "menu " << d.menu;
    EXPECT_FALSE(d.className.isId || !d.className.name.empty()) << "class " << d.className;
    EXPECT_EQ(d.title, wanted.caption);
    EXPECT_EQ(d.pointSize, wanted.pointSize);
    EXPECT_EQ(d.fontName, wanted.fontName);
    if (wanted.extended) {
        EXPECT_EQ(d.weight, wanted.weight);
        EXPECT_EQ(d.italic != 0, wanted.italic);
        EXPECT_EQ(d.charset, wanted.charset);
    }
    ASSERT_EQ(d.count, static_cast<int>(wanted.controls.size()));
    ASSERT_EQ(d.controls.size(), wanted.controls.size());
    for (size_t i = 0; i < d.controls.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i + 1));
        ExpectControl(d.controls[i], wanted.controls[i], wanted.extended);
    }
}

INSTANTIATE_TEST_SUITE_P(ExeResources, DialogResource,
                         testing::Values(expected::kMainDialog, expected::kAboutBox),
                         [](const testing::TestParamInfo<ExpectedDialog>& info) {
                             return std::string(info.param.name);
                         });

// --- String table ---

TEST(ExeResources, StringTableHoldsExactlyTheDescribedStrings) {
    ASSERT_NE(TheProgram().module(), nullptr) << TheProgram().failure();
    std::set<std::pair<int, int>> blocks;  // block number, language
    for (const expected::ExpectedString& string : expected::kStrings)
        blocks.insert({string.id / 16 + 1, string.language});
    ASSERT_FALSE(blocks.empty());
    for (const auto& [block, language] : blocks) {
        SCOPED_TRACE("string block " + std::to_string(block));
        const Bytes bytes = Resource(RT_STRING, block, language);
        ASSERT_FALSE(bytes.empty()) << "no such block in language " << language;
        Reader r(bytes);
        for (int slot = 0; slot < 16; ++slot) {
            const int id = (block - 1) * 16 + slot;
            SCOPED_TRACE("string " + std::to_string(id));
            std::string wantedText;
            for (const expected::ExpectedString& string : expected::kStrings)
                if (string.id == id)
                    wantedText = string.text;
            std::wstring text(r.U16(), L'\0');  // length-prefixed, not terminated
            for (wchar_t& c : text)
                c = r.U16();
            ASSERT_FALSE(r.overrun());
            EXPECT_EQ(Utf8(text), wantedText);

            // The window system's own loading agrees.
            char loaded[256] = "unchanged";
            const int length = LoadStringA(TheProgram().module(), static_cast<UINT>(id), loaded,
                                           sizeof loaded);
            EXPECT_EQ(length, static_cast<int>(wantedText.size()));
            if (length > 0) {
                EXPECT_EQ(std::string(loaded, static_cast<size_t>(length)), wantedText);
            }
        }
        EXPECT_TRUE(r.onlyPaddingLeft()) << "bytes left after the 16 strings";
    }
    char title[64];
    const HMODULE module = TheProgram().module();
    EXPECT_EQ(LoadStringA(module, expected::kAppTitleStringId, title, sizeof title), 0)
        << "the program has an application title string";
}

// --- Icons ---

// Checks one RT_ICON image, a DIB of twice the icon's height (colour bits, then the mask).
void ExpectIconImage(Bytes image, const Picture& picture) {
    const int size = static_cast<int>(picture.size());
    const size_t colourRow = size == 32 ? 16 : 8;  // 4 bits a pixel, rows padded to 4 bytes
    const size_t maskRow = 4;                      // 1 bit a pixel, padded to 4 bytes
    const size_t colourBits = sizeof(BITMAPINFOHEADER) + 16 * sizeof(RGBQUAD);
    const size_t maskBits = colourBits + colourRow * static_cast<size_t>(size);
    ASSERT_EQ(image.size(), maskBits + maskRow * static_cast<size_t>(size));

    BITMAPINFOHEADER header;
    std::memcpy(&header, image.data(), sizeof header);
    EXPECT_EQ(header.biSize, sizeof header);
    EXPECT_EQ(header.biWidth, size);
    EXPECT_EQ(header.biHeight, 2 * size);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, expected::kIconBitsPerPixel);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(header.biClrUsed, 0u);  // all 16
    for (int i = 0; i < 16; ++i) {
        SCOPED_TRACE(testing::Message() << "palette entry " << i);
        RGBQUAD colour;
        std::memcpy(&colour, image.data() + sizeof header + sizeof colour * static_cast<size_t>(i),
                    sizeof colour);
        const std::uint32_t rgb = static_cast<std::uint32_t>(
            colour.rgbRed << 16 | colour.rgbGreen << 8 | colour.rgbBlue);
        EXPECT_EQ(Hex(rgb), Hex(expected::kPalette[i]));
        EXPECT_EQ(colour.rgbReserved, 0);
    }

    int wrongPixels = 0;
    for (int row = 0; row < size; ++row) {
        const size_t stored = static_cast<size_t>(size - 1 - row);  // bottom row first
        const Bytes bits = image.subspan(colourBits + colourRow * stored, colourRow);
        for (int column = 0; column < size; ++column) {
            const unsigned char pair = bits[static_cast<size_t>(column / 2)];
            const int pixel = column % 2 == 0 ? pair >> 4 : pair & 0x0F;
            if (pixel != picture[row][column] && ++wrongPixels <= 10)
                ADD_FAILURE() << "pixel at row " << row << ", column " << column << " is "
                              << pixel << ", expected " << picture[row][column];
        }
        for (size_t pad = static_cast<size_t>(size) / 2; pad < colourRow; ++pad)
            EXPECT_EQ(bits[pad], 0) << "row " << row << " padding";
    }
    EXPECT_EQ(wrongPixels, 0);
    for (size_t i = maskBits; i < image.size(); ++i)
        ASSERT_EQ(image[i], 0) << "mask byte " << i - maskBits << " is not zero";
}

class IconResource : public testing::TestWithParam<ExpectedIcon> {};

TEST_P(IconResource, GroupAndImagesAsDrawn) {
    const HMODULE module = TheProgram().module();
    ASSERT_NE(module, nullptr) << TheProgram().failure();
    const ExpectedIcon& wanted = GetParam();
    const Bytes groupBytes = Resource(RT_GROUP_ICON, wanted.id, wanted.language);
    ASSERT_FALSE(groupBytes.empty()) << "no icon group " << wanted.id << " in language "
                                     << wanted.language;
    const IconGroup group = ReadGroup(groupBytes);
    EXPECT_TRUE(group.wellFormed) << groupBytes.size() << " bytes";
    EXPECT_EQ(group.reserved, 0);
    EXPECT_EQ(group.type, 1);  // icons, not cursors
    ASSERT_EQ(group.entries.size(), 2u);

    const Picture* pictures[] = {&wanted.large, &wanted.small};
    for (size_t i = 0; i < group.entries.size(); ++i) {
        const GroupEntry& entry = group.entries[i];
        const Picture& picture = *pictures[i];
        const int size = static_cast<int>(picture.size());
        SCOPED_TRACE(std::to_string(size) + " by " + std::to_string(size) + " image, RT_ICON " +
                     std::to_string(entry.id));
        EXPECT_EQ(entry.width, size);
        EXPECT_EQ(entry.height, size);
        EXPECT_EQ(entry.colours, expected::kIconColours);
        EXPECT_EQ(entry.reserved, 0);
        EXPECT_EQ(entry.planes, 1);
        EXPECT_EQ(entry.bitCount, expected::kIconBitsPerPixel);

        Bytes image = Resource(RT_ICON, entry.id, wanted.language);
        ASSERT_FALSE(image.empty()) << "no such image in language " << wanted.language;
        EXPECT_EQ(entry.bytesInRes, image.size());
        ExpectIconImage(image, picture);

        // The window system makes an icon of it, and picks it from the group for its size.
        BYTE* bits = const_cast<BYTE*>(image.data());
        const HICON icon = CreateIconFromResourceEx(bits, static_cast<DWORD>(image.size()), TRUE,
                                                    0x00030000, size, size, LR_DEFAULTCOLOR);
        EXPECT_NE(icon, nullptr) << "error " << GetLastError();
        if (icon) {
            EXPECT_TRUE(DestroyIcon(icon));
        }
        EXPECT_EQ(LookupIconIdFromDirectoryEx(const_cast<BYTE*>(groupBytes.data()), TRUE, size,
                                              size, LR_DEFAULTCOLOR),
                  entry.id);
        const HANDLE loaded = LoadImageA(module, MAKEINTRESOURCEA(wanted.id), IMAGE_ICON, size,
                                         size, LR_DEFAULTCOLOR);
        EXPECT_NE(loaded, nullptr) << "icon " << wanted.id << " does not load at this size";
        if (loaded) {
            EXPECT_TRUE(DestroyIcon(static_cast<HICON>(loaded)));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ExeResources, IconResource, testing::ValuesIn(expected::ExpectedIcons()),
                         [](const testing::TestParamInfo<ExpectedIcon>& info) {
                             return std::string(info.param.name);
                         });

// --- Version block ---

// One node of VS_VERSIONINFO: wLength, wValueLength, wType, szKey, padding, Value,
// padding, Children.
struct VersionNode {
    std::string key;
    int type = -1;  // 0 binary, 1 text
    Bytes value;
    std::string text;  // the value, when it is text
    std::vector<VersionNode> children;
};

// Reads the node at the start of `bytes`; false and `error` when it does not fit.
bool ReadVersionNode(Bytes bytes, VersionNode& node, std::string& error) {
    Reader r(bytes);
    const size_t length = r.U16();
    const size_t valueLength = r.U16();
    node.type = r.U16();
    node.key = r.Text();
    r.Align4();
    if (r.overrun() || length > bytes.size() || length < r.at()) {
        error = "node \"" + node.key + "\" does not fit: length " + std::to_string(length);
        return false;
    }
    const size_t valueBytes = node.type == 1 ? 2 * valueLength : valueLength;
    if (r.at() + valueBytes > length) {
        error = "value of \"" + node.key + "\" runs over its node";
        return false;
    }
    node.value = bytes.subspan(r.at(), valueBytes);
    if (node.type == 1) {
        Reader text(node.value);
        std::wstring chars;
        while (text.at() < text.size())
            if (const wchar_t c = text.U16())
                chars += c;
            else
                break;
        node.text = Utf8(chars);
    }
    size_t at = (r.at() + valueBytes + 3) & ~size_t{3};
    while (at < length) {
        VersionNode child;
        if (!ReadVersionNode(bytes.subspan(at, length - at), child, error))
            return false;
        const size_t childLength = static_cast<size_t>(bytes[at] | bytes[at + 1] << 8);
        if (childLength == 0) {
            error = "empty node under \"" + node.key + "\"";
            return false;
        }
        node.children.push_back(child);
        at = (at + childLength + 3) & ~size_t{3};
    }
    return true;
}

std::vector<std::string> Keys(const VersionNode& node) {
    std::vector<std::string> keys;
    for (const VersionNode& child : node.children)
        keys.push_back(child.key);
    return keys;
}

TEST(ExeResources, VersionBlockAsDescribed) {
    ASSERT_NE(TheProgram().module(), nullptr) << TheProgram().failure();
    const expected::ExpectedVersion& wanted = expected::kVersion;
    const Bytes bytes = Resource(RT_VERSION, wanted.id, wanted.language);
    ASSERT_FALSE(bytes.empty()) << "no version block " << wanted.id << " in language "
                                << wanted.language;
    VersionNode root;
    std::string error;
    ASSERT_TRUE(ReadVersionNode(bytes, root, error)) << error;
    EXPECT_LE(bytes.size() - static_cast<size_t>(bytes[0] | bytes[1] << 8), 3u)
        << "bytes after the block";
    EXPECT_EQ(root.key, "VS_VERSION_INFO");
    EXPECT_EQ(root.type, 0);

    ASSERT_EQ(root.value.size(), sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, root.value.data(), sizeof fixed);
    const auto high = [](const std::array<int, 4>& v) {
        return static_cast<DWORD>(v[0] << 16 | v[1]);
    };
    const auto low = [](const std::array<int, 4>& v) {
        return static_cast<DWORD>(v[2] << 16 | v[3]);
    };
    EXPECT_EQ(Hex(fixed.dwSignature), Hex(VS_FFI_SIGNATURE));
    EXPECT_EQ(Hex(fixed.dwStrucVersion), Hex(VS_FFI_STRUCVERSION));
    EXPECT_EQ(Hex(fixed.dwFileVersionMS), Hex(high(wanted.fileVersion)));
    EXPECT_EQ(Hex(fixed.dwFileVersionLS), Hex(low(wanted.fileVersion)));
    EXPECT_EQ(Hex(fixed.dwProductVersionMS), Hex(high(wanted.productVersion)));
    EXPECT_EQ(Hex(fixed.dwProductVersionLS), Hex(low(wanted.productVersion)));
    EXPECT_EQ(Hex(fixed.dwFileFlagsMask), Hex(wanted.fileFlagsMask));
    EXPECT_EQ(Hex(fixed.dwFileFlags), Hex(wanted.fileFlags));
    EXPECT_EQ(Hex(fixed.dwFileOS), Hex(wanted.fileOs));
    EXPECT_EQ(Hex(fixed.dwFileType), Hex(wanted.fileType));
    EXPECT_EQ(Hex(fixed.dwFileSubtype), Hex(wanted.fileSubtype));
    EXPECT_EQ(Hex(fixed.dwFileDateMS), Hex(wanted.fileDate));
    EXPECT_EQ(Hex(fixed.dwFileDateLS), Hex(wanted.fileDate));

    ASSERT_EQ(Keys(root), (std::vector<std::string>{"StringFileInfo", "VarFileInfo"}));
    const VersionNode& stringInfo = root.children[0];
    EXPECT_EQ(stringInfo.type, 1);
    ASSERT_EQ(Keys(stringInfo), std::vector<std::string>{wanted.stringBlock});
    const VersionNode& block = stringInfo.children[0];
    EXPECT_EQ(block.type, 1);
    std::vector<std::string> wantedKeys;
    for (const expected::ExpectedVersionValue& value : wanted.values)
        wantedKeys.push_back(value.key);
    ASSERT_EQ(Keys(block), wantedKeys);  // every key, in this order
    for (size_t i = 0; i < block.children.size(); ++i) {
        const VersionNode& value = block.children[i];
        SCOPED_TRACE(value.key);
        EXPECT_EQ(value.type, 1);
        EXPECT_TRUE(value.children.empty());
        if (wanted.values[i].value)
            EXPECT_EQ(value.text, wanted.values[i].value);
        else
            EXPECT_NE(value.text, "");  // a descriptive text, free but not empty
    }

    const VersionNode& varInfo = root.children[1];
    EXPECT_EQ(varInfo.type, 1);
    ASSERT_EQ(Keys(varInfo), std::vector<std::string>{"Translation"});
    const VersionNode& translation = varInfo.children[0];
    EXPECT_EQ(translation.type, 0);
    ASSERT_EQ(translation.value.size(), 4u);  // one language and code page
    Reader pair(translation.value);
    EXPECT_EQ(Hex(pair.U16()), Hex(static_cast<std::uint32_t>(wanted.translationLanguage)));
    EXPECT_EQ(pair.U16(), wanted.translationCodePage);
}

}  // namespace

// --- The executable file itself ---

// The file's headers: a 32-bit x86 GUI program whose imports are all libraries of Windows
// itself, so that the one file runs wherever it is copied.
TEST(ExeFile, IsA32BitGuiProgramImportingOnlyWindowsOwnLibraries) {
    std::ifstream in(ProgramUnderTestPath(), std::ios::binary);
    const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    ASSERT_GT(file.size(), 0x400u) << "cannot read " << ProgramUnderTestPath();
    auto u16 = [&](std::size_t at) -> std::uint32_t {
        return at + 2 <= file.size() ? file[at] | file[at + 1] << 8 : 0;
    };
    auto u32 = [&](std::size_t at) -> std::uint32_t { return u16(at) | u16(at + 2) << 16; };

    ASSERT_EQ(u16(0), 0x5A4Du);  // "MZ"
    const std::size_t pe = u32(0x3C);
    ASSERT_EQ(u32(pe), 0x00004550u);  // "PE\0\0"
    EXPECT_EQ(u16(pe + 4), 0x014Cu) << "machine: i386";
    const std::size_t sections = u16(pe + 6);
    const std::size_t optional = pe + 24;
    EXPECT_EQ(u16(optional), 0x010Bu) << "PE32, not PE32+";
    EXPECT_EQ(u16(optional + 68), 2u) << "subsystem: Windows GUI";

    // An address in the loaded image, as an offset in the file.
    const std::size_t sectionTable = optional + u16(pe + 20);
    auto offsetOf = [&](std::uint32_t rva) -> std::size_t {
        for (std::size_t s = 0; s < sections; ++s) {
            const std::size_t header = sectionTable + 40 * s;
            const std::uint32_t start = u32(header + 12), size = u32(header + 16);
            if (rva >= start && rva < start + size) return u32(header + 20) + (rva - start);
        }
        return 0;
    };
    std::set<std::string> imported;
    const std::uint32_t importTable = u32(optional + 104);
    ASSERT_NE(importTable, 0u);
    for (std::size_t d = offsetOf(importTable); d && d + 20 <= file.size() && u32(d + 12); d += 20) {
        std::string name;
        for (std::size_t c = offsetOf(u32(d + 12)); c && c < file.size() && file[c]; ++c)
            name.push_back(static_cast<char>(std::tolower(file[c])));
        imported.insert(name);
    }
    const std::set<std::string> windowsOwn = {"advapi32.dll", "comctl32.dll", "gdi32.dll",
                                              "kernel32.dll", "msvcrt.dll",   "shell32.dll",
                                              "user32.dll",   "ws2_32.dll",   "wsock32.dll"};
    EXPECT_TRUE(imported.count("kernel32.dll") && imported.count("user32.dll"));
    for (const std::string& name : imported)
        EXPECT_TRUE(windowsOwn.count(name)) << name << " is not a library of Windows itself";
}
