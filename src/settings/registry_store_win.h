// The settings store on Windows: the current user's registry, through the
// A functions.
#pragma once

#include "settings/settings_store.h"

class CRegistryStore final : public ISettingsStore {
  public:
    RegResult OpenKey(RegKey root, const char* pszPath, RegKey* pKey) override;
    RegResult CreateKey(RegKey root, const char* pszPath, RegKey* pKey) override;
    RegResult QueryValue(RegKey key, const char* pszName, RegDword* pType, std::uint8_t* pData,
                         RegDword* pSize) override;
    RegResult SetValue(RegKey key, const char* pszName, RegDword type, const std::uint8_t* pData,
                       RegDword size) override;
    RegResult CloseKey(RegKey key) override;
};
