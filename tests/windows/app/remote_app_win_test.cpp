// The application object under wine: the ordered stop of the link thread, and
// whole runs of the program's start-up on its own resources, ended through
// the panel's Exit command as a user ends them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/remote_app.h"
#include "device/device_link.h"
#include "framework/message_box.h"
#include "framework/wnd.h"
#include "resource.h"
#include "window_checks.h"

namespace {

// Records every message box instead of showing it.
class BoxRecorder {
  public:
    BoxRecorder() {
        SetMessageBoxFunction([this](HWND, const std::string& text, const std::string&, UINT) {
            m_texts.push_back(text);
            return IDOK;
        });
    }
    ~BoxRecorder() { SetMessageBoxFunction({}); }
    std::vector<std::string> m_texts;
};

// A link thread that the test plays itself: the app believes one was started.
class StopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_app.m_pLinkThread = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        m_app.m_sleep = [this](DWORD dwMs) {
            m_waits.push_back(dwMs);
            if (static_cast<int>(m_waits.size()) == m_nEndAfterWait) {
                g_deviceLink.m_bRunning = 0;
            }
        };
        g_deviceLink.m_bStopRequest = 0;
        g_deviceLink.m_bRunning = 1;
    }
    void TearDown() override {
        g_deviceLink.m_bRunning = 0;
        g_deviceLink.m_bStopRequest = 0;
    }

    CRemoteApp m_app;
    BoxRecorder m_boxes;
    std::vector<DWORD> m_waits;
    int m_nEndAfterWait = 0;  // the wait after which the thread has ended (0: never)
};

TEST_F(StopTest, ThreadEndingDuringTheWaitsEndsThemWithoutAMessage) {
    for (int nEnd : {1, 7, 50}) {
        m_waits.clear();
        m_nEndAfterWait = nEnd;
        g_deviceLink.m_bStopRequest = 0;
        g_deviceLink.m_bRunning = 1;
        m_app.StopLinkThread();
        EXPECT_EQ(g_deviceLink.m_bStopRequest, 1) << nEnd;
        EXPECT_EQ(m_waits, std::vector<DWORD>(nEnd, 100)) << nEnd;
    }
    EXPECT_TRUE(m_boxes.m_texts.empty());
}

TEST_F(StopTest, ThreadStillRunningAfterFiftyWaitsIsReported) {
    m_app.StopLinkThread();
    EXPECT_EQ(g_deviceLink.m_bStopRequest, 1);
    EXPECT_EQ(m_waits.size(), 50u);
    ASSERT_EQ(m_boxes.m_texts.size(), 1u);
    EXPECT_EQ(m_boxes.m_texts[0], "Serial comm thread still running");
}

TEST_F(StopTest, NothingToStopWhenNoThreadRunsOrNoneWasStarted) {
    g_deviceLink.m_bRunning = 0;
    m_app.StopLinkThread();
    EXPECT_EQ(g_deviceLink.m_bStopRequest, 0);

    g_deviceLink.m_bRunning = 1;
    ::CloseHandle(m_app.m_pLinkThread);
    m_app.m_pLinkThread = nullptr;
    m_app.StopLinkThread();
    EXPECT_EQ(g_deviceLink.m_bStopRequest, 0);
    EXPECT_TRUE(m_waits.empty());
    EXPECT_TRUE(m_boxes.m_texts.empty());
}

// Help Contents: the document beside the program, opened by the user's viewer.
class HelpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char szTemp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, szTemp);
        m_strPath = std::string(szTemp) + "tavrel_help_test.html";
        ::DeleteFileA(m_strPath.c_str());
        m_app.m_strHelpFile = m_strPath;
        m_app.m_openDocument = [this](const std::string& strPath) {
            m_opened.push_back(strPath);
            return m_bOpenWorks;
        };
    }
    void TearDown() override { ::DeleteFileA(m_strPath.c_str()); }
    void PutHelpFile() {
        HANDLE hFile = ::CreateFileA(m_strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
        ::CloseHandle(hFile);
    }

    CRemoteApp m_app;
    BoxRecorder m_boxes;
    std::string m_strPath;
    std::vector<std::string> m_opened;
    bool m_bOpenWorks = true;
};

