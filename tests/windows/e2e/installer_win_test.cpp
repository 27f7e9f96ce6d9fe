// The installer under wine, run silently as an administrator's script or a
// user's double click would: the files, the Start-menu shortcut, the sign-in
// start when chosen, the uninstall entry; the installed program starting; the
// uninstaller ending the running program and removing all it installed, and
// the user's settings only when asked.
//
//   tavrel_installer_tests SETUP_EXE (a Unix path or a Windows one)
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "window_checks.h"

namespace {

std::string g_strSetup;  // the installer, as a Windows path

constexpr const char* kProduct = "Tavrel Plus Remote";
constexpr const char* kPanelTitle = "Quorvane - Tavrel Plus Remote";
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kApprovedKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
constexpr const char* kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TavrelPlusRemote";
constexpr const char* kSettingsKey = "Software\\Quorvane\\Tavrel Plus Remote";
constexpr const char* kCompanyKey = "Software\\Quorvane";

std::string Folder(int nCsidl) {
    char sz[MAX_PATH] = {};
    return SUCCEEDED(::SHGetFolderPathA(nullptr, nCsidl, nullptr, 0, sz)) ? sz : "";
}

std::string InstallDir() {
    return Folder(CSIDL_LOCAL_APPDATA) + "\\Programs\\" + kProduct;
}

std::string ShortcutPath() {
    return Folder(CSIDL_PROGRAMS) + "\\" + kProduct + ".lnk";
}

bool Exists(const std::string& strPath) {
    return ::GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A text value of HKCU, or nullopt-like "\x01missing" when it is not there.
constexpr const char* kMissing = "\x01missing";
std::string ReadText(const char* pszKey, const char* pszValue) {
    char sz[1024] = {};
    DWORD cb = sizeof sz;
    if (::RegGetValueA(HKEY_CURRENT_USER, pszKey, pszValue, RRF_RT_REG_SZ, nullptr, sz, &cb) !=
        ERROR_SUCCESS) {
        return kMissing;
    }
    return sz;
}

bool KeyExists(const char* pszKey) {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, pszKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(hKey);
    return true;
}

void WriteText(const char* pszKey, const char* pszValue, const std::string& strText) {
    ASSERT_EQ(::RegSetKeyValueA(HKEY_CURRENT_USER, pszKey, pszValue, REG_SZ, strText.c_str(),
                                static_cast<DWORD>(strText.size() + 1)),
              ERROR_SUCCESS);
}

void WriteNumber(const char* pszKey, const char* pszValue, DWORD dwValue) {
    ASSERT_EQ(
        ::RegSetKeyValueA(HKEY_CURRENT_USER, pszKey, pszValue, REG_DWORD, &dwValue, sizeof dwValue),
        ERROR_SUCCESS);
}

// Starts a process; its handle, or null.
HANDLE Start(std::string strCommandLine) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(nullptr, strCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &si, &pi)) {
        return nullptr;
    }
    ::CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Runs a process to its end (a generous minute) and gives its exit code;
// 0xDEAD when it did not end and was stopped, 0xBAD when it did not start.
DWORD RunToEnd(const std::string& strCommandLine) {
    HANDLE hProcess = Start(strCommandLine);
    if (hProcess == nullptr) {
        return 0xBAD;
    }
    DWORD dwCode = 0xDEAD;
    if (::WaitForSingleObject(hProcess, 60000) == WAIT_OBJECT_0) {
        ::GetExitCodeProcess(hProcess, &dwCode);
    } else {
        ::TerminateProcess(hProcess, 0xDEAD);
        ::WaitForSingleObject(hProcess, 10000);
    }
    ::CloseHandle(hProcess);
    return dwCode;
}

// The uninstaller copies itself elsewhere and returns at once; it is done
// when the folder it removes has gone.
void Uninstall(const std::string& strSwitches) {
    const std::string strUninstaller = InstallDir() + "\\Uninstall.exe";
    ASSERT_TRUE(Exists(strUninstaller));
    ASSERT_EQ(RunToEnd("\"" + strUninstaller + "\" /S " + strSwitches), 0u);
    ASSERT_TRUE(WaitFor([] { return !Exists(InstallDir()); }, 60000))
        << "the uninstaller left " << InstallDir();
}

// What a shortcut starts: "TARGET|ARGUMENTS", or empty when it cannot be read.
std::string ShortcutTarget(const std::string& strLink) {
    std::string strResult;
    IShellLinkA* pLink = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&pLink)))) {
        return strResult;
    }
    IPersistFile* pFile = nullptr;
    if (SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile)))) {
        const std::wstring strWide(strLink.begin(), strLink.end());
        if (SUCCEEDED(pFile->Load(strWide.c_str(), STGM_READ))) {
            char szPath[MAX_PATH] = {};
            char szArgs[MAX_PATH] = {};
            pLink->GetPath(szPath, MAX_PATH, nullptr, 0);
            pLink->GetArguments(szArgs, MAX_PATH);
            strResult = std::string(szPath) + "|" + szArgs;
        }
        pFile->Release();
    }
    pLink->Release();
    return strResult;
}

class InstallerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Each case starts with nothing installed and no settings.
        if (Exists(InstallDir() + "\\Uninstall.exe")) {
            Uninstall("/REMOVESETTINGS");
        }
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, kProduct);
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kApprovedKey, kProduct);
    }
    void TearDown() override {
        if (m_hProgram != nullptr) {
            if (::WaitForSingleObject(m_hProgram, 0) == WAIT_TIMEOUT) {
                ::TerminateProcess(m_hProgram, 1);
                ::WaitForSingleObject(m_hProgram, 10000);
            }
            ::CloseHandle(m_hProgram);
        }
        if (Exists(InstallDir() + "\\Uninstall.exe")) {
            Uninstall("/REMOVESETTINGS");
        }
    }

    HANDLE m_hProgram = nullptr;
};

TEST_F(InstallerTest, SilentInstallPutsTheProgramItsShortcutAndTheSignInStart) {
    ASSERT_EQ(RunToEnd("\"" + g_strSetup + "\" /S"), 0u);
    const std::string strDir = InstallDir();
    for (const char* pszFile :
         {"TavrelRemote.exe", "TavrelRemote.html", "tavrelctl.exe", "Uninstall.exe"}) {
        EXPECT_TRUE(Exists(strDir + "\\" + pszFile)) << pszFile;
    }
    const std::string strExe = strDir + "\\TavrelRemote.exe";

    // The Start-menu shortcut shows the panel.
    ASSERT_TRUE(Exists(ShortcutPath())) << ShortcutPath();
    EXPECT_EQ(ShortcutTarget(ShortcutPath()), strExe + "|-show");

    // Started at sign-in with no arguments, so into the notification area.
    EXPECT_EQ(ReadText(kRunKey, kProduct), "\"" + strExe + "\"");

    EXPECT_EQ(ReadText(kUninstallKey, "DisplayName"), kProduct);
    EXPECT_EQ(ReadText(kUninstallKey, "DisplayVersion"), "1.10");
    EXPECT_EQ(ReadText(kUninstallKey, "Publisher"), "Quorvane");
    EXPECT_EQ(ReadText(kUninstallKey, "InstallLocation"), strDir);
    EXPECT_EQ(ReadText(kUninstallKey, "QuietUninstallString"),
              "\"" + strDir + "\\Uninstall.exe\" /S");
    EXPECT_FALSE(KeyExists(kSettingsKey)) << "installing writes no settings";
}

