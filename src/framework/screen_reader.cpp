#include "framework/screen_reader.h"

#include <initguid.h>

#include <objbase.h>
#include <oleacc.h>
#include <oleauto.h>

#include <utility>
#include <vector>

namespace {

AnnotationFn& Replacement() {
    static AnnotationFn fn;
    return fn;
}

// The UI thread's annotation service, or null where the system has none.
// Made once; COM stays initialised on the thread for the program's life.
IAccPropServices* Service() {
    static IAccPropServices* pService = [] {
        const HRESULT hrInit = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (FAILED(hrInit) && hrInit != RPC_E_CHANGED_MODE) {
            return static_cast<IAccPropServices*>(nullptr);
        }
        IAccPropServices* p = nullptr;
        if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IAccPropServices, reinterpret_cast<void**>(&p)))) {
            p = nullptr;
        }
        return p;
    }();
    return pService;
}

std::wstring Wide(const std::string& str) {
    const int nLength = ::MultiByteToWideChar(CP_ACP, 0, str.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<size_t>(nLength > 0 ? nLength : 1), L'\0');
    if (nLength > 0) {
        ::MultiByteToWideChar(CP_ACP, 0, str.c_str(), -1, wide.data(), nLength);
    }
    return wide.data();
}

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

bool Annotate(HWND hWnd, Annotation what, const std::string& strText) {
    if (Replacement()) {
        return Replacement()(hWnd, what, strText);
    }
    IAccPropServices* pService = hWnd != nullptr ? Service() : nullptr;
    if (pService == nullptr) {
        return false;
    }
    if (what == Annotation::Hidden) {
        VARIANT state;
        ::VariantInit(&state);
        state.vt = VT_I4;
        state.lVal = STATE_SYSTEM_INVISIBLE;
        return SUCCEEDED(
            pService->SetHwndProp(hWnd, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_STATE, state));
    }
    const GUID& property = what == Annotation::Name ? PROPID_ACC_NAME : PROPID_ACC_VALUE;
    return SUCCEEDED(pService->SetHwndPropStr(hWnd, OBJID_CLIENT, CHILDID_SELF, property,
                                              Wide(strText).c_str()));
}

}  // namespace

bool SetAccessibleName(HWND hWnd, const std::string& strName) {
    return Annotate(hWnd, Annotation::Name, strName);
}

bool SetAccessibleValue(HWND hWnd, const std::string& strValue) {
    return Annotate(hWnd, Annotation::Value, strValue);
}

bool HideFromScreenReaders(HWND hWnd) {
    return Annotate(hWnd, Annotation::Hidden, std::string());
}

void SetAnnotationFunction(AnnotationFn fn) {
    Replacement() = std::move(fn);
}

void RaiseUiaNotification(HWND hWnd, const std::string& strText) {
    const UiaFunctions& uia = Uia();
    if (uia.pHostProvider == nullptr || uia.pRaise == nullptr) {
        return;
    }
    IUnknown* pProvider = nullptr;
    if (FAILED(uia.pHostProvider(hWnd, &pProvider)) || pProvider == nullptr) {
        return;
    }
    BSTR bstrText = ::SysAllocString(Wide(strText).c_str());
    BSTR bstrActivity = ::SysAllocString(L"Tavrel Plus Remote connection");
    if (bstrText != nullptr && bstrActivity != nullptr) {
        uia.pRaise(pProvider, kNotificationKindOther, kProcessingImportantMostRecent, bstrText,
                   bstrActivity);
    }
    ::SysFreeString(bstrText);
    ::SysFreeString(bstrActivity);
    pProvider->Release();
}
