// The resources as the program sees them: tandemix.rc read by ResourceScript, and the two
// icon files decoded here byte by byte. The expected values are written out in
// ResourceTables.h from the description of the resources, not taken from the script or the
// icon pictures.
#include "tests/ResourceTables.h"

#include "res/ResourceScript.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace expected;

void ExpectControl(const ControlTemplate& actual, const ExpectedControl& expected) {
    EXPECT_EQ(actual.className, expected.className);
    EXPECT_EQ(actual.id, expected.id);
    if (expected.text)
        EXPECT_EQ(actual.text, *expected.text);
    else
        EXPECT_FALSE(actual.text.empty());  // a free text, which must not be empty
    EXPECT_EQ(actual.imageId, expected.imageId);
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

void ExpectDialog(const DialogTemplate* d, const ExpectedDialog& expected) {
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->extended, expected.extended);
    EXPECT_EQ(d->language, expected.language);
    EXPECT_EQ(d->style, expected.style);
    EXPECT_EQ(d->exStyle, expected.exStyle);
    EXPECT_EQ(d->x, expected.x);
    EXPECT_EQ(d->y, expected.y);
    EXPECT_EQ(d->cx, expected.cx);
    EXPECT_EQ(d->cy, expected.cy);
    EXPECT_EQ(d->fontName, expected.fontName);
    EXPECT_EQ(d->pointSize, expected.pointSize);
    if (expected.extended) {  // only the extended form can say these
        EXPECT_EQ(d->weight, expected.weight);
        EXPECT_EQ(d->italic, expected.italic);
        EXPECT_EQ(d->charset, expected.charset);
    }
    EXPECT_EQ(d->caption, expected.caption);
    EXPECT_EQ(d->helpId, expected.helpId);
    ASSERT_EQ(d->controls.size(), expected.controls.size());
    for (size_t i = 0; i < d->controls.size(); ++i) {
        SCOPED_TRACE(std::string(expected.name) + " dialog control " + std::to_string(i + 1));
        ExpectControl(d->controls[i], expected.controls[i]);
    }
}

TEST(Resources, MainDialogTemplate) {
    ExpectDialog(Resources().dialog(kMainDialogId), kMainDialog);
}

TEST(Resources, AboutBoxTemplate) {
    const DialogTemplate* d = Resources().dialog(kAboutBoxId);
    ExpectDialog(d, kAboutBox);
    ASSERT_NE(d, nullptr);
    int tabStops = 0;
    for (const ControlTemplate& c : d->controls)
        tabStops += (c.style & WS_TABSTOP) != 0;
    EXPECT_EQ(tabStops, 1);
}

TEST(Resources, StringTable) {
    EXPECT_EQ(Resources().strings.size(), std::size(kStrings));
    for (const ExpectedString& entry : kStrings) {
        SCOPED_TRACE("string " + std::to_string(entry.id));
        const StringResource* s = Resources().string(entry.id);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->text, entry.text);
        EXPECT_EQ(s->language, entry.language);
    }
    EXPECT_EQ(Resources().string(kAppTitleStringId), nullptr);  // no application title of its own
}

TEST(Resources, VersionBlock) {
    ASSERT_EQ(Resources().versions.size(), 1u);
    const VersionResource& v = Resources().versions[0];
    EXPECT_EQ(v.id, kVersion.id);
    EXPECT_EQ(v.language, kVersion.language);
    EXPECT_EQ(v.fileVersion, kVersion.fileVersion);
    EXPECT_EQ(v.productVersion, kVersion.productVersion);
    EXPECT_EQ(v.fileFlagsMask, kVersion.fileFlagsMask);
    EXPECT_EQ(v.fileFlags, kVersion.fileFlags);
    EXPECT_EQ(v.fileOs, kVersion.fileOs);
    EXPECT_EQ(v.fileType, kVersion.fileType);
    EXPECT_EQ(v.fileSubtype, kVersion.fileSubtype);

    ASSERT_EQ(v.stringBlocks.size(), 1u);
    EXPECT_EQ(v.stringBlocks[0].name, kVersion.stringBlock);
    const std::vector<VersionValue>& values = v.stringBlocks[0].values;
    EXPECT_EQ(values.size(), kVersion.values.size());
    for (const auto& [key, text] : kVersion.values) {
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
    EXPECT_EQ(v.translations[0].language, kVersion.translationLanguage);
    EXPECT_EQ(v.translations[0].codePage, kVersion.translationCodePage);
}

TEST(Resources, IconResources) {
    const std::vector<ExpectedIcon> expected = ExpectedIcons();
    EXPECT_EQ(Resources().icons.size(), expected.size());
    for (const ExpectedIcon& entry : expected) {
        SCOPED_TRACE("icon " + std::to_string(entry.id));
        const IconResource* icon = Resources().icon(entry.id);
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->fileName, entry.fileName);
        EXPECT_EQ(icon->language, entry.language);
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
    EXPECT_EQ(file[entry + 2], kIconColours);
    EXPECT_EQ(file[entry + 3], 0);
    EXPECT_EQ(Read16(file, entry + 4), 1u);  // planes
    EXPECT_EQ(static_cast<int>(Read16(file, entry + 6)), kIconBitsPerPixel);
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
    EXPECT_EQ(static_cast<int>(Read16(image, 14)), kIconBitsPerPixel);  // biBitCount
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
