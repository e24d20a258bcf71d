#include "ui/RelayDlg.h"

#include "platform/profile.h"
#include "platform/system.h"
#include "relay/RelayWorker.h"
#include "res/ResourceScript.h"
#include "res/resource.h"
#include "ui/AboutDlg.h"
#include "ui/Controls.h"
#include "ui/TrayIcon.h"
#include "ui/WindowTitle.h"

namespace {

constexpr char kSettingsFile[] = ".\\tandemix.ini";

}  // namespace

BEGIN_MESSAGE_MAP(CRelayDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_REGISTERED_MESSAGE(g_uTrayMessage, OnTrayNotify)
END_MESSAGE_MAP()

CRelayDlg::CRelayDlg(CWnd* pParent) : CDialog(IDD_MAIN, pParent), m_hIcon(AfxLoadIcon(IDR_MAINFRAME)) {}

bool CRelayDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (CMenu* pSysMenu = GetSystemMenu(false)) {
        const StringResource* about = Resources().string(IDS_ABOUTBOX);
        if (about && !about->text.empty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, about->text.c_str());
        }
    }

    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);
    SetWindowText(g_szWindowTitle);

    // The background threads reach the controls through these; GetDlgItem's wrappers
    // live as long as the process, so a late thread never meets a freed one.
    g_pEditPort1 = GetDlgItem(IDC_PORT1);
    g_pEditPort2 = GetDlgItem(IDC_PORT2);
    g_pStatusText = GetDlgItem(IDC_STATUS);
    g_pHistoryText = GetDlgItem(IDC_HISTORY);
    g_pButtonOK = GetDlgItem(IDOK);
    g_pButtonCancel = GetDlgItem(IDCANCEL);
    // The dialog object itself ends with start-up; a worker still running then reads the
    // title through a wrapper of the window's handle that is never freed.
    g_pMainDlg = AfxGetPermanentWnd(m_hWnd);

    char szPort[16];
    plat::GetPrivateProfileStringA("serial", "port1", "3", szPort, sizeof szPort, kSettingsFile);
    g_pEditPort1->SetWindowText(szPort);
    plat::GetPrivateProfileStringA("serial", "port2", "4", szPort, sizeof szPort, kSettingsFile);
    g_pEditPort2->SetWindowText(szPort);

    AddTrayIcon();
    return true;
}

void CRelayDlg::OnSysCommand(std::uint32_t nID, std::intptr_t lParam) {
    if (nID == SC_MINIMIZE) {
        ShowWindow(plat::SW_HIDE);
    } else if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

// A minimised dialog would show its icon here; on this desktop minimising hides it
// instead, so the dialog is never drawn minimised and the default painting does.
void CRelayDlg::OnPaint() { CDialog::OnPaint(); }

plat::IconHandle CRelayDlg::OnQueryDragIcon() { return m_hIcon; }

std::intptr_t CRelayDlg::OnTrayNotify(std::uintptr_t wParam, std::intptr_t lParam) {
    return ::OnTrayNotify(wParam, lParam);
}

void CRelayDlg::OnOK() { ToggleRelay(); }

void CRelayDlg::OnCancel() {
    g_bStartNext = false;
    ToggleRelay();
    if (g_bWorkerActive) {
        // Back to the message loop between the pauses: the worker's calls on the controls
        // need this thread to finish its run.
        PostMessage(WM_COMMAND, IDCANCEL, static_cast<std::intptr_t>(m_hWnd));
        plat::Sleep(1000);
        return;
    }
    CDialog::OnCancel();
}

bool CRelayDlg::DestroyWindow() {
    g_bRun = false;
    for (int i = 0; i < 10 && g_bWorkerActive; ++i) plat::Sleep(50);
    RemoveTrayIcon();
    return CDialog::DestroyWindow();
}
