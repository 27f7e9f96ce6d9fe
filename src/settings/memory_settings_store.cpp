#include "settings/memory_settings_store.h"

#include <cstring>

namespace {

std::string Lower(const char* psz) {
    std::string s = psz ? psz : "";
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

}  // namespace

RegResult CMemorySettingsStore::ResolvePath(RegKey root, const char* pszPath,
                                            std::string* pPath) const {
    std::string base;
    if (root != kRegCurrentUser) {
        auto it = m_handles.find(root);
        if (it == m_handles.end()) {
            return kRegInvalidHandle;
        }
        base = it->second.path;
    }
    // Components are separated by single backslashes; a leading one or an
    // empty component in the middle is not a path, a trailing one is ignored.
    std::string path = Lower(pszPath);
    if (!path.empty() && path.back() == '\\') {
        path.pop_back();
    }
    if (!path.empty() && (path.front() == '\\' || path.find("\\\\") != std::string::npos)) {
        return kRegBadPathname;
    }
    if (base.empty()) {
        *pPath = path;
    } else {
        *pPath = path.empty() ? base : base + "\\" + path;
    }
    return kRegSuccess;
}

RegResult CMemorySettingsStore::Open(RegKey root, const char* pszPath, bool bCreate, RegKey* pKey) {
    if (!pKey) {
        return kRegInvalidParam;
    }
    std::string path;
    RegResult nResult = ResolvePath(root, pszPath, &path);
    if (nResult != kRegSuccess) {
        return nResult;
    }
    if (!m_keys.count(path)) {
        if (!bCreate) {
            return kRegFileNotFound;
        }
        // The key and every missing key above it.
        for (std::size_t pos = 0; pos != std::string::npos;) {
            pos = path.find('\\', pos + 1);
            m_keys.try_emplace(path.substr(0, pos));
        }
    }
    RegKey key = m_nextHandle;
    m_nextHandle += 4;
    m_handles[key] = Handle{path, !bCreate, bCreate};
    *pKey = key;
    return kRegSuccess;
}

RegResult CMemorySettingsStore::OpenKey(RegKey root, const char* pszPath, RegKey* pKey) {
    return Open(root, pszPath, false, pKey);
}

RegResult CMemorySettingsStore::CreateKey(RegKey root, const char* pszPath, RegKey* pKey) {
    return Open(root, pszPath, true, pKey);
}

RegResult CMemorySettingsStore::QueryValue(RegKey key, const char* pszName, RegDword* pType,
                                           std::uint8_t* pData, RegDword* pSize) {
    auto handle = m_handles.find(key);
    if (handle == m_handles.end()) {
        return kRegInvalidHandle;
    }
    if (!handle->second.bRead) {
        return kRegAccessDenied;
    }
    if (pData && !pSize) {
        return kRegInvalidParam;
    }
    auto keyIt = m_keys.find(handle->second.path);
    if (keyIt == m_keys.end()) {
        return kRegInvalidHandle;  // the key was deleted under the handle
    }
    auto valueIt = keyIt->second.find(Lower(pszName));
    if (valueIt == keyIt->second.end()) {
        return kRegFileNotFound;
    }
    const Value& value = valueIt->second;
    const RegDword nSize = static_cast<RegDword>(value.data.size());
    if (pType) {
        *pType = value.type;
    }
    RegResult nResult = kRegSuccess;
    if (pData) {
        if (*pSize < nSize) {
            nResult = kRegMoreData;
        } else if (nSize > 0) {
            std::memcpy(pData, value.data.data(), nSize);
        }
    }
    if (pSize) {
        *pSize = nSize;
    }
    return nResult;
}

RegResult CMemorySettingsStore::SetValue(RegKey key, const char* pszName, RegDword type,
                                         const std::uint8_t* pData, RegDword size) {
    auto handle = m_handles.find(key);
    if (handle == m_handles.end()) {
        return kRegInvalidHandle;
    }
    if (!handle->second.bWrite) {
        return kRegAccessDenied;
    }
    if (size > 0 && !pData) {
        return kRegInvalidParam;
    }
    auto keyIt = m_keys.find(handle->second.path);
    if (keyIt == m_keys.end()) {
        return kRegInvalidHandle;
    }
    Value& value = keyIt->second[Lower(pszName)];
    value.type = type;
    value.data.assign(pData, pData + size);
    return kRegSuccess;
}

RegResult CMemorySettingsStore::CloseKey(RegKey key) {
    return m_handles.erase(key) ? kRegSuccess : kRegInvalidHandle;
}

bool CMemorySettingsStore::DeleteTree(const char* pszPath) {
    std::string path = Lower(pszPath);
    if (path.empty() || !m_keys.count(path)) {
        return false;
    }
    const std::string prefix = path + "\\";
    for (auto it = m_keys.begin(); it != m_keys.end();) {
        if (it->first == path || it->first.compare(0, prefix.size(), prefix) == 0) {
            it = m_keys.erase(it);
        } else {
            ++it;
        }
    }
    return true;
}
