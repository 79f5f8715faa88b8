// The plain types of drawing: the context a canvas draws on, geometry,
// colours, the description of a font and the face it resolves to, and the
// errors of drawing. Both the class library's graphics (platform/Graphics.h)
// and the system's drawing below it (platform/os/Drawing.h, which also
// implements ResolveFontFace) use them.
#pragma once

#include <cstdint>

#include "platform/SysUtils.h"
#include "platform/System.h"
#include "platform/TypInfo.h"

// The context a canvas draws on: a cairo context on Linux, a GDI device
// context on Windows; only platform/ looks into it.
#ifdef _WIN32
struct HDC__;
using TCanvasHandle = HDC__*;
#else
typedef struct _cairo cairo_t;
using TCanvasHandle = cairo_t*;
#endif

// A bitmap's pixels as the system's drawing holds them (platform/os/Drawing.h).
struct TBitmapImage;
struct TBitmapImageDeleter {
    void operator()(TBitmapImage* Image) const;
};

// A GDI bitmap object (platform/os/WinResources.h).
struct HBITMAP__;
using HBITMAP = HBITMAP__*;

// ------------------------------------------------------------ geometry

struct TPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TPoint&) const = default;
};

// A rectangle; Right and Bottom lie just outside it.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool Contains(const TPoint& P) const { return P.X >= Left && P.X < Right && P.Y >= Top && P.Y < Bottom; }
    bool operator==(const TRect&) const = default;
};

inline TPoint Point(int X, int Y) { return {X, Y}; }
inline TRect Rect(int Left, int Top, int Right, int Bottom) { return {Left, Top, Right, Bottom}; }
inline TRect Bounds(int Left, int Top, int Width, int Height) { return {Left, Top, Left + Width, Top + Height}; }

// ------------------------------------------------------------- colours

// A colour: 0x00BBGGRR for an RGB value, or a system colour (0xFF000000
// plus the index of the screen element) that ColorToRGB resolves.
enum TColor : std::int32_t {};

namespace Detail {
constexpr TColor SysColor(int Index) { return static_cast<TColor>(0xFF000000u | static_cast<unsigned>(Index)); }
constexpr TColor Rgb(std::uint32_t Value) { return static_cast<TColor>(Value); }
}  // namespace Detail

inline constexpr TColor clScrollBar = Detail::SysColor(0);
inline constexpr TColor clBackground = Detail::SysColor(1);
inline constexpr TColor clActiveCaption = Detail::SysColor(2);
inline constexpr TColor clInactiveCaption = Detail::SysColor(3);
inline constexpr TColor clMenu = Detail::SysColor(4);
inline constexpr TColor clWindow = Detail::SysColor(5);
inline constexpr TColor clWindowFrame = Detail::SysColor(6);
inline constexpr TColor clMenuText = Detail::SysColor(7);
inline constexpr TColor clWindowText = Detail::SysColor(8);
inline constexpr TColor clCaptionText = Detail::SysColor(9);
inline constexpr TColor clActiveBorder = Detail::SysColor(10);
inline constexpr TColor clInactiveBorder = Detail::SysColor(11);
inline constexpr TColor clAppWorkSpace = Detail::SysColor(12);
inline constexpr TColor clHighlight = Detail::SysColor(13);
inline constexpr TColor clHighlightText = Detail::SysColor(14);
inline constexpr TColor clBtnFace = Detail::SysColor(15);
inline constexpr TColor clBtnShadow = Detail::SysColor(16);
inline constexpr TColor clGrayText = Detail::SysColor(17);
inline constexpr TColor clBtnText = Detail::SysColor(18);
inline constexpr TColor clInactiveCaptionText = Detail::SysColor(19);
inline constexpr TColor clBtnHighlight = Detail::SysColor(20);
inline constexpr TColor cl3DDkShadow = Detail::SysColor(21);
inline constexpr TColor cl3DLight = Detail::SysColor(22);
inline constexpr TColor clInfoText = Detail::SysColor(23);
inline constexpr TColor clInfoBk = Detail::SysColor(24);

inline constexpr TColor clBlack = Detail::Rgb(0x000000);
inline constexpr TColor clMaroon = Detail::Rgb(0x000080);
inline constexpr TColor clGreen = Detail::Rgb(0x008000);
inline constexpr TColor clOlive = Detail::Rgb(0x008080);
inline constexpr TColor clNavy = Detail::Rgb(0x800000);
inline constexpr TColor clPurple = Detail::Rgb(0x800080);
inline constexpr TColor clTeal = Detail::Rgb(0x808000);
inline constexpr TColor clGray = Detail::Rgb(0x808080);
inline constexpr TColor clSilver = Detail::Rgb(0xC0C0C0);
inline constexpr TColor clRed = Detail::Rgb(0x0000FF);
inline constexpr TColor clLime = Detail::Rgb(0x00FF00);
inline constexpr TColor clYellow = Detail::Rgb(0x00FFFF);
inline constexpr TColor clBlue = Detail::Rgb(0xFF0000);
inline constexpr TColor clFuchsia = Detail::Rgb(0xFF00FF);
inline constexpr TColor clAqua = Detail::Rgb(0xFFFF00);
inline constexpr TColor clLtGray = Detail::Rgb(0xC0C0C0);
inline constexpr TColor clDkGray = Detail::Rgb(0x808080);
inline constexpr TColor clWhite = Detail::Rgb(0xFFFFFF);
inline constexpr TColor clNone = Detail::Rgb(0x1FFFFFFF);
inline constexpr TColor clDefault = Detail::Rgb(0x20000000);

