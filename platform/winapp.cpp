#include "platform/winapp.h"

#include "platform/framework.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/window.h"

#include <string>

namespace {
CWinApp* g_pApp = nullptr;
std::string g_appName;  // made at the entry, once the executable's name can be read
}  // namespace

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName) { g_pApp = this; }

CWinApp::~CWinApp() {
    if (g_pApp == this) g_pApp = nullptr;
}

CWinApp* AfxGetApp() { return g_pApp; }

int AfxWinMain(int argc, char** argv) {
    CWinApp* app = AfxGetApp();
    if (!app || !plat::UiStartup(argc, argv)) return 1;
    if (!app->m_pszAppName) {
        g_appName = plat::ModuleBaseName();
        app->m_pszAppName = g_appName.c_str();
    }
    // Start-up always answers false here: there is no message loop of the application's.
    app->InitInstance();
    const int status = app->ExitInstance();
    plat::UiShutdown();
    return status;
}

int AfxMessageBox(const char* text, unsigned type) {
    CWinApp* app = AfxGetApp();
    return plat::MessageBoxA(0, text, app && app->m_pszAppName ? app->m_pszAppName : "", type);
}

bool AfxSocketInit() { return plat::SocketsStartup(); }
