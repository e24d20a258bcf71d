// The program's resources as plain data, read from tandemix.rc: the same script the Windows
// build hands to its resource compiler, so dialogs, texts and icons have one source. The
// reader knows the part of the resource-script language that tandemix.rc uses, and the
// values of the window system's constants it names (there is no windows.h to read here).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialog_template.h"

struct StringResource {
    int id = 0;
    int language = 0;
    std::string text;
};

struct IconResource {
    int id = 0;
    int language = 0;
    std::string fileName;
    std::span<const unsigned char> file;  // the .ico file's bytes
};

struct VersionValue {
    std::string key;
    std::string value;
};

struct VersionStringBlock {
    std::string name;  // language and code page in hex, e.g. "040904b0"
    std::vector<VersionValue> values;
};

struct VersionTranslation {
    int language = 0;
    int codePage = 0;
};

struct VersionResource {
    int id = 0;
    int language = 0;
    std::array<int, 4> fileVersion{};
    std::array<int, 4> productVersion{};
    std::uint32_t fileFlagsMask = 0;
    std::uint32_t fileFlags = 0;
    std::uint32_t fileOs = 0;
    std::uint32_t fileType = 0;
    std::uint32_t fileSubtype = 0;
    std::vector<VersionStringBlock> stringBlocks;
    std::vector<VersionTranslation> translations;
};

struct ResourceScript {
    std::vector<DialogTemplate> dialogs;
    std::vector<StringResource> strings;
    std::vector<IconResource> icons;
    std::vector<VersionResource> versions;

    // Null when there is no such resource.
    const DialogTemplate* dialog(int id) const;
    const StringResource* string(int id) const;
    const IconResource* icon(int id) const;
};

// A file the script can name: by #include "..." or as an icon's file.
struct ResourceFile {
    std::string_view name;
    std::span<const unsigned char> bytes;
};

struct ParsedScript {
    ResourceScript script;
    std::string error;  // empty on success, otherwise "file:line: what went wrong"
};

// Reads the script `name` from `files`. #include <...> lines are skipped: the reader's own
// table stands in for the window system's headers.
ParsedScript ParseResourceScript(std::string_view name, std::span<const ResourceFile> files);

// tandemix.rc, resource.h and the icon files, compiled into the program.
std::span<const ResourceFile> EmbeddedResourceFiles();

// tandemix.rc read from the embedded files, once. Empty if it could not be read, which its
// tests rule out.
const ResourceScript& Resources();
