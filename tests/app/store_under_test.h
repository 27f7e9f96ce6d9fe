// The settings store a test run checks the sections against (the in-memory
// store natively, the registry under wine), seen through a recording layer
// that counts open keys, logs writes and can make chosen operations fail.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/settings_store.h"

class StoreUnderTest {
  public:
    virtual ~StoreUnderTest() = default;
    virtual ISettingsStore& Store() = 0;
    // Removes every key of the product: the state of a first run.
    virtual void RemoveProductKeys() = 0;
};

using StoreFactory = std::unique_ptr<StoreUnderTest> (*)();

// The stores an executable runs the shared section tests on; each test
// executable defines it.
struct StoreKind {
    const char* pszName;
    StoreFactory make;
};
std::vector<StoreKind> StoresUnderTest();
inline void PrintTo(const StoreKind& kind, std::ostream* pOut) {
    *pOut << kind.pszName;
}

// Passes every call to the store underneath, keeping count of the keys left
// open and a log of the value names written; fails a chosen call instead.
class CRecordingStore final : public ISettingsStore {
  public:
    explicit CRecordingStore(ISettingsStore& inner) : m_inner(inner) {}

    RegResult OpenKey(RegKey root, const char* pszPath, RegKey* pKey) override;
    RegResult CreateKey(RegKey root, const char* pszPath, RegKey* pKey) override;
    RegResult QueryValue(RegKey key, const char* pszName, RegDword* pType, std::uint8_t* pData,
                         RegDword* pSize) override;
    RegResult SetValue(RegKey key, const char* pszName, RegDword type, const std::uint8_t* pData,
                       RegDword size) override;
    RegResult CloseKey(RegKey key) override;

    RegResult m_nFailOpen = kRegSuccess;        // non-zero: OpenKey fails with it
    RegResult m_nFailCreate = kRegSuccess;      // non-zero: CreateKey fails with it
    std::string m_strFailValue;                 // SetValue of this name fails ...
    RegResult m_nFailValue = kRegAccessDenied;  // ... with this

    int m_nOpenKeys = 0;
    std::vector<std::string> m_written;  // "*" marks the hook OnBeforeSave in tests

  private:
    ISettingsStore& m_inner;
};
