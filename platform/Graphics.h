// Colours, fonts, brushes, pens, canvases and bitmaps of the class library.
//
// A canvas draws through the system's graphics (platform/os/Drawing.h): on
// Linux a cairo context, whose text uses the face that fontconfig matches for
// the font's name in the process's current configuration, so fonts that the
// process added itself (and the fonts of a sandbox) are drawn in their own
// typeface; on Windows a GDI device context.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

#include "platform/Persistent.h"
#include "platform/SysUtils.h"
#include "platform/System.h"

// The context a canvas draws on: a cairo context on Linux, a GDI device
// context on Windows; only platform/ looks into it.
#ifdef _WIN32
struct HDC__;
using TCanvasHandle = HDC__*;
#else
typedef struct _cairo cairo_t;
using TCanvasHandle = cairo_t*;
#endif

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

// Whether the installed family Family draws every character of Text other
// than blanks and controls with glyphs of its own, by its character map (a
// family that is not installed draws nothing).
bool FontCoversText(const AnsiString& Family, const AnsiString& Text);
// Up to Count characters that the installed family Family draws, to show
// what it looks like: letters of its main script, else the symbols of its
// fullest block; empty when it draws nothing visible.
AnsiString FontSampleText(const AnsiString& Family, int Count);

class TFont;
using TNotifyChange = std::function<void(TFont* Sender)>;

// A font as a persistent object: its published Charset, Color, Height,
// Name and Style are what form data stores (Size is derived from Height).
class TFont : public TPersistent {
    TYPECASK_CLASS(TFont, TPersistent)

public:
    TFont() = default;
    explicit TFont(const TFontData& Data) : FData(Data) {}
    ~TFont() override;

    void Assign(TPersistent* Source) override;
    void Assign(const TFont& Source) { SetData(Source.FData); }

    const AnsiString& GetName() const { return FData.Name; }
    void SetName(const AnsiString& Value);
    // Height in pixels (see TFontData::Height).
    int GetHeight() const { return FData.Height; }
    void SetHeight(int Value);
    // Size in points at PixelsPerInch: -Height * 72 / PixelsPerInch, rounded.
    // Setting a size sets Height to -Size * PixelsPerInch / 72; size 0 means
    // the default height.
    int GetSize() const;
    void SetSize(int Value);
    TColor GetColor() const { return FData.Color; }
    void SetColor(TColor Value);
    TFontStyles GetStyle() const { return FData.Style; }
    void SetStyle(TFontStyles Value);
    TFontCharset GetCharset() const { return FData.Charset; }
    void SetCharset(TFontCharset Value);
    int GetPixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int Value) { FPixelsPerInch = Value; }

    const TFontData& GetData() const { return FData; }
    void SetData(const TFontData& Value);

    // Called after every change.
    TNotifyChange OnChange;

protected:
    virtual void Changed();

private:
    TFontData FData;
    int FPixelsPerInch = ScreenPixelsPerInch;
};

// ------------------------------------------------------ brushes, pens

enum TBrushStyle { bsSolid, bsClear };
enum TPenStyle { psSolid, psClear };

class TBrush {
public:
    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value) { FColor = Value; if (Value != clNone && FStyle == bsClear) FStyle = bsSolid; }
    TBrushStyle GetStyle() const { return FStyle; }
    void SetStyle(TBrushStyle Value) { FStyle = Value; }
    void Assign(const TBrush& Source) { FColor = Source.FColor; FStyle = Source.FStyle; }

private:
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
};

class TPen {
public:
    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value) { FColor = Value; }
    int GetWidth() const { return FWidth; }
    void SetWidth(int Value) { FWidth = Value < 1 ? 1 : Value; }
    TPenStyle GetStyle() const { return FStyle; }
    void SetStyle(TPenStyle Value) { FStyle = Value; }
    void Assign(const TPen& Source) { FColor = Source.FColor; FWidth = Source.FWidth; FStyle = Source.FStyle; }

private:
    TColor FColor = clBlack;
    int FWidth = 1;
    TPenStyle FStyle = psSolid;
};

// ------------------------------------------------------------- canvas

class TBitmap;

// Draws with a font, a brush and a pen on a context. Without a context the
// canvas still measures text; drawing then raises EInvalidGraphicOperation.
class TCanvas {
public:
    TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;
    virtual ~TCanvas();

    TFont* GetFont() { return &FFont; }
    TBrush* GetBrush() { return &FBrush; }
    TPen* GetPen() { return &FPen; }
    const TFont* GetFont() const { return &FFont; }
    const TBrush* GetBrush() const { return &FBrush; }
    const TPen* GetPen() const { return &FPen; }

    // Starts drawing on Context (its state is saved and restored by
    // ReleaseHandle). Passing nullptr releases the current one.
    void SetHandle(TCanvasHandle Context);
    TCanvasHandle GetHandle() const { return FContext; }
    bool HandleAllocated() const { return FContext != nullptr; }
    void ReleaseHandle() { SetHandle(nullptr); }

