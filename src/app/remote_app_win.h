// The application object: the program's whole life in one call. It reads the
// "-show" switch, refuses to run a second copy, starts the link thread, runs
// the remote panel modally until the user exits, and stops the link thread in
// order before the program ends.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "base/gdi_win.h"

class CRemoteApp {
  public:
    using OpenFn = std::function<bool(const std::string& strPath)>;

    // The help document, shipped beside the executable.
    static constexpr const char* kHelpFileName = "TavrelRemote.html";

    static constexpr int kStopWaits = 50;      // looks at the link thread at most
    static constexpr DWORD kStopWaitMs = 100;  // between two looks

    CRemoteApp() = default;
    ~CRemoteApp();
    CRemoteApp(const CRemoteApp&) = delete;
    CRemoteApp& operator=(const CRemoteApp&) = delete;

    // Runs the program from the command-line text (UTF-8) the system gave
    // this copy (the program's name and its arguments). Always returns FALSE: there is
    // no message loop after it.
    BOOL InitInstance();
    BOOL InitInstance(const char* pszCommandLine);

    // Asks the link thread to stop and waits for it to end, up to kStopWaits
    // times kStopWaitMs; tells the user when it is still running after them.
    void StopLinkThread();

    // The menu commands that belong to the application rather than to a
    // window (Help Contents). True when the command was one of them.
    bool OnCommand(UINT nId);

    // Opens the help document in the user's viewer for it, or tells the user
    // why it could not be opened.
    void OnHelpContents();

    // The full path (UTF-8) of the help document beside this program.
    static std::string HelpFilePath();

    // The link thread, or null when it could not be started; the program
    // waits for it to end by this handle.
    CHandle m_pLinkThread;

    // Opens a document in the program the user has for it (the system's
    // shell unless a test puts its own opener here); false when it failed.
    OpenFn m_openDocument;

    // The help document Help Contents opens.
    std::string m_strHelpFile = HelpFilePath();

  private:
    void StartLinkThread();
};

extern CRemoteApp theApp;
