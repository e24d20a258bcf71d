#include "ui/TrayIcon.h"

#include "res/ResourceScript.h"
#include "res/resource.h"
#include "ui/Controls.h"
#include "ui/ReportText.h"

std::uint32_t g_uTrayMessage = 0;

void RegisterTrayMessage() { g_uTrayMessage = plat::RegisterWindowMessageA("displayNotMess"); }
plat::NotifyIconData g_trayData;
plat::IconHandle g_hTrayIcons[2] = {0, 0};
int g_bBlinkPhase = 0;

namespace {

constexpr int kTipLimit = 63;    // characters including the NUL

plat::IconHandle LoadIcon(int id) {
    const IconResource* icon = Resources().icon(id);
    return icon ? plat::CreateIconFromIco(icon->file.data(), icon->file.size()) : 0;
}

void ReadTitleIntoTip() {
    g_pMainDlg->GetWindowText(g_trayData.szTip, kTipLimit);
}

}  // namespace

void AddTrayIcon() {
    g_trayData.cbSize = 88;
    g_trayData.hWnd = g_pMainDlg->m_hWnd;
    g_trayData.uID = kTrayIconId;
    g_trayData.uFlags = plat::NIF_MESSAGE | plat::NIF_ICON | plat::NIF_TIP;
    g_trayData.uCallbackMessage = g_uTrayMessage;
    g_hTrayIcons[0] = LoadIcon(IDR_MAINFRAME);
    g_hTrayIcons[1] = LoadIcon(IDI_BLINK);
    g_trayData.hIcon = g_hTrayIcons[0];
    ReadTitleIntoTip();
    plat::ShellNotifyIcon(plat::NotifyAction::Add, &g_trayData);
}

// Stored only: the shell hears of it with the next blink.
void SetTrayTip(const char* text) {
    FormatText(g_trayData.szTip, kTipLimit, "%s", text);
}

void BlinkTrayIcon() {
    g_bBlinkPhase = !g_bBlinkPhase;
    g_trayData.hIcon = g_hTrayIcons[g_bBlinkPhase];
    plat::ShellNotifyIcon(plat::NotifyAction::Modify, &g_trayData);
}

void RestoreTrayIcon() {
    ReadTitleIntoTip();
    g_trayData.hIcon = g_hTrayIcons[0];
    plat::ShellNotifyIcon(plat::NotifyAction::Modify, &g_trayData);
}

void RemoveTrayIcon() {
    // Only the fields a late worker never writes: the icon is named by window and id.
    plat::NotifyIconData remove;
    remove.cbSize = g_trayData.cbSize;
    remove.hWnd = g_trayData.hWnd;
    remove.uID = g_trayData.uID;
    plat::ShellNotifyIcon(plat::NotifyAction::Delete, &remove);
}

std::intptr_t OnTrayNotify(std::uintptr_t wParam, std::intptr_t lParam) {
    if (wParam != kTrayIconId || lParam != plat::WM_LBUTTONUP) return 0;
    if (g_pMainDlg->IsWindowVisible()) g_pMainDlg->ShowWindow(plat::SW_HIDE);
    else g_pMainDlg->ShowWindow(plat::SW_SHOW);
    return 0;
}
