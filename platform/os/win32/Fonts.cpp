// The font helpers of the OS layer on gdi32. The font table, its
// enumeration and the device contexts are the system's own.
#include <algorithm>
#include <cstring>

#include "platform/os/WinFonts.h"
#include "platform/os/win32/WinApi.h"

namespace Os {

namespace {

bool SameText(const AnsiString& A, const AnsiString& B) { return ::lstrcmpiA(A.c_str(), B.c_str()) == 0; }

int CALLBACK AddFamily(const LOGFONTA* LogFont, const TEXTMETRICA*, DWORD, LPARAM Data) {
    reinterpret_cast<std::vector<AnsiString>*>(Data)->push_back(LogFont->lfFaceName);
    return 1;
}

// Every family of the font table (the screen's), in enumeration order.
std::vector<AnsiString> Families() {
    std::vector<AnsiString> Result;
    const HDC Screen = ::GetDC(nullptr);
    if (!Screen) return Result;
    ::EnumFontFamiliesA(Screen, nullptr, AddFamily, reinterpret_cast<LPARAM>(&Result));
    ::ReleaseDC(nullptr, Screen);
    return Result;
}

}  // namespace

// GDI knows a long family by its cut face name alone and selects fonts by
// it: the face name is what selects the family.
AnsiString GetFaceFamily(const AnsiString& FaceName) { return FaceName; }

// The system keeps no count that it reports: none is kept here either.
int OpenDeviceContexts() { return 0; }

std::vector<TUnicodeRange> GetFamilyUnicodeRanges(LPCSTR Family) {
    std::vector<TUnicodeRange> Result;
    if (!Family || !*Family) return Result;
    const auto All = Families();
    if (std::none_of(All.begin(), All.end(), [&](const AnsiString& F) { return SameText(F, Family); })) return Result;
    LOGFONTA Font{};
    Font.lfHeight = -16;
    Font.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(Font.lfFaceName, Family, LF_FACESIZE - 1);
    const HFONT Handle = ::CreateFontIndirectA(&Font);
    const HDC Screen = ::GetDC(nullptr);
    if (Handle && Screen) {
        const HGDIOBJ Old = ::SelectObject(Screen, Handle);
        if (const DWORD Size = ::GetFontUnicodeRanges(Screen, nullptr)) {
            std::vector<std::uint8_t> Buffer(Size);
            auto* Set = reinterpret_cast<GLYPHSET*>(Buffer.data());
            if (::GetFontUnicodeRanges(Screen, Set))
                for (DWORD I = 0; I < Set->cRanges; ++I) {
                    const char32_t First = Set->ranges[I].wcLow;
                    Result.push_back({First, static_cast<char32_t>(First + Set->ranges[I].cGlyphs - 1)});
                }
        }
        ::SelectObject(Screen, Old);
    }
    if (Screen) ::ReleaseDC(nullptr, Screen);
    if (Handle) ::DeleteObject(Handle);
    return Result;
}

// The system counts the adds of every file itself and does not report them.
std::vector<TAppFont> ApplicationFonts() { return {}; }

}  // namespace Os
