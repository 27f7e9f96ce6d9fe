#include <windows.h>

#include "settings/registry_store_win.h"

// The portable names must carry the registry's own values.
static_assert(kRegSuccess == ERROR_SUCCESS);
static_assert(kRegFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(kRegAccessDenied == ERROR_ACCESS_DENIED);
static_assert(kRegInvalidHandle == ERROR_INVALID_HANDLE);
static_assert(kRegInvalidData == ERROR_INVALID_DATA);
static_assert(kRegBadPathname == ERROR_BAD_PATHNAME);
static_assert(kRegMoreData == ERROR_MORE_DATA);
static_assert(kRegInvalidParam == ERROR_INVALID_PARAMETER);
static_assert(kRegTypeSz == REG_SZ);
static_assert(kRegTypeBinary == REG_BINARY);
static_assert(kRegTypeDword == REG_DWORD);
static_assert(kRegTypeQword == REG_QWORD);
static_assert(sizeof(RegKey) == sizeof(HKEY) && sizeof(RegDword) == sizeof(DWORD));
static_assert(sizeof(RegResult) == sizeof(LONG));

namespace {

HKEY ToHkey(RegKey key) {
    return reinterpret_cast<HKEY>(key);
}

}  // namespace

RegResult CRegistryStore::OpenKey(RegKey root, const char* pszPath, RegKey* pKey) {
    HKEY hKey = nullptr;
    const LONG nResult = ::RegOpenKeyExA(ToHkey(root), pszPath, 0, KEY_READ, &hKey);
    if (pKey) {
        *pKey = reinterpret_cast<RegKey>(hKey);
    }
    return nResult;
}

RegResult CRegistryStore::CreateKey(RegKey root, const char* pszPath, RegKey* pKey) {
    HKEY hKey = nullptr;
    DWORD dwDisposition = 0;
    const LONG nResult =
        ::RegCreateKeyExA(ToHkey(root), pszPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                          nullptr, &hKey, &dwDisposition);
    if (pKey) {
        *pKey = reinterpret_cast<RegKey>(hKey);
    }
    return nResult;
}

RegResult CRegistryStore::QueryValue(RegKey key, const char* pszName, RegDword* pType,
                                     std::uint8_t* pData, RegDword* pSize) {
    DWORD dwType = 0;
    DWORD dwSize = pSize ? *pSize : 0;
    const LONG nResult = ::RegQueryValueExA(ToHkey(key), pszName, nullptr, &dwType, pData,
                                            pSize ? &dwSize : nullptr);
    if (pType) {
        *pType = dwType;
    }
    if (pSize) {
        *pSize = dwSize;
    }
    return nResult;
}

RegResult CRegistryStore::SetValue(RegKey key, const char* pszName, RegDword type,
                                   const std::uint8_t* pData, RegDword size) {
    return ::RegSetValueExA(ToHkey(key), pszName, 0, type, pData, size);
}

RegResult CRegistryStore::CloseKey(RegKey key) {
    return ::RegCloseKey(ToHkey(key));
}

ISettingsStore& DefaultSettingsStore() {
    static CRegistryStore store;
    return store;
}
