// The program's icon in the notification area: added with the main dialog, blinking
// between two images while traffic flows, removed with the dialog.
#pragma once

#include "platform/tray.h"

#include <cstdint>

extern std::uint32_t g_uTrayMessage;  // "displayNotMess"
// Registers "displayNotMess" into g_uTrayMessage: in static initialisation, right after the
// application object is made.
void RegisterTrayMessage();
extern plat::NotifyIconData g_trayData;
extern plat::IconHandle g_hTrayIcons[2];
extern int g_bBlinkPhase;  // the image the last blink chose; never reset

inline constexpr std::uint32_t kTrayIconId = 128;

void AddTrayIcon();
void SetTrayTip(const char* text);
void BlinkTrayIcon();
void RestoreTrayIcon();
void RemoveTrayIcon();
// The owner window's handler of g_uTrayMessage: a left-button release on the icon shows the
// main dialog when hidden and hides it when shown; everything else is ignored.
std::intptr_t OnTrayNotify(std::uintptr_t wParam, std::intptr_t lParam);