    // The part of the canvas that drawing reaches, in canvas coordinates
    // (empty without a context).
    TRect GetClipRect() const;
    // Restricts drawing to R (until the handle is released).
    void IntersectClipRect(const TRect& R);

    void FillRect(const TRect& R);
    // Draws a frame with the pen and fills the inside with the brush.
    void Rectangle(int X1, int Y1, int X2, int Y2);
    void Rectangle(const TRect& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }
    void FrameRect(const TRect& R);
    void MoveTo(int X, int Y) { FPenPos = {X, Y}; }
    // A line with the pen from the pen position to (X, Y), which it does
    // not include; the pen position moves there.
    void LineTo(int X, int Y);
    TPoint GetPenPos() const { return FPenPos; }

    // Writes Text with its top left at (X, Y): the cell's background is
    // filled with the brush unless the brush is clear; the pen position
    // moves to the end of the text.
    void TextOut(int X, int Y, const AnsiString& Text);
    // Writes Text clipped to R, with its top left at (X, Y).
    void TextRect(const TRect& R, int X, int Y, const AnsiString& Text);
    // The cell height (ascent plus descent) of the current font.
    int TextHeight(const AnsiString& Text);
    // The advance width of Text in the current font.
    int TextWidth(const AnsiString& Text);
    TPoint TextExtent(const AnsiString& Text) { return {TextWidth(Text), TextHeight(Text)}; }

    // Draws a bitmap with its top left at (X, Y), blending its alpha; a
    // transparent bitmap leaves its transparent colour unpainted.
    void Draw(int X, int Y, const TBitmap* Bitmap);
    void StretchDraw(const TRect& R, const TBitmap* Bitmap);

private:
    void RequireContext(const char* Operation) const;
    std::optional<TColor> BrushFill() const;

    TFont FFont;
    TBrush FBrush;
    TPen FPen;
    TPoint FPenPos;
    TCanvasHandle FContext = nullptr;
    int FSaved = 0;
};

// -------------------------------------------------------------- bitmap

// A bitmap's pixels, kept by the system's graphics (platform/os/Drawing.h).
struct TBitmapImage;
struct TBitmapImageDeleter {
    void operator()(TBitmapImage* Image) const;
};

// A 32-bit bitmap (premultiplied BGRA, cairo's ARGB32) with a canvas.
class TBitmap {
public:
    TBitmap();
    TBitmap(int Width, int Height);
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;
    virtual ~TBitmap();

    int GetWidth() const;
    int GetHeight() const;
    // Changes the size; the content is lost (the new pixels are
    // transparent black).
    void SetSize(int Width, int Height);
    void SetWidth(int Value) { SetSize(Value, GetHeight()); }
    void SetHeight(int Value) { SetSize(GetWidth(), Value); }
    bool Empty() const { return GetWidth() == 0 || GetHeight() == 0; }

    // The pixel at (X, Y) as 0xAARRGGBB, not premultiplied.
    std::uint32_t GetPixel(int X, int Y) const;

    // A transparent bitmap is drawn without the pixels of its transparent
    // colour: that of its bottom-left pixel.
    bool GetTransparent() const { return FTransparent; }
    void SetTransparent(bool Value) { FTransparent = Value; }
    // The bottom-left pixel as 0xAARRGGBB; 0 for an empty bitmap.
    std::uint32_t GetTransparentColor() const { return Empty() ? 0 : GetPixel(0, GetHeight() - 1); }

    // A canvas on the bitmap's pixels.
    TCanvas* GetCanvas();

    void Assign(const TBitmap& Source);
    void LoadFromPngFile(const AnsiString& FileName);
    void SaveToPngFile(const AnsiString& FileName) const;

    // Takes a GDI bitmap handle over: its pixels become the bitmap's and the
    // handle is released with the bitmap (or the next SetHandle). Null
    // empties the bitmap.
    void SetHandle(HBITMAP Value);
    HBITMAP GetHandle() const { return FHandle; }

    // For painters of the platform layer: the cairo image surface
    // (cairo_surface_t*) on Linux, the DIB section (HBITMAP) on Windows;
    // null when empty.
    void* Surface() const;

private:
    friend class TCanvas;  // draws the pixels
    void ReleaseGdiHandle();
    void Replace(TBitmapImage* Image);

    std::unique_ptr<TBitmapImage, TBitmapImageDeleter> FImage;
    std::unique_ptr<TCanvas> FCanvas;
    HBITMAP FHandle = nullptr;
    bool FTransparent = false;
};

class TPicture {
public:
    TPicture() = default;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // The picture's bitmap, created on first use.
    TBitmap* GetBitmap();
    const TBitmap* Graphic() const { return FBitmap.get(); }
    int GetWidth() const { return FBitmap ? FBitmap->GetWidth() : 0; }
    int GetHeight() const { return FBitmap ? FBitmap->GetHeight() : 0; }
    void Clear() { FBitmap.reset(); }

private:
    std::unique_ptr<TBitmap> FBitmap;
};
