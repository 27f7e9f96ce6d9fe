#include "base/utf16.h"

#include <windows.h>

std::wstring Utf16(std::string_view strUtf8) {
    const int nBytes = static_cast<int>(strUtf8.size());
    const int nChars = ::MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(), nBytes, nullptr, 0);
    std::wstring strWide(static_cast<size_t>(nChars), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(), nBytes, strWide.data(), nChars);
    return strWide;
}

std::string Utf8(std::wstring_view strUtf16) {
    const int nChars = static_cast<int>(strUtf16.size());
    const int nBytes =
        ::WideCharToMultiByte(CP_UTF8, 0, strUtf16.data(), nChars, nullptr, 0, nullptr, nullptr);
    std::string strUtf8(static_cast<size_t>(nBytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, strUtf16.data(), nChars, strUtf8.data(), nBytes, nullptr,
                          nullptr);
    return strUtf8;
}
