#include "settings/registry_section.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

CRegistrySection::CRegistrySection(RegKey hRootKey, const char* pszFormat, ...)
    : m_hRootKey(hRootKey) {
    va_list args;
    va_start(args, pszFormat);
    va_list copy;
    va_copy(copy, args);
    const int nLength = std::vsnprintf(nullptr, 0, pszFormat, copy);
    va_end(copy);
    if (nLength > 0) {
        std::vector<char> text(static_cast<std::size_t>(nLength) + 1);
        std::vsnprintf(text.data(), text.size(), pszFormat, args);
        m_strSubKey.assign(text.data(), static_cast<std::size_t>(nLength));
    }
    va_end(args);
}

RegResult CRegistrySection::Load() {
    ISettingsStore& store = Store();
    RegKey hKey = 0;
    const RegResult nOpen = store.OpenKey(m_hRootKey, m_strSubKey.c_str(), &hKey);
    if (nOpen != kRegSuccess) {
        Exchange(0, false, true);
        return nOpen;
    }
    const RegResult nResult = Exchange(hKey, false, false);
    store.CloseKey(hKey);
    return nResult;
}

RegResult CRegistrySection::Save() {
    ISettingsStore& store = Store();
    RegKey hKey = 0;
    const RegResult nCreate = store.CreateKey(m_hRootKey, m_strSubKey.c_str(), &hKey);
    if (nCreate != kRegSuccess) {
        return nCreate;
    }
    const RegResult nResult = Exchange(hKey, true, false);
    store.CloseKey(hKey);
    return nResult;
}

RegResult CRegistrySection::ExchangeDword(RegKey hKey, const char* pszValueName, RegDword& value,
                                          bool bSave) {
    // Stored little-endian, as the registry's REG_DWORD.
    std::uint8_t bytes[4];
    if (bSave) {
        for (int i = 0; i < 4; ++i) {
            bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
        return Store().SetValue(hKey, pszValueName, kRegTypeDword, bytes, sizeof bytes);
    }
    RegDword type = 0;
    RegDword size = sizeof bytes;
    const RegResult nResult = Store().QueryValue(hKey, pszValueName, &type, bytes, &size);
    if (nResult != kRegSuccess) {
        return nResult;
    }
    if (size != sizeof bytes) {
        return kRegInvalidData;  // fewer than four bytes are not a number
    }
    value = RegDword{bytes[0]} | RegDword{bytes[1]} << 8 | RegDword{bytes[2]} << 16 |
            RegDword{bytes[3]} << 24;
    return kRegSuccess;
}

RegResult CRegistrySection::ExchangeString(RegKey hKey, const char* pszValueName,
                                           std::string& value, bool bSave) {
    if (bSave) {
        return Store().SetValue(hKey, pszValueName, kRegTypeSz,
                                reinterpret_cast<const std::uint8_t*>(value.c_str()),
                                static_cast<RegDword>(value.size() + 1));
    }
    std::uint8_t local[100];
    std::vector<std::uint8_t> large;
    std::uint8_t* pBuffer = local;
    RegDword capacity = sizeof local;
    RegDword type = 0;
    RegDword size = capacity;
    RegResult nResult = Store().QueryValue(hKey, pszValueName, &type, pBuffer, &size);
    if (nResult == kRegMoreData) {
        // A longer text: ask again with the room it said it needs.
        large.resize(std::max<RegDword>(size, 1));
        pBuffer = large.data();
        capacity = static_cast<RegDword>(large.size());
        size = capacity;
        nResult = Store().QueryValue(hKey, pszValueName, &type, pBuffer, &size);
    }
    if (nResult == kRegSuccess) {
        // The text ends at its first NUL, or at the end of the data when it
        // was stored without one; never beyond what the query returned.
        const RegDword nData = std::min(size, capacity);
        const std::uint8_t* pEnd = std::find(pBuffer, pBuffer + nData, std::uint8_t{0});
        value.assign(reinterpret_cast<const char*>(pBuffer),
                     static_cast<std::size_t>(pEnd - pBuffer));
    }
    return nResult;
}

CRegistrySection::CValuePass::CValuePass(CRegistrySection& section, RegKey hKey, bool bSave)
    : m_section(section), m_hKey(hKey), m_bSave(bSave) {
    if (m_bSave) {
        m_section.OnBeforeSave();
    }
}

void CRegistrySection::CValuePass::Dword(const char* pszName, RegDword& field, RegDword nDefault) {
    if (Skip()) {
        return;
    }
    m_nResult = m_section.ExchangeDword(m_hKey, pszName, field, m_bSave);
    if (!m_bSave && m_nResult != kRegSuccess) {
        field = nDefault;
    }
}

void CRegistrySection::CValuePass::Int(const char* pszName, std::int32_t& field,
                                       std::int32_t nDefault) {
    // Signed numbers are stored as their 32-bit two's complement.
    RegDword value = static_cast<RegDword>(field);
    Dword(pszName, value, static_cast<RegDword>(nDefault));
    if (!m_bSave) {
        field = static_cast<std::int32_t>(value);
    }
}

void CRegistrySection::CValuePass::Flag(const char* pszName, bool& field, bool bDefault) {
    // Written as 1 or 0; any non-zero number reads as set.
    RegDword value = field ? 1 : 0;
    Dword(pszName, value, bDefault ? 1 : 0);
    if (!m_bSave) {
        field = value != 0;
    }
}

void CRegistrySection::CValuePass::String(const char* pszName, std::string& field,
                                          const char* pszDefault) {
    if (Skip()) {
        return;
    }
    m_nResult = m_section.ExchangeString(m_hKey, pszName, field, m_bSave);
    if (!m_bSave && m_nResult != kRegSuccess) {
        field = pszDefault;
    }
}

RegResult CRegistrySection::CValuePass::Finish() {
    if (!m_bSave) {
        m_section.OnAfterLoad();
    }
    return m_nResult;
}
