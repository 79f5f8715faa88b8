// The GDI font table, font enumeration and device contexts of the Win32 API
// (window messages: WinMessages.h; the system directories: WinDirectories.h).
//
// On Linux the font table is the process's fontconfig configuration (the
// sandbox's private one when TYPECASK_SYSROOT is set, see
// platform/os/SysRoot.h), which the process's other font users (cairo and
// the like) share.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "platform/System.h"
#include "platform/os/WinTypes.h"

#ifndef _WIN32
// On Windows these come from <windows.h> (through WinTypes.h).

// ------------------------------------------------------------- fonts

inline constexpr int LF_FACESIZE = 32;
inline constexpr int LF_FULLFACESIZE = 64;

inline constexpr int RASTER_FONTTYPE = 0x0001;
inline constexpr int DEVICE_FONTTYPE = 0x0002;
inline constexpr int TRUETYPE_FONTTYPE = 0x0004;

inline constexpr BYTE ANSI_CHARSET = 0;
inline constexpr BYTE DEFAULT_CHARSET = 1;
inline constexpr BYTE OUT_STROKE_PRECIS = 3;
inline constexpr BYTE OUT_TT_PRECIS = 4;
inline constexpr BYTE CLIP_STROKE_PRECIS = 2;
inline constexpr BYTE PROOF_QUALITY = 2;
inline constexpr BYTE FIXED_PITCH = 1;
inline constexpr BYTE VARIABLE_PITCH = 2;
inline constexpr BYTE FF_DONTCARE = 0x00;
inline constexpr BYTE FF_ROMAN = 0x10;
inline constexpr BYTE FF_SWISS = 0x20;
inline constexpr BYTE FF_MODERN = 0x30;
inline constexpr LONG FW_NORMAL = 400;
inline constexpr LONG FW_BOLD = 700;

struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];
};

struct ENUMLOGFONTA {
    LOGFONTA elfLogFont;
    BYTE elfFullName[LF_FULLFACESIZE];
    BYTE elfStyle[LF_FACESIZE];
};

struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

// The enumeration callback: the family's ENUMLOGFONTA, its TEXTMETRICA, the
// font type bits and the caller's argument. Returning 0 stops.
using FONTENUMPROCA = int (*)(const LOGFONTA* LogFont, const TEXTMETRICA* Metric, DWORD FontType, LPARAM Data);

// Adds the fonts of a file to the process's font table (an application font
// of the current fontconfig configuration). Returns the number of faces
// added; 0 when the file is missing or holds no font. Adding a file again
// counts: it stays until it has been removed as often as it was added.
int AddFontResourceA(LPCSTR FileName);
// Takes one add of the file back; the fonts go when no add remains.
// FALSE when the file was not added.
BOOL RemoveFontResourceA(LPCSTR FileName);

// A device context of the screen (Window is nullptr) or of a window.
HDC GetDC(HWND Window);
// Releases a device context from GetDC; 1 when released, 0 for an unknown
// one.
int ReleaseDC(HWND Window, HDC Dc);
// Calls Proc once per font family of the font table (installed fonts and
// application fonts; families in name order, each once), or, when Family is
// given, once per face of that family. Fonts with TrueType outlines have
// TRUETYPE_FONTTYPE in the type bits; the text metrics are those of a 16
// pixel em. Returns the last value Proc returned (0 when it stopped the
// enumeration), or 1 when there was nothing to report.
int EnumFontFamiliesA(HDC Dc, LPCSTR Family, FONTENUMPROCA Proc, LPARAM Data);

#endif  // _WIN32

namespace Os {

// ------------------------------------------------------- a user's fonts

// How the system keeps the fonts that a user installs for good.
enum class TUserFonts {
    // The permanent installation is the user's own already: the font
    // folder and registry of the Fonts key are the user's (Linux). There is
    // nothing else to try when it is refused.
    SameAsMachine,
    // Beside the machine's Fonts folder and key, which need administrator
    // rights, a folder and key of the user's own that need none (Windows 10
    // version 1809, build 17763, and later).
    PerUser,
    // Only the machine's (older Windows): a user without administrator
    // rights cannot install a font for good.
    MachineOnly,
};
// How this system keeps a user's fonts.
TUserFonts GetUserFonts();
// The folder of the user's own fonts, made when it is missing, ending with
// the path delimiter: on Windows "%LOCALAPPDATA%\Microsoft\Windows\Fonts\",
// the local application data folder taken from the known-folder API; on
// Linux the user font folder, which the machine's installation uses too.
// Raises EOSError when it cannot be obtained or made.
AnsiString GetUserFontsFolder();

// ----------------------------------------------------------- face names

// The longest face name in bytes: lfFaceName of LOGFONTA less its zero.
inline constexpr std::size_t MaxFaceName = LF_FACESIZE - 1;

// The face name under which the font table reports Family (lfFaceName of
// LOGFONTA): the family name cut to its first whole characters that fit
// MaxFaceName bytes, as GDI cuts it. Shorter names stay as they are.
AnsiString GetFaceName(const AnsiString& Family);
// The family that FaceName selects: FaceName itself when the font table has
// a family of that name (letter case ignored) or none whose face name it is;
// otherwise the family whose face name it is, as the font mapper takes a cut
// face name for the family it was cut from.
AnsiString GetFaceFamily(const AnsiString& FaceName);

// The number of device contexts from GetDC not yet released.
int OpenDeviceContexts();

// A run of consecutive code points.
struct TUnicodeRange {
    char32_t First = 0;
    char32_t Last = 0;
    bool operator==(const TUnicodeRange&) const = default;
};
// The characters that the font table's own face of Family (its most regular
// face; letter case of the name ignored) maps to glyphs, from the face's
// character map, in ascending order. Empty when no family of that name is in
// the font table: no other family stands in for it.
std::vector<TUnicodeRange> GetFamilyUnicodeRanges(LPCSTR Family);

// The files that AddFontResourceA has added and not yet taken back, with
// their counts, in the order they were first added.
struct TAppFont {
    AnsiString FileName;
    int Count = 0;
};
std::vector<TAppFont> ApplicationFonts();

}  // namespace Os