TEST_F(HelpTest, TheDocumentBesideTheProgramIsOpened) {
    char szSelf[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szSelf, MAX_PATH);
    std::string strDir(szSelf);
    strDir.resize(strDir.find_last_of('\\') + 1);
    EXPECT_EQ(CRemoteApp::HelpFilePath(), strDir + "TavrelRemote.html");
    EXPECT_EQ(CRemoteApp().m_strHelpFile, CRemoteApp::HelpFilePath());

    PutHelpFile();
    EXPECT_TRUE(m_app.OnCommand(ID_HELP_CONTENTS));
    EXPECT_EQ(m_opened, std::vector<std::string>{m_strPath});
    EXPECT_TRUE(m_boxes.m_texts.empty());
    // Commands of the windows are not the application's.
    for (UINT nId : {ID_EXIT, ID_ABOUT, ID_HOTKEYS, ID_MAXIMIZE}) {
        EXPECT_FALSE(m_app.OnCommand(nId)) << nId;
    }
    EXPECT_EQ(m_opened.size(), 1u);
}

TEST_F(HelpTest, AMissingOrUnopenableDocumentIsReportedWithItsPath) {
    m_app.OnHelpContents();
    EXPECT_TRUE(m_opened.empty()) << "nothing to open";
    ASSERT_EQ(m_boxes.m_texts.size(), 1u);
    EXPECT_NE(m_boxes.m_texts[0].find(m_strPath + " is missing"), std::string::npos)
        << m_boxes.m_texts[0];

    PutHelpFile();
    m_bOpenWorks = false;
    m_app.OnHelpContents();
    ASSERT_EQ(m_boxes.m_texts.size(), 2u);
    EXPECT_NE(m_boxes.m_texts[1].find(m_strPath + " could not be opened"), std::string::npos)
        << m_boxes.m_texts[1];
}

// The user's viewer for .html: a copy of this test program, registered for
// the current user as the shell's "open" of .html files while a test runs.
constexpr const char* kViewerSwitch = "--html-viewer";
constexpr const char* kHtmlClass = "TavrelTest.HtmlViewer";

std::string ViewerReportPath() {
    char szTemp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szTemp);
    return std::string(szTemp) + "tavrel_viewer_report.txt";
}

// The association lives in the classes root as the shell reads it (Wine has
// no per-user classes), and the one it replaced comes back afterwards.
class ViewerAssociation {
  public:
    ViewerAssociation() {
        char szOld[256] = {};
        DWORD cb = sizeof szOld;
        if (::RegGetValueA(HKEY_CLASSES_ROOT, ".html", nullptr, RRF_RT_REG_SZ, nullptr, szOld,
                           &cb) == ERROR_SUCCESS) {
            m_strOldClass = szOld;
            m_bHadClass = true;
        }
        char szSelf[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, szSelf, MAX_PATH);
        Set(".html", kHtmlClass);
        Set((std::string(kHtmlClass) + "\\shell\\open\\command").c_str(),
            "\"" + std::string(szSelf) + "\" " + kViewerSwitch + " \"%1\"");
    }
    ~ViewerAssociation() {
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, kHtmlClass);
        if (m_bHadClass) {
            Set(".html", m_strOldClass);
        } else {
            ::RegDeleteKeyValueA(HKEY_CLASSES_ROOT, ".html", nullptr);
        }
    }

  private:
    static void Set(const char* pszKey, const std::string& strValue) {
        EXPECT_EQ(::RegSetKeyValueA(HKEY_CLASSES_ROOT, pszKey, nullptr, REG_SZ, strValue.c_str(),
                                    static_cast<DWORD>(strValue.size() + 1)),
                  ERROR_SUCCESS);
    }

    std::string m_strOldClass;
    bool m_bHadClass = false;
};

