// The window title: the dialog's title, the key by which a second copy finds the first,
// part of the transcript's opening text and, read back from the window, the tray tip.
#pragma once

inline constexpr char g_szWindowTitle[] = "tandemix v2.3";
