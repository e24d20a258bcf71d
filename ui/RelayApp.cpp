#include "ui/RelayApp.h"

#include "platform/framework.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/window_search.h"
#include "res/ResourceScript.h"
#include "res/resource.h"
#include "ui/RelayDlg.h"
#include "ui/WindowTitle.h"

plat::LockHandle g_hInstanceMutex = 0;

namespace {

constexpr char kInstanceName[] = "Quornfeld.velcaster";

const DialogTemplate* FindDialog(int id) { return Resources().dialog(id); }

std::span<const unsigned char> FindIcon(int id) {
    const IconResource* icon = Resources().icon(id);
    return icon ? icon->file : std::span<const unsigned char>();
}

}  // namespace

void ConnectResources() {
    AfxSetDialogTemplateSource(FindDialog);
    AfxSetIconSource(FindIcon);
}

bool CRelayApp::InitInstance() {
    g_hInstanceMutex = plat::CreateNamedLock(kInstanceName);
    if (plat::LastError() == plat::kErrorAlreadyExists) {
        // Another copy runs: bring its window forward and leave without a sign.
        if (const plat::WindowHandle hWnd = plat::FindWindowA(nullptr, g_szWindowTitle)) {
            plat::ShowAnyWindow(hWnd, plat::SW_SHOW);
            plat::SetForegroundWindow(hWnd);
        }
        return false;
    }

    if (!AfxSocketInit()) {
        const StringResource* text = Resources().string(IDS_SOCKETS_INIT_FAILED);
        AfxMessageBox(text ? text->text.c_str() : "", plat::MB_OK | plat::MB_ICONEXCLAMATION);
        return false;
    }

    // No OLE controls and no separate three-dimensional drawing here: nothing to set up.
    CRelayDlg dlg;
    m_pMainWnd = &dlg;
    AfxSetMainWnd(&dlg);
    dlg.DoModal();
    AfxSetMainWnd(nullptr);
    m_pMainWnd = nullptr;
    return false;
}

int CRelayApp::ExitInstance() {
    if (g_hInstanceMutex) plat::CloseNamedLock(g_hInstanceMutex);
    g_hInstanceMutex = 0;
    return CWinApp::ExitInstance();
}
