// A settings section: one registry key under the current user and one object
// holding its values as plain fields, loaded and saved as a whole.
//
// Reading never fails in a way the user sees: whatever cannot be read takes
// its default. Saving reports a status that callers may ignore.
#pragma once

#include <cstdint>
#include <string>

#include "settings/settings_store.h"

// The two names in every section's key path "Software\<company>\<product>\<section>".
inline constexpr const char* kSettingsCompany = "Quorvane";
inline constexpr const char* kSettingsProduct = "Tavrel Plus Remote";

class CRegistrySection {
  public:
    // Formats the sub-key path from a printf-style format and its arguments.
    CRegistrySection(RegKey hRootKey, const char* pszFormat, ...);
    virtual ~CRegistrySection() = default;
    CRegistrySection(const CRegistrySection&) = delete;
    CRegistrySection& operator=(const CRegistrySection&) = delete;

    // Reads the whole section. A key that cannot be opened puts every field
    // to its default and returns the open error; otherwise returns 0, or the
    // status of the last value when that one could not be read.
    RegResult Load();
    // Writes the whole section, creating its key. Returns 0 or the first
    // error; the values before a failing one stay written.
    RegResult Save();

    // The section's transfer of all its values, in its fixed order. With
    // bDefaults it only puts every field to its default.
    virtual RegResult Exchange(RegKey hKey, bool bSave, bool bDefaults) = 0;

    // One 32-bit value in either direction. Loading ignores the stored type
    // but takes exactly four bytes: longer data gives kRegMoreData, shorter
    // data kRegInvalidData, and value is only changed on success.
    RegResult ExchangeDword(RegKey hKey, const char* pszValueName, RegDword& value, bool bSave);
    // One text value in either direction, stored with its terminating NUL.
    // Loading ignores the stored type, reads a text of any length and stops
    // at the first NUL or the end of the stored data, whichever comes first;
    // value is only changed on success.
    RegResult ExchangeString(RegKey hKey, const char* pszValueName, std::string& value, bool bSave);

    // The store behind the section; the platform's default unless one is
    // given (tests). Null restores the default.
    void UseStore(ISettingsStore* pStore) { m_pStore = pStore; }
    ISettingsStore& Store() const { return m_pStore ? *m_pStore : DefaultSettingsStore(); }

    std::string m_strSubKey;
    RegKey m_hRootKey;

  protected:
    virtual void OnBeforeSave() {}
    virtual void OnAfterLoad() {}

    // One pass of a section's Exchange over its values, in order. Saving
    // stops at the first failure and keeps its status; loading puts a value
    // that cannot be read to its default and goes on, and ends with the
    // status of the last value. Calls the hooks at the pattern's moments.
    class CValuePass {
      public:
        CValuePass(CRegistrySection& section, RegKey hKey, bool bSave);
        void Dword(const char* pszName, RegDword& field, RegDword nDefault);
        void Int(const char* pszName, std::int32_t& field, std::int32_t nDefault);
        void Flag(const char* pszName, bool& field, bool bDefault);
        void String(const char* pszName, std::string& field, const char* pszDefault);
        RegResult Finish();

      private:
        bool Skip() const { return m_bSave && m_nResult != kRegSuccess; }

        CRegistrySection& m_section;
        RegKey m_hKey;
        bool m_bSave;
        RegResult m_nResult = kRegSuccess;
    };

  private:
    ISettingsStore* m_pStore = nullptr;
};
