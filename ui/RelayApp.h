// The application: one copy at a time, the sockets layer, then the main dialog.
#pragma once

#include "platform/instance_lock.h"
#include "platform/winapp.h"

extern plat::LockHandle g_hInstanceMutex;

class CRelayApp : public CWinApp {
public:
    CRelayApp() = default;
    bool InitInstance() override;
    int ExitInstance() override;
};

// Hands the program's dialog templates and icons to the framework.
void ConnectResources();
