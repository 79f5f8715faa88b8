// Character classes on kernel32.
#include "platform/os/WinNls.h"
#include "platform/os/win32/WinApi.h"

namespace Os {

WORD GetCharTypeW(DWORD InfoType, char32_t Char) {
    wchar_t Units[2];
    int Count = 1;
    if (Char > 0xFFFF) {
        Units[0] = static_cast<wchar_t>(0xD800 + ((Char - 0x10000) >> 10));
        Units[1] = static_cast<wchar_t>(0xDC00 + ((Char - 0x10000) & 0x3FF));
        Count = 2;
    } else {
        Units[0] = static_cast<wchar_t>(Char);
    }
    WORD Types[2] = {};
    if (!::GetStringTypeW(InfoType, Units, Count, Types)) return 0;
    return Types[0];
}

}  // namespace Os
