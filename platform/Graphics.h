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

#include "platform/GraphicsTypes.h"
#include "platform/Persistent.h"
#include "platform/SysUtils.h"
#include "platform/System.h"

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
