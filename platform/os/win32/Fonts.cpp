// The font helpers of the OS layer on gdi32. The font table, its
// enumeration and the device contexts are the system's own.
#include <algorithm>
#include <cstring>

#include "platform/SysUtils.h"
#include "platform/os/Files.h"
#include "platform/os/WinFonts.h"
#include "platform/os/win32/WinApi.h"

#include <knownfolders.h>
#include <shlobj.h>

// The system's own version, whatever the program's manifest claims to
// support (GetVersionExA reports Windows 8 to programs that name no later
// system).
extern "C" LONG WINAPI RtlGetVersion(RTL_OSVERSIONINFOW* Info);

namespace Os {

namespace {

// Two family names as the system compares them: letter case ignored by the
// user's locale, not for ASCII letters alone as SameText ignores it.
bool SameFamily(const AnsiString& A, const AnsiString& B) { return ::lstrcmpiA(A.c_str(), B.c_str()) == 0; }

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
    if (std::none_of(All.begin(), All.end(), [&](const AnsiString& F) { return SameFamily(F, Family); })) return Result;
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

TUserFonts GetUserFonts() {
    RTL_OSVERSIONINFOW Info{};
    Info.dwOSVersionInfoSize = sizeof Info;
    if (::RtlGetVersion(&Info) != 0) return TUserFonts::MachineOnly;
    // Fonts of a user's own came with Windows 10 version 1809.
    constexpr DWORD FirstBuildWithUserFonts = 17763;
    const bool PerUser = Info.dwMajorVersion > 10 ||
                         (Info.dwMajorVersion == 10 && Info.dwBuildNumber >= FirstBuildWithUserFonts);
    return PerUser ? TUserFonts::PerUser : TUserFonts::MachineOnly;
}

AnsiString GetUserFontsFolder() {
    PWSTR Wide = nullptr;
    const HRESULT Found = ::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &Wide);
    struct TRelease {
        PWSTR Text;
        ~TRelease() { ::CoTaskMemFree(Text); }
    } Release{Wide};
    if (FAILED(Found)) {
        const int Code = HRESULT_CODE(Found);
        throw EOSError("The local application data folder could not be obtained: " + OSErrorText(Code), Code);
    }
    // In the code page of the A functions that the path goes to.
    const int Length = ::WideCharToMultiByte(CP_ACP, 0, Wide, -1, nullptr, 0, nullptr, nullptr);
    AnsiString Folder(Length > 0 ? static_cast<std::size_t>(Length - 1) : 0, '\0');
    if (Length > 1) ::WideCharToMultiByte(CP_ACP, 0, Wide, -1, Folder.data(), Length, nullptr, nullptr);
    for (const char* Part : {"\\Microsoft", "\\Windows", "\\Fonts"}) {
        Folder += Part;
        if (!::CreateDirectoryA(Folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
            const int Code = static_cast<int>(::GetLastError());
            throw EOSError("The user's font folder " + Folder + " could not be made: " + OSErrorText(Code), Code);
        }
    }
    return Folder + "\\";
}

// The system counts the adds of every file itself and does not report them.
std::vector<TAppFont> ApplicationFonts() { return {}; }

}  // namespace Os
