#include "framework/screen_reader.h"

#include <initguid.h>

#include <objbase.h>
#include <oleacc.h>
#include <oleauto.h>

#include <utility>

#include "framework/system_dll.h"
#include "base/utf16.h"

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

// The two functions of uiautomationcore.dll, with the element provider
// (IRawElementProviderSimple) taken by its IUnknown.
using HostProviderFn = HRESULT(WINAPI*)(HWND, IUnknown**);
using RaiseNotificationFn = HRESULT(WINAPI*)(IUnknown*, int, int, BSTR, BSTR);
constexpr int kNotificationKindOther = 4;          // NotificationKind_Other
constexpr int kProcessingImportantMostRecent = 1;  // NotificationProcessing_ImportantMostRecent

struct UiaFunctions {
    HostProviderFn pHostProvider = nullptr;
    RaiseNotificationFn pRaise = nullptr;
};

// Loaded once and kept for the program's life.
const UiaFunctions& Uia() {
    static const UiaFunctions s_uia = {
        SystemDllFunction<HostProviderFn>("uiautomationcore.dll", "UiaHostProviderFromHwnd"),
        SystemDllFunction<RaiseNotificationFn>("uiautomationcore.dll", "UiaRaiseNotificationEvent"),
    };
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
                                              Utf16(strText).c_str()));
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

std::optional<bool>& ScreenReaderOverride() {
    static std::optional<bool> bRunning;
    return bRunning;
}

bool IsScreenReaderRunning() {
    if (ScreenReaderOverride()) {
        return *ScreenReaderOverride();
    }
    BOOL bRunning = FALSE;
    return ::SystemParametersInfoW(SPI_GETSCREENREADER, 0, &bRunning, 0) && bRunning;
}

void SetScreenReaderOverride(std::optional<bool> bRunning) {
    ScreenReaderOverride() = bRunning;
}

void RaiseUiaNotification(HWND hWnd, const std::string& strText, const wchar_t* pszActivity) {
    if (Replacement()) {
        Replacement()(hWnd, Annotation::Notification, strText);
        return;
    }
    const UiaFunctions& uia = Uia();
    if (uia.pHostProvider == nullptr || uia.pRaise == nullptr) {
        return;
    }
    IUnknown* pProvider = nullptr;
    if (FAILED(uia.pHostProvider(hWnd, &pProvider)) || pProvider == nullptr) {
        return;
    }
    BSTR bstrText = ::SysAllocString(Utf16(strText).c_str());
    BSTR bstrActivity = ::SysAllocString(pszActivity);
    if (bstrText != nullptr && bstrActivity != nullptr) {
        uia.pRaise(pProvider, kNotificationKindOther, kProcessingImportantMostRecent, bstrText,
                   bstrActivity);
    }
    ::SysFreeString(bstrText);
    ::SysFreeString(bstrActivity);
    pProvider->Release();
}
