// National language support of the Win32 API: comparing texts by the user's
// locale and classifying characters.
//
// On Linux the user's locale is the one the environment names (LC_ALL,
// LC_COLLATE, LANG). Texts are UTF-8 whatever the locale's own encoding.
#pragma once

#include <string_view>

#include "platform/os/WinTypes.h"

#ifndef _WIN32
// On Windows these come from <windows.h> (through WinTypes.h).

using LCID = DWORD;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;

// CompareStringA flags.
inline constexpr DWORD NORM_IGNORECASE = 0x00000001;
// CompareStringA results.
inline constexpr int CSTR_LESS_THAN = 1;
inline constexpr int CSTR_EQUAL = 2;
inline constexpr int CSTR_GREATER_THAN = 3;

// Compares two texts (a negative length: up to the terminating zero) by the
// collation of Locale (only LOCALE_USER_DEFAULT is known): letters with
// accents sort beside their base letters, as the locale's language has it.
// With NORM_IGNORECASE the case of every letter, not only of ASCII ones, is
// ignored. Where the locale orders by code point (the C and POSIX locales),
// the language-neutral order of the Latin, Greek and Cyrillic letters is
// used instead: base letters first, then accents, then case. Texts equal by
// the collation but not byte for byte compare by their bytes, unless only
// the case differs and it is ignored. Returns CSTR_LESS_THAN, CSTR_EQUAL or
// CSTR_GREATER_THAN; 0 for an invalid argument (see GetLastError).
int CompareStringA(LCID Locale, DWORD Flags, LPCSTR String1, int Count1, LPCSTR String2, int Count2);

// Character type kinds of GetCharTypeW.
inline constexpr DWORD CT_CTYPE1 = 0x0001;
inline constexpr DWORD CT_CTYPE3 = 0x0004;
inline constexpr WORD C1_UPPER = 0x0001;
inline constexpr WORD C1_LOWER = 0x0002;
inline constexpr WORD C1_DIGIT = 0x0004;
inline constexpr WORD C1_SPACE = 0x0008;
inline constexpr WORD C1_PUNCT = 0x0010;
inline constexpr WORD C1_CNTRL = 0x0020;
inline constexpr WORD C1_BLANK = 0x0040;
inline constexpr WORD C1_ALPHA = 0x0100;
inline constexpr WORD C1_DEFINED = 0x0200;
inline constexpr WORD C3_NONSPACING = 0x0001;

#endif  // _WIN32

namespace Os {

// CompareStringA for the class library's texts, which are UTF-8 whatever the
// system's 8-bit code page: by the user's locale, NORM_IGNORECASE allowed in
// Flags; CSTR_LESS_THAN, CSTR_EQUAL or CSTR_GREATER_THAN, 0 on failure.
int CompareUtf8(DWORD Flags, std::string_view A, std::string_view B);

// The classes of one character: C1_ bits for CT_CTYPE1, C3_NONSPACING for
// CT_CTYPE3 (a mark drawn on the character before it). By the Unicode
// character data, independent of the user's locale. Private-use characters
// count as defined punctuation (symbols of their font).
WORD GetCharTypeW(DWORD InfoType, char32_t Char);

}  // namespace Os
