// The main dialog: the two port fields, START/STOP and EXIT, the status line and the
// message history; minimising hides it into the tray.
#pragma once

#include "platform/framework.h"

class CRelayDlg : public CDialog {
public:
    explicit CRelayDlg(CWnd* pParent = nullptr);
    bool DestroyWindow() override;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnSysCommand(std::uint32_t nID, std::intptr_t lParam) override;
    void OnPaint() override;
    plat::IconHandle OnQueryDragIcon() override;
    std::intptr_t OnTrayNotify(std::uintptr_t wParam, std::intptr_t lParam);

    plat::IconHandle m_hIcon;

    DECLARE_MESSAGE_MAP()
};
