// The GDI font table and font enumeration, device contexts, window
// messages and the system directories of the Win32 API.
//
// On Linux the font table is the process's fontconfig configuration (the
// sandbox's private one when TYPECASK_SYSROOT is set, see
// platform/os/SysRoot.h), which the process's other font users (cairo and
// the like) share. Top-level windows of the process, and any other code,
// receive messages through the listener registry declared at the end.
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

// ---------------------------------------------------------- messages

#define HWND_BROADCAST (reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0xFFFFu)))
inline constexpr UINT WM_FONTCHANGE = 0x001D;

// Sends a message synchronously. To HWND_BROADCAST it goes to every
// listener (top-level windows and other subscribers) in the order they were
// added, and the call returns when all have handled it; the result is then
// 0. To a window handle it goes to that window's listeners and the result
// is the first one's. WM_FONTCHANGE brings the font configuration up to
// date (new files in the font folders are seen) before anyone receives it.
// When listeners raise, the others are still called and the first error is
// passed on afterwards.
LRESULT SendMessageA(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);

inline constexpr UINT SMTO_NORMAL = 0x0000;
inline constexpr UINT SMTO_BLOCK = 0x0001;
inline constexpr UINT SMTO_ABORTIFHUNG = 0x0002;
inline constexpr UINT SMTO_NOTIMEOUTIFNOTHUNG = 0x0008;

// Sends a message as SendMessageA does, waiting at most Timeout
// milliseconds for each receiver of another thread. Every listener runs on
// the calling thread, as a window of the caller's own thread does on
// Windows, where the timeout does not apply to it: each is called, the
// call returns when all have handled the message, and the flags change
// nothing. Result (when given) receives what SendMessageA would return.
// Returns nonzero; 0 when a window handle has no listener (last error
// ERROR_INVALID_HANDLE). Errors of listeners pass on as from SendMessageA.
LRESULT SendMessageTimeoutA(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam, UINT Flags, UINT Timeout,
                            PDWORD_PTR Result);

// ------------------------------------------------------- directories

// The temporary directory, a private per-user folder (mode 0700, created on
// first use) ending with the path delimiter. Returns the length copied
// (without the zero); when the buffer is too small, the size needed
// (with the zero) and the buffer is left alone; 0 on failure (see
// GetLastError), for instance when the folder is a symbolic link or owned by
// someone else.
DWORD GetTempPathA(DWORD BufferLength, LPSTR Buffer);
// The Windows directory, without a trailing delimiter; same conventions.
UINT GetWindowsDirectoryA(LPSTR Buffer, UINT Size);

#endif  // _WIN32

namespace Os {

// ---------------------------------------------------- window listeners

// Receives the messages sent to its window, or, for a listener added
// without a window, only broadcasts.
using TMessageListener = std::function<LRESULT(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam)>;

// Registers a listener. Top-level windows register themselves with their
// own handle; other code passes nullptr. Returns a cookie for
// RemoveBroadcastListener. A listener added while a message is being
// delivered does not receive that message.
int AddBroadcastListener(TMessageListener Listener, HWND Window = nullptr);
// Removes a listener; one removed while a message is being delivered is not
// called any more. Unknown cookies are ignored.
void RemoveBroadcastListener(int Cookie);

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
