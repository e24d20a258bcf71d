#include "ui/Controls.h"

CWnd* g_pMainDlg = nullptr;
CWnd* g_pEditPort1 = nullptr;
CWnd* g_pEditPort2 = nullptr;
CWnd* g_pStatusText = nullptr;
CWnd* g_pHistoryText = nullptr;
CWnd* g_pButtonOK = nullptr;
CWnd* g_pButtonCancel = nullptr;
