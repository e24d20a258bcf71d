// A dialog template as the window system's dialog manager reads it: the program's resources
// fill these in, the platform layer builds windows from them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One control of a dialog template, with the style bits the resource compiler stores:
// the statement's defaults and WS_CHILD | WS_VISIBLE included.
struct ControlTemplate {
    std::string className;  // "Button", "Edit" or "Static"
    int id = -1;            // -1 for labels no code addresses (IDC_STATIC)
    std::string text;
    std::optional<int> imageId;  // an ICON statement names its icon by number, not by text
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t helpId = 0;
};

struct DialogTemplate {
    int id = 0;
    int language = 0;
    bool extended = false;  // DIALOGEX rather than DIALOG
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string fontName;
    int pointSize = 0;
    // A standard template cannot carry these three; the window system then uses the
    // values below, which are also a DIALOGEX FONT statement's defaults.
    int weight = 0;
    bool italic = false;
    int charset = 1;  // DEFAULT_CHARSET
    std::string caption;
    std::uint32_t helpId = 0;
    std::vector<ControlTemplate> controls;
};
