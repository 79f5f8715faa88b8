// Character classes on kernel32.
#include "platform/os/WinNls.h"

#include "platform/TextConv.h"
#include "platform/os/win32/WinApi.h"

namespace Os {

// The system's 8-bit calls read texts in its code page: compared as UTF-16.
int CompareUtf8(DWORD Flags, std::string_view A, std::string_view B) {
    const std::u16string WideA = Utf8ToUtf16(A), WideB = Utf8ToUtf16(B);
    return ::CompareStringW(LOCALE_USER_DEFAULT, Flags, reinterpret_cast<LPCWSTR>(WideA.data()),
                            static_cast<int>(WideA.size()), reinterpret_cast<LPCWSTR>(WideB.data()),
                            static_cast<int>(WideB.size()));
}

WORD GetCharTypeW(DWORD InfoType, char32_t Char) {
    std::u16string Units;
    AppendUtf16(Units, Char);
    WORD Types[2] = {};
    if (!::GetStringTypeW(InfoType, reinterpret_cast<LPCWSTR>(Units.data()), static_cast<int>(Units.size()), Types))
        return 0;
    // Of the third kind only the one class the OS layer declares.
    if (InfoType == CT_CTYPE3) return static_cast<WORD>(Types[0] & C3_NONSPACING);
    // Private-use characters are symbols of their font: defined punctuation,
    // which the system leaves them without.
    const bool PrivateUse = (Char >= 0xE000 && Char <= 0xF8FF) || (Char >= 0xF0000 && Char <= 0x10FFFD);
    return PrivateUse ? static_cast<WORD>(Types[0] | C1_PUNCT | C1_DEFINED) : Types[0];
}

}  // namespace Os
