// The program's entry: the application object and the tray message exist before it runs,
// in this order, and it only hands control to the application.
#include "ui/RelayApp.h"
#include "ui/TrayIcon.h"

namespace {
CRelayApp theApp;
const bool s_trayMessageRegistered = (RegisterTrayMessage(), true);
}  // namespace

int main(int argc, char** argv) {
    ConnectResources();
    return AfxWinMain(argc, argv);
}
