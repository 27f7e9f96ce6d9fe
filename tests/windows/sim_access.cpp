#include "sim_access.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

std::string Env(const char* pszName) {
    const char* psz = std::getenv(pszName);
    return psz ? psz : "";
}

}  // namespace

bool LoadSimEnvironment(SimEnvironment& env, std::string& strError) {
    strError.clear();
    auto need = [&](const char* pszName) {
        std::string strValue = Env(pszName);
        if (strValue.empty()) {
            strError += strError.empty() ? "" : ", ";
            strError += pszName;
        }
        return strValue;
    };
    env.nSimPort = std::atoi(need("TAVREL_SIM_PORT").c_str());
    env.nSilentPort = std::atoi(need("TAVREL_SILENT_PORT").c_str());
    env.nMissingPort = std::atoi(need("TAVREL_MISSING_PORT").c_str());
    env.strSimLog = need("TAVREL_SIM_LOG");
    env.strSimControl = need("TAVREL_SIM_CONTROL");
    env.strSilentLog = need("TAVREL_SILENT_LOG");
    if (!strError.empty()) {
        strError = "not set: " + strError + " (run this test through tests/windows/with_sim.sh)";
        return false;
    }
    return true;
}

std::vector<std::string> SimLog::Lines() const {
    std::ifstream in(m_strPath, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    const std::string strAll = all.str();
    std::vector<std::string> lines;
    std::size_t nStart = 0;
    for (std::size_t nEnd; (nEnd = strAll.find('\n', nStart)) != std::string::npos;
         nStart = nEnd + 1) {
        std::string strLine = strAll.substr(nStart, nEnd - nStart);
        const std::size_t nSpace = strLine.find(' ');
        lines.push_back(nSpace == std::string::npos ? strLine : strLine.substr(nSpace + 1));
    }
    return lines;
}

int SimLog::WaitFor(const std::function<bool(const std::string&)>& match, std::size_t nFrom,
                    int nDeadlineMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nDeadlineMs);
    for (;;) {
        const std::vector<std::string> lines = Lines();
        for (std::size_t i = nFrom; i < lines.size(); ++i) {
            if (match(lines[i])) {
                return static_cast<int>(i);
            }
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

int SimLog::WaitForText(const std::string& strText, std::size_t nFrom, int nDeadlineMs) const {
    return WaitFor([&](const std::string& strLine) { return strLine == strText; }, nFrom,
                   nDeadlineMs);
}

std::vector<unsigned long long> NextHandleValues() {
    HANDLE handles[8] = {};
    std::vector<unsigned long long> values;
    for (HANDLE& h : handles) {
        h = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        values.push_back(static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(h)));
    }
    for (HANDLE h : handles) {
        if (h != nullptr) {
            ::CloseHandle(h);
        }
    }
    return values;
}

bool SendControl(const std::string& strFifo, const std::string& strLine) {
    HANDLE h = ::CreateFileA(strFifo.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    const std::string strData = strLine + "\n";
    DWORD dwWritten = 0;
    const BOOL bOk =
        ::WriteFile(h, strData.data(), static_cast<DWORD>(strData.size()), &dwWritten, nullptr);
    ::CloseHandle(h);
    return bOk && dwWritten == strData.size();
}
