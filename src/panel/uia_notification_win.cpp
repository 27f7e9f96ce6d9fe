#include "panel/uia_notification_win.h"

#include <oleauto.h>

namespace {

// The two functions of uiautomationcore.dll, with the element provider
// (IRawElementProviderSimple) taken by its IUnknown.
using HostProviderFn = HRESULT(WINAPI*)(HWND, IUnknown**);
using RaiseNotificationFn = HRESULT(WINAPI*)(IUnknown*, int, int, BSTR, BSTR);
constexpr int kNotificationKindOther = 4;          // NotificationKind_Other
constexpr int kProcessingImportantMostRecent = 1;  // NotificationProcessing_ImportantMostRecent
constexpr DWORD kSearchSystem32 = 0x00000800;      // LOAD_LIBRARY_SEARCH_SYSTEM32

struct UiaFunctions {
    HostProviderFn pHostProvider = nullptr;
    RaiseNotificationFn pRaise = nullptr;
};

template <typename Fn>
Fn Lookup(HMODULE hModule, const char* pszName) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(hModule, pszName)));
}

// Loaded once, from the system folder only, and kept for the program's life.
const UiaFunctions& Uia() {
    static const UiaFunctions s_uia = [] {
        UiaFunctions uia;
        if (HMODULE hModule = ::LoadLibraryExA("uiautomationcore.dll", nullptr, kSearchSystem32)) {
            uia.pHostProvider = Lookup<HostProviderFn>(hModule, "UiaHostProviderFromHwnd");
            uia.pRaise = Lookup<RaiseNotificationFn>(hModule, "UiaRaiseNotificationEvent");
        }
        return uia;
    }();
    return s_uia;
}

BSTR WideString(const std::string& str) {
    const int nChars = ::MultiByteToWideChar(CP_ACP, 0, str.c_str(), -1, nullptr, 0);
    if (nChars <= 0) {
        return nullptr;
    }
    BSTR bstr = ::SysAllocStringLen(nullptr, static_cast<UINT>(nChars - 1));
    if (bstr != nullptr) {
        ::MultiByteToWideChar(CP_ACP, 0, str.c_str(), -1, bstr, nChars);
    }
    return bstr;
}

}  // namespace

void RaiseUiaNotification(HWND hWnd, const std::string& strText) {
    const UiaFunctions& uia = Uia();
    if (uia.pHostProvider == nullptr || uia.pRaise == nullptr) {
        return;
    }
    IUnknown* pProvider = nullptr;
    if (FAILED(uia.pHostProvider(hWnd, &pProvider)) || pProvider == nullptr) {
        return;
    }
    BSTR bstrText = WideString(strText);
    BSTR bstrActivity = WideString("Tavrel Plus Remote connection");
    if (bstrText != nullptr && bstrActivity != nullptr) {
        uia.pRaise(pProvider, kNotificationKindOther, kProcessingImportantMostRecent, bstrText,
                   bstrActivity);
    }
    ::SysFreeString(bstrText);
    ::SysFreeString(bstrActivity);
    pProvider->Release();
}