// The colours' identifiers in form data ("clWindowText").
TYPECASK_INTEGER_TYPE(TColor, {"clBlack", clBlack}, {"clMaroon", clMaroon}, {"clGreen", clGreen},
                      {"clOlive", clOlive}, {"clNavy", clNavy}, {"clPurple", clPurple}, {"clTeal", clTeal},
                      {"clGray", clGray}, {"clSilver", clSilver}, {"clRed", clRed}, {"clLime", clLime},
                      {"clYellow", clYellow}, {"clBlue", clBlue}, {"clFuchsia", clFuchsia}, {"clAqua", clAqua},
                      {"clWhite", clWhite}, {"clScrollBar", clScrollBar}, {"clBackground", clBackground},
                      {"clActiveCaption", clActiveCaption}, {"clInactiveCaption", clInactiveCaption},
                      {"clMenu", clMenu}, {"clWindow", clWindow}, {"clWindowFrame", clWindowFrame},
                      {"clMenuText", clMenuText}, {"clWindowText", clWindowText}, {"clCaptionText", clCaptionText},
                      {"clActiveBorder", clActiveBorder}, {"clInactiveBorder", clInactiveBorder},
                      {"clAppWorkSpace", clAppWorkSpace}, {"clHighlight", clHighlight},
                      {"clHighlightText", clHighlightText}, {"clBtnFace", clBtnFace}, {"clBtnShadow", clBtnShadow},
                      {"clGrayText", clGrayText}, {"clBtnText", clBtnText},
                      {"clInactiveCaptionText", clInactiveCaptionText}, {"clBtnHighlight", clBtnHighlight},
                      {"cl3DDkShadow", cl3DDkShadow}, {"cl3DLight", cl3DLight}, {"clInfoText", clInfoText},
                      {"clInfoBk", clInfoBk}, {"clNone", clNone}, {"clDefault", clDefault})

// The RGB value (0x00BBGGRR) of a colour; system colours (any with the high
// bit set; the low byte names the element) come from a fixed light theme.
// clNone and clDefault resolve to black.
TColor ColorToRGB(TColor Color);
inline constexpr TColor RGB(int R, int G, int B) {
    return static_cast<TColor>((R & 0xFF) | ((G & 0xFF) << 8) | ((B & 0xFF) << 16));
}
inline constexpr int GetRValue(TColor C) { return C & 0xFF; }
inline constexpr int GetGValue(TColor C) { return (C >> 8) & 0xFF; }
inline constexpr int GetBValue(TColor C) { return (C >> 16) & 0xFF; }

// --------------------------------------------------------------- fonts

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
TYPECASK_ENUM(TFontStyle, fsBold, fsItalic, fsUnderline, fsStrikeOut)
using TFontStyles = TSet<TFontStyle>;

// A character set number (0 to 255); form data names the known ones.
enum TFontCharset : std::uint8_t {};
TYPECASK_INTEGER_TYPE(TFontCharset, {"ANSI_CHARSET", 0}, {"DEFAULT_CHARSET", 1}, {"SYMBOL_CHARSET", 2},
                      {"MAC_CHARSET", 77}, {"SHIFTJIS_CHARSET", 128}, {"HANGEUL_CHARSET", 129},
                      {"JOHAB_CHARSET", 130}, {"GB2312_CHARSET", 134}, {"CHINESEBIG5_CHARSET", 136},
                      {"GREEK_CHARSET", 161}, {"TURKISH_CHARSET", 162}, {"VIETNAMESE_CHARSET", 163},
                      {"HEBREW_CHARSET", 177}, {"ARABIC_CHARSET", 178}, {"BALTIC_CHARSET", 186},
                      {"RUSSIAN_CHARSET", 204}, {"THAI_CHARSET", 222}, {"EASTEUROPE_CHARSET", 238},
                      {"OEM_CHARSET", 255})
inline constexpr TFontCharset DEFAULT_FONT_CHARSET = static_cast<TFontCharset>(1);  // DEFAULT_CHARSET

// The face name that stands for the platform's default dialog face: the
// first of DefaultFontFaces that is installed, else the font configuration's
// sans-serif face.
inline constexpr const char* DefaultFontName = "Default";
inline constexpr const char* DefaultFontFaces[] = {"Liberation Sans", "Arimo"};
// The pixels per inch that sizes in points are converted with.
inline constexpr int ScreenPixelsPerInch = 96;
// The em height, in pixels, of a font whose Height is 0 (the font mapper's
// default): 8 points at 96 pixels per inch.
inline constexpr int DefaultFontPixelHeight = 11;

// Everything that describes a font, as a plain value (the backends of
// the widgetsets receive fonts as this).
struct TFontData {
    AnsiString Name = DefaultFontName;
    // Negative: the em height in pixels; positive: the cell height (ascent
    // plus descent) in pixels; 0: the default height.
    int Height = -DefaultFontPixelHeight;
    TFontStyles Style;
    TColor Color = clWindowText;
    TFontCharset Charset = DEFAULT_FONT_CHARSET;
    bool operator==(const TFontData&) const = default;
};

// -------------------------------------------------------------- errors

// A picture that cannot be read or a bitmap handle that is no bitmap.
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

// A drawing operation that the graphic does not allow, such as drawing on a
// canvas that has no surface.
class EInvalidGraphicOperation : public Exception {
public:
    using Exception::Exception;
};

// The face that a font name resolves to in the current font configuration.
struct TResolvedFace {
    AnsiString Family;    // the family name of the matched face
    AnsiString FileName;  // the font file
    int Index = 0;        // the face's index inside the file
};
// Resolves a font as the canvas does when it draws text: through fontconfig
// (the process's current configuration) on Linux, through the font mapper on
// Windows.
TResolvedFace ResolveFontFace(const TFontData& Font);
// Forgets the faces resolved so far (they are otherwise resolved again when
// the font configuration changes).
void FlushFontFaceCache();
