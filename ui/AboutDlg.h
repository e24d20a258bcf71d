// The About box: the program's icon, version and credit line, and OK.
#pragma once

#include "platform/framework.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
};