// The viewer's side: notes which file it was asked to show.
int RunAsViewer(const char* pszFile) {
    HANDLE hReport = ::CreateFileA(ViewerReportPath().c_str(), GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hReport == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD dwWritten = 0;
    ::WriteFile(hReport, pszFile, static_cast<DWORD>(std::strlen(pszFile)), &dwWritten, nullptr);
    ::CloseHandle(hReport);
    return 0;
}

std::string ReadViewerReport() {
    HANDLE hReport = ::CreateFileA(ViewerReportPath().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hReport == INVALID_HANDLE_VALUE) {
        return {};
    }
    char sz[MAX_PATH * 2] = {};
    DWORD dwRead = 0;
    ::ReadFile(hReport, sz, sizeof sz - 1, &dwRead, nullptr);
    ::CloseHandle(hReport);
    return std::string(sz, dwRead);
}

TEST_F(HelpTest, TheShellStartsTheUsersViewerWithTheDocument) {
    ViewerAssociation association;
    ::DeleteFileA(ViewerReportPath().c_str());
    PutHelpFile();
    m_app.m_openDocument = nullptr;  // the real shell
    m_app.OnHelpContents();
    EXPECT_TRUE(m_boxes.m_texts.empty()) << m_boxes.m_texts[0];
    std::string strSeen;
    EXPECT_TRUE(WaitFor(
        [&] {
            strSeen = ReadViewerReport();
            return !strSeen.empty();
        },
        30000))
        << "no viewer started";
    EXPECT_EQ(::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, strSeen.c_str(), -1,
                               m_strPath.c_str(), -1),
              CSTR_EQUAL)
        << strSeen << " vs " << m_strPath;
    ::DeleteFileA(ViewerReportPath().c_str());
}

// What a run of the program looked like, seen from inside its message loop.
// A copy of this test program plays the program (one run per process, as the
// real one has) and reports it in its exit code.
enum : DWORD {
    kRunPanelSeen = 1,      // the panel was the main window
    kRunExitSent = 2,       // the link thread ran and Exit was pressed
    kRunShownAtEnd = 4,     // the panel was visible just before Exit
    kRunReturnedFalse = 8,  // InitInstance returned FALSE
    kRunThreadStarted = 16,
    kRunThreadStopped = 32,  // the link thread had ended when InitInstance returned
    kRunNoMessage = 64,
    kRunHelpOpened = 128,  // Help Contents on the panel reached the application
};
constexpr const char* kChildSwitch = "--app-child";
constexpr const char* kPanelTitle = "Quorvane - Tavrel Plus Remote";

struct RunView {
    DWORD dwFlags = 0;
    int nTicks = 0;
    int nExitTick = 20;  // 50 ms ticks before Exit; hide-at-start needs 100 ms
};
RunView s_view;

// Thread timer: watches the panel, and once the link thread runs and the
// time has come, presses Exit.
void CALLBACK WatchPanel(HWND, UINT, UINT_PTR, DWORD) {
    ++s_view.nTicks;
    CWnd* pMain = GetMainWnd();
    if (pMain == nullptr || pMain->m_hWnd == nullptr || (s_view.dwFlags & kRunExitSent) != 0) {
        return;
    }
    s_view.dwFlags |= kRunPanelSeen;
    if (g_deviceLink.m_bRunning != 0 && s_view.nTicks >= s_view.nExitTick) {
        if (::IsWindowVisible(pMain->m_hWnd)) {
            s_view.dwFlags |= kRunShownAtEnd;
        }
        pMain->PostMessage(WM_COMMAND, ID_HELP_CONTENTS, 0);
        pMain->PostMessage(WM_COMMAND, ID_EXIT, 0);
        s_view.dwFlags |= kRunExitSent;
    }
}

// The child's side: runs the program once on pszCommandLine.
int RunAsProgram(const char* pszCommandLine, int nExitTick) {
    s_view.nExitTick = nExitTick;
    BoxRecorder boxes;
    CRemoteApp app;
    // Any file that exists will do as the help document: only whether the
    // command arrives matters here.
    char szSelf[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szSelf, MAX_PATH);
    app.m_strHelpFile = szSelf;
    app.m_openDocument = [](const std::string&) {
        s_view.dwFlags |= kRunHelpOpened;
        return true;
    };
    const UINT_PTR nTimer = ::SetTimer(nullptr, 0, 50, WatchPanel);
    if (app.InitInstance(pszCommandLine) == FALSE) {
        s_view.dwFlags |= kRunReturnedFalse;
    }
    ::KillTimer(nullptr, nTimer);
    if (app.m_pLinkThread != nullptr) {
        s_view.dwFlags |= kRunThreadStarted;
    }
    if (g_deviceLink.m_bRunning == 0) {
        s_view.dwFlags |= kRunThreadStopped;
    }
    if (boxes.m_texts.empty()) {
        s_view.dwFlags |= kRunNoMessage;
    }
    return static_cast<int>(s_view.dwFlags);
}

