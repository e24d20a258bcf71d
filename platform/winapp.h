// The application object and the program's entry into it.
#pragma once

class CWnd;

class CWinApp {
public:
    // Without a name the application is named after its executable's file name, without
    // directory and extension.
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // False: no message loop follows.
    virtual bool InitInstance() { return false; }
    virtual int ExitInstance() { return 0; }

    const char* m_pszAppName = nullptr;
    CWnd* m_pMainWnd = nullptr;
};

// The one application object, constructed before the entry runs.
CWinApp* AfxGetApp();

// The entry: starts the toolkit, runs the application's start-up and exit operations and
// returns the exit status.
int AfxWinMain(int argc, char** argv);

// The application's message box: text, the application's name as caption, no owner.
int AfxMessageBox(const char* text, unsigned type);

// Starts the sockets layer at version 1.1; false when it cannot be started.
bool AfxSocketInit();
