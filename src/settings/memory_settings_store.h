// An in-memory settings store with the registry's model: keys under the
// current user's root, found by path without regard to ASCII case and
// created with every missing key above them; named values of any type,
// missing ones reported; reads that say how much room they need. Handles
// opened for reading cannot write and those opened for writing cannot read,
// as with the registry's KEY_READ and KEY_WRITE.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "settings/settings_store.h"

class CMemorySettingsStore final : public ISettingsStore {
  public:
    RegResult OpenKey(RegKey root, const char* pszPath, RegKey* pKey) override;
    RegResult CreateKey(RegKey root, const char* pszPath, RegKey* pKey) override;
    RegResult QueryValue(RegKey key, const char* pszName, RegDword* pType, std::uint8_t* pData,
                         RegDword* pSize) override;
    RegResult SetValue(RegKey key, const char* pszName, RegDword type, const std::uint8_t* pData,
                       RegDword size) override;
    RegResult CloseKey(RegKey key) override;

    // How many handles are open (opened and not yet closed).
    int OpenHandleCount() const { return static_cast<int>(m_handles.size()); }
    // Removes a key and everything below it; false when there was none.
    bool DeleteTree(const char* pszPath);

  private:
    struct Value {
        RegDword type = 0;
        std::vector<std::uint8_t> data;
    };
    struct Handle {
        std::string path;  // lower case, components joined by '\'
        bool bRead = false;
        bool bWrite = false;
    };

    RegResult ResolvePath(RegKey root, const char* pszPath, std::string* pPath) const;
    RegResult Open(RegKey root, const char* pszPath, bool bCreate, RegKey* pKey);

    // Every existing key, by lower-case path ("" is the root itself); each
    // holds its values by lower-case name.
    std::map<std::string, std::map<std::string, Value>> m_keys{{"", {}}};
    std::map<RegKey, Handle> m_handles;
    RegKey m_nextHandle = 0x1000;
};
