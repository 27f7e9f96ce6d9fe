// The one place where the program's text meets the system's wide calls. Text
// is UTF-8 inside the program and UTF-16 in the ...W functions, so that a
// name outside the system's code page (the user's, in the program's own path
// under the user's folder) keeps every character; the ANSI (...A) functions
// would turn each such character into '?'.
#pragma once

#include <string>
#include <string_view>

// UTF-8 as UTF-16; a byte that is not UTF-8 becomes U+FFFD.
std::wstring Utf16(std::string_view strUtf8);

// UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8(std::wstring_view strUtf16);