TEST_F(InstallerTest, UninstallerEndsTheRunningProgramAndKeepsTheSettingsUnlessAsked) {
    ASSERT_EQ(RunToEnd("\"" + g_strSetup + "\" /S"), 0u);
    const std::string strExe = InstallDir() + "\\TavrelRemote.exe";

    // The installed program starts as at sign-in: its panel is made, then
    // hidden, and the program stays in the notification area.
    m_hProgram = Start("\"" + strExe + "\"");
    ASSERT_NE(m_hProgram, nullptr);
    ASSERT_TRUE(WaitFor([] { return ::FindWindowA("#32770", kPanelTitle) != nullptr; }, 30000))
        << "the installed program shows no panel";
    EXPECT_EQ(::WaitForSingleObject(m_hProgram, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    // Task Manager once switched the sign-in start off; the user has settings.
    WriteNumber(kApprovedKey, kProduct, 3);
    WriteNumber((std::string(kSettingsKey) + "\\HotKeys").c_str(), "bHotKeysEnabled", 1);

    Uninstall("");
    EXPECT_EQ(::WaitForSingleObject(m_hProgram, 10000), WAIT_OBJECT_0)
        << "the program was still running after the uninstall";
    EXPECT_FALSE(Exists(ShortcutPath()));
    EXPECT_EQ(ReadText(kRunKey, kProduct), kMissing);
    DWORD dwType = 0;
    EXPECT_NE(::RegGetValueA(HKEY_CURRENT_USER, kApprovedKey, kProduct, RRF_RT_ANY, &dwType,
                             nullptr, nullptr),
              ERROR_SUCCESS)
        << "the StartupApproved entry is left";
    EXPECT_FALSE(KeyExists(kUninstallKey));
    EXPECT_TRUE(KeyExists((std::string(kSettingsKey) + "\\HotKeys").c_str()))
        << "the settings went without being asked";
    // Exit saved the panel's place.
    EXPECT_TRUE(KeyExists((std::string(kSettingsKey) + "\\MainWindow").c_str()));
}

TEST_F(InstallerTest, SignInStartLeftOutAndSettingsRemovedWhenAsked) {
    // An earlier install chose the sign-in start; this one does not.
    WriteText(kRunKey, kProduct, "\"C:\\old\\TavrelRemote.exe\"");
    ASSERT_EQ(RunToEnd("\"" + g_strSetup + "\" /S /NOAUTOSTART"), 0u);
    EXPECT_TRUE(Exists(InstallDir() + "\\TavrelRemote.exe"));
    EXPECT_EQ(ReadText(kRunKey, kProduct), kMissing);

    // Installing again over it keeps working and can choose it again.
    ASSERT_EQ(RunToEnd("\"" + g_strSetup + "\" /S"), 0u);
    EXPECT_NE(ReadText(kRunKey, kProduct), kMissing);

    WriteNumber((std::string(kSettingsKey) + "\\MainWindow").c_str(), "nLeft", 10);
    Uninstall("/REMOVESETTINGS");
    EXPECT_FALSE(KeyExists(kSettingsKey));
    EXPECT_FALSE(KeyExists(kCompanyKey)) << "the company's key is left empty";
    EXPECT_EQ(ReadText(kRunKey, kProduct), kMissing);
}

TEST_F(InstallerTest, AnotherProductOfTheCompanyKeepsItsSettings) {
    WriteNumber("Software\\Quorvane\\Other Product", "nValue", 7);
    ASSERT_EQ(RunToEnd("\"" + g_strSetup + "\" /S"), 0u);
    Uninstall("/REMOVESETTINGS");
    EXPECT_TRUE(KeyExists("Software\\Quorvane\\Other Product"));
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kCompanyKey);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tavrel_installer_tests SETUP_EXE\n");
        return 2;
    }
    g_strSetup = argv[1];
    if (!g_strSetup.empty() && g_strSetup[0] == '/') {
        // A Unix path: Wine's Z: drive is the Unix root.
        for (char& c : g_strSetup) {
            c = c == '/' ? '\\' : c;
        }
        g_strSetup = "Z:" + g_strSetup;
    }
    if (!Exists(g_strSetup)) {
        std::fprintf(stderr, "the installer %s is not there (build the target installer)\n",
                     g_strSetup.c_str());
        return 1;
    }
    ::CoInitialize(nullptr);
    const int nResult = RUN_ALL_TESTS();
    ::CoUninitialize();
    return nResult;
}