// Starts a copy of this program playing the program with the command line.
HANDLE StartProgram(const std::string& strCommandLine, int nExitTick) {
    char szSelf[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szSelf, MAX_PATH);
    std::string strLine = "\"" + std::string(szSelf) + "\" " + kChildSwitch + " " +
                          std::to_string(nExitTick) + " " + strCommandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(nullptr, strLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &si, &pi)) {
        return nullptr;
    }
    ::CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Waits for the copy to end (generous deadline, then it is stopped) and
// gives its report.
DWORD FinishProgram(HANDLE hProcess) {
    DWORD dwCode = 0;
    if (::WaitForSingleObject(hProcess, 60000) != WAIT_OBJECT_0) {
        ::TerminateProcess(hProcess, 0xDEAD);
        ::WaitForSingleObject(hProcess, 10000);
        ADD_FAILURE() << "the program did not end";
    }
    ::GetExitCodeProcess(hProcess, &dwCode);
    ::CloseHandle(hProcess);
    return dwCode;
}

constexpr DWORD kCleanRun = kRunPanelSeen | kRunExitSent | kRunReturnedFalse | kRunThreadStarted |
                            kRunThreadStopped | kRunNoMessage | kRunHelpOpened;

TEST(RemoteAppRun, ShowSwitchKeepsThePanelAndExitStopsTheLinkThread) {
    HANDLE hProcess = StartProgram("-show", 20);
    ASSERT_NE(hProcess, nullptr);
    EXPECT_EQ(FinishProgram(hProcess), kCleanRun | kRunShownAtEnd);
}

TEST(RemoteAppRun, AnyOtherArgumentTextHidesThePanel) {
    for (const char* pszArguments : {"", "-SHOW", "-show ", "/show", "\"-show\""}) {
        HANDLE hProcess = StartProgram(pszArguments, 20);
        ASSERT_NE(hProcess, nullptr);
        EXPECT_EQ(FinishProgram(hProcess), kCleanRun) << '[' << pszArguments << ']';
    }
}

TEST(RemoteAppRun, SecondCopyRaisesTheFirstAndEndsWithoutThreadOrWindow) {
    // The first copy stays until this test presses its Exit.
    HANDLE hFirst = StartProgram("", 1000000);
    ASSERT_NE(hFirst, nullptr);
    HWND hPanel = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            hPanel = ::FindWindowA(nullptr, kPanelTitle);
            return hPanel != nullptr && ::IsWindowVisible(hPanel);
        },
        30000));
    // Until it has hidden itself.
    ASSERT_TRUE(WaitFor([&] { return !::IsWindowVisible(hPanel); }, 10000));

    HANDLE hSecond = StartProgram("-show", 20);
    ASSERT_NE(hSecond, nullptr);
    EXPECT_EQ(FinishProgram(hSecond), kRunReturnedFalse | kRunThreadStopped | kRunNoMessage);
    EXPECT_TRUE(::IsWindowVisible(hPanel));

    ::PostMessageA(hPanel, WM_COMMAND, ID_EXIT, 0);
    EXPECT_EQ(FinishProgram(hFirst), kCleanRun & ~(kRunExitSent | kRunHelpOpened));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == kViewerSwitch) {
        return RunAsViewer(argv[2]);
    }
    if (argc >= 3 && std::string(argv[1]) == kChildSwitch) {
        // The program's own command line: its name, then the rest as given.
        std::string strLine = "TavrelRemote.exe";
        const char* pszRest = ::GetCommandLineA();
        const std::string strMarker = std::string(kChildSwitch) + " " + argv[2];
        const char* pszAt = std::strstr(pszRest, strMarker.c_str());
        strLine += pszAt != nullptr ? std::string(pszAt + strMarker.size()) : std::string();
        return RunAsProgram(strLine.c_str(), std::atoi(argv[2]));
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
