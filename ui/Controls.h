// The dialog's controls as the background threads reach them. Set once by the main dialog
// when it initialises; until then they are empty and nothing is shown.
#pragma once

#include "platform/framework.h"

extern CWnd* g_pMainDlg;
extern CWnd* g_pEditPort1;     // IDC_PORT1
extern CWnd* g_pEditPort2;     // IDC_PORT2
extern CWnd* g_pStatusText;    // IDC_STATUS
extern CWnd* g_pHistoryText;   // IDC_HISTORY
extern CWnd* g_pButtonOK;      // IDOK, START/STOP
extern CWnd* g_pButtonCancel;  // IDCANCEL, EXIT
