// The store behind the settings sections: the five registry operations the
// sections use, over keys under a per-user root holding named 32-bit and
// text values. On Windows it is the registry of the current user; natively
// an in-memory store with the same model stands in for it.
//
// This header is portable, so it cannot use the platform's names: the result
// codes, value types and the root key below have the registry's own values
// under names of their own (registry_store_win.cpp checks that they agree).
#pragma once

#include <cstdint>

using RegResult = std::int32_t;  // a registry status code (LONG)
using RegDword = std::uint32_t;  // DWORD
using RegKey = std::uintptr_t;   // an open key, or a predefined root; 0 = none

// Status codes.
inline constexpr RegResult kRegSuccess = 0;        // ERROR_SUCCESS
inline constexpr RegResult kRegFileNotFound = 2;   // ERROR_FILE_NOT_FOUND
inline constexpr RegResult kRegAccessDenied = 5;   // ERROR_ACCESS_DENIED
inline constexpr RegResult kRegInvalidHandle = 6;  // ERROR_INVALID_HANDLE
inline constexpr RegResult kRegInvalidData = 13;   // ERROR_INVALID_DATA
inline constexpr RegResult kRegBadPathname = 161;  // ERROR_BAD_PATHNAME
inline constexpr RegResult kRegMoreData = 234;     // ERROR_MORE_DATA
inline constexpr RegResult kRegInvalidParam = 87;  // ERROR_INVALID_PARAMETER

// Value types.
inline constexpr RegDword kRegTypeSz = 1;      // REG_SZ
inline constexpr RegDword kRegTypeBinary = 3;  // REG_BINARY
inline constexpr RegDword kRegTypeDword = 4;   // REG_DWORD
inline constexpr RegDword kRegTypeQword = 11;  // REG_QWORD

// HKEY_CURRENT_USER: the predefined handle, sign-extended as the platform does.
inline constexpr RegKey kRegCurrentUser =
    static_cast<RegKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000001u)));

class ISettingsStore {
  public:
    virtual ~ISettingsStore() = default;

    // Opens an existing key for reading (RegOpenKeyExA with KEY_READ).
    // kRegFileNotFound when it does not exist.
    virtual RegResult OpenKey(RegKey root, const char* pszPath, RegKey* pKey) = 0;
    // Opens a key for writing, creating it and every missing key above it
    // (RegCreateKeyExA, REG_OPTION_NON_VOLATILE, KEY_WRITE).
    virtual RegResult CreateKey(RegKey root, const char* pszPath, RegKey* pKey) = 0;
    // Copies a value's type and data (RegQueryValueExA). *pSize is the
    // buffer's size on entry and the data's size on return; kRegMoreData with
    // the needed size when the buffer is too small; an error when the value
    // is missing.
    virtual RegResult QueryValue(RegKey key, const char* pszName, RegDword* pType,
                                 std::uint8_t* pData, RegDword* pSize) = 0;
    // Creates or replaces a value (RegSetValueExA).
    virtual RegResult SetValue(RegKey key, const char* pszName, RegDword type,
                               const std::uint8_t* pData, RegDword size) = 0;
    virtual RegResult CloseKey(RegKey key) = 0;
};

// The store the sections use unless one is given: the registry on Windows,
// one process-wide in-memory store elsewhere.
ISettingsStore& DefaultSettingsStore();
