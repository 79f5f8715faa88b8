// Drawing on the system's own graphics, for TCanvas, TBitmap and the
// widgetsets' shared painter: cairo with the faces that fontconfig matches
// (platform/os/posix/Canvas.cpp), or GDI (platform/os/win32/Canvas.cpp).
//
// A context is what a canvas draws on (TCanvasHandle: a cairo context or a
// GDI device context); an image holds a bitmap's pixels, 32 bits each,
// premultiplied 0xAARRGGBB in native byte order. The functions draw exactly
// what the TCanvas operation of the same name describes; the canvas keeps
// the font, brush, pen and pen position and hands over plain values.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/GraphicsTypes.h"

namespace Os {

// ------------------------------------------------------------ contexts

// A canvas holds a context from ReferenceContext to ReleaseContext; a
// context from ImageContext is handed back with ReleaseContext too.
void ReferenceContext(TCanvasHandle Context);
void ReleaseContext(TCanvasHandle Context);
// Saves the clip, the origin and the drawing state; RestoreContext with the
// value returned brings them back (and drops later saves).
int SaveContext(TCanvasHandle Context);
void RestoreContext(TCanvasHandle Context, int Saved);

// The part of the context that drawing reaches, in its coordinates.
TRect ClipRect(TCanvasHandle Context);
void IntersectClip(TCanvasHandle Context, const TRect& R);
// Moves the origin to (X, Y) of the present coordinates.
void Translate(TCanvasHandle Context, int X, int Y);

// ------------------------------------------------------------- shapes

// Fills the whole clip.
void Paint(TCanvasHandle Context, TColor Color);
void FillRect(TCanvasHandle Context, const TRect& R, TColor Color);
// A frame one pixel wide just inside R.
void FrameRect(TCanvasHandle Context, const TRect& R, TColor Color);
// A frame PenWidth pixels wide inside (X1, Y1)-(X2, Y2) (none for 0), the
// inside filled with Fill unless it is empty.
void Rectangle(TCanvasHandle Context, const TRect& R, int PenWidth, TColor Pen, std::optional<TColor> Fill);
// A line from From up to To, which it does not include.
void Line(TCanvasHandle Context, TPoint From, TPoint To, int Width, TColor Color);
// A dotted black frame just inside R, as a focused control shows it.
void DottedFrame(TCanvasHandle Context, const TRect& R);

// --------------------------------------------------------------- text

// The cell height (ascent plus descent) of Font; without a context on a
// context of the backend's own.
int TextHeight(TCanvasHandle Context, const TFontData& Font);
// The advance width of Text in Font; the same about the context.
int TextWidth(TCanvasHandle Context, const TFontData& Font, const AnsiString& Text);
// Writes Text in Font's colour with its top left at (X, Y), the cell filled
// with Background when given; returns the advance width.
int TextOut(TCanvasHandle Context, int X, int Y, const TFontData& Font, const AnsiString& Text,
            std::optional<TColor> Background);

// ------------------------------------------------------------- images

// The largest width and height of a bitmap: the largest signed 16-bit
// coordinate. The Linux loader of bitmap files refuses larger ones too, so
// that a TBitmap can take every bitmap it loads.
inline constexpr int MaxImageSide = 32767;

// A new image of Width x Height transparent black pixels (both from 1 to
// MaxImageSide); EOutOfMemory when there is no room.
TBitmapImage* CreateImage(int Width, int Height);
void DestroyImage(TBitmapImage* Image);
int ImageWidth(const TBitmapImage* Image);
int ImageHeight(const TBitmapImage* Image);
// The premultiplied pixel at (X, Y), inside the image.
std::uint32_t ImagePixel(const TBitmapImage* Image, int X, int Y);
// A context on the image's pixels (see ReleaseContext).
TCanvasHandle ImageContext(TBitmapImage* Image);
// Copies the pixels of Source into Dest, of the same size.
void CopyImage(TBitmapImage* Dest, const TBitmapImage* Source);
// The image of a PNG file; EInvalidGraphic when it cannot be read.
TBitmapImage* LoadPngImage(const AnsiString& FileName);
// Writes Image (null: an empty picture) as a PNG file; EInvalidGraphic when
// it cannot be written.
void SavePngImage(const TBitmapImage* Image, const AnsiString& FileName);
// A copy of a GDI bitmap's pixels (null for an empty one); EInvalidGraphic
// when the handle is no bitmap of 32 bits per pixel.
TBitmapImage* ImageFromGdiBitmap(HBITMAP Bitmap);
// The backend's own object for painters of the platform layer: the cairo
// image surface (cairo_surface_t*) or the DIB section (HBITMAP).
void* NativeImage(const TBitmapImage* Image);

// Draws Image with its top left at (X, Y), blending its alpha; with
// Transparent the pixels of its bottom-left pixel's colour stay unpainted.
void DrawImage(TCanvasHandle Context, int X, int Y, const TBitmapImage* Image, bool Transparent);
// The same, scaled into R.
void StretchImage(TCanvasHandle Context, const TRect& R, const TBitmapImage* Image, bool Transparent);

}  // namespace Os
