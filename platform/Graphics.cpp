// Colours, fonts, canvases and bitmaps as the class library sees them; the
// pixels are drawn by the system's graphics (platform/os/Drawing.h).
#include "platform/Graphics.h"

#include <iterator>

#include "platform/os/Drawing.h"
#include "platform/os/Pixels.h"
#include "platform/os/WinResources.h"  // DeleteObject

// ---------------------------------------------------------------- colours

TColor ColorToRGB(TColor Color) {
    if (Color == clNone || Color == clDefault) return clBlack;
    if (Color >= 0) return static_cast<TColor>(Color & 0xFFFFFF);
    // A fixed light theme for the system colours.
    static constexpr TColor Theme[] = {
        RGB(200, 200, 200),  // clScrollBar
        RGB(0, 0, 0),        // clBackground
        RGB(153, 180, 209),  // clActiveCaption
        RGB(191, 205, 219),  // clInactiveCaption
        RGB(240, 240, 240),  // clMenu
        RGB(255, 255, 255),  // clWindow
        RGB(100, 100, 100),  // clWindowFrame
        RGB(0, 0, 0),        // clMenuText
        RGB(0, 0, 0),        // clWindowText
        RGB(0, 0, 0),        // clCaptionText
        RGB(180, 180, 180),  // clActiveBorder
        RGB(244, 247, 252),  // clInactiveBorder
        RGB(171, 171, 171),  // clAppWorkSpace
        RGB(0, 120, 215),    // clHighlight
        RGB(255, 255, 255),  // clHighlightText
        RGB(240, 240, 240),  // clBtnFace
        RGB(160, 160, 160),  // clBtnShadow
        RGB(109, 109, 109),  // clGrayText
        RGB(0, 0, 0),        // clBtnText
        RGB(0, 0, 0),        // clInactiveCaptionText
        RGB(255, 255, 255),  // clBtnHighlight
        RGB(105, 105, 105),  // cl3DDkShadow
        RGB(227, 227, 227),  // cl3DLight
        RGB(0, 0, 0),        // clInfoText
        RGB(255, 255, 225),  // clInfoBk
    };
    unsigned Index = static_cast<unsigned>(Color) & 0xFF;
    return Index < std::size(Theme) ? Theme[Index] : clBlack;
}

// ------------------------------------------------------------------- TFont

TYPECASK_IMPLEMENT_CLASS(TFont)

void TFont::Publish(TPublisher<TFont>& P) {
    P.Property("Charset", &TFont::GetCharset, &TFont::SetCharset);
    P.Property("Color", &TFont::GetColor, &TFont::SetColor);
    P.Property("Height", &TFont::GetHeight, &TFont::SetHeight);
    P.Property("Name", &TFont::GetName, &TFont::SetName);
    P.Property("Size", &TFont::GetSize, &TFont::SetSize).Stored(false);
    P.Property("Style", &TFont::GetStyle, &TFont::SetStyle);
}

TFont::~TFont() = default;

void TFont::Assign(TPersistent* Source) {
    if (auto* Font = dynamic_cast<TFont*>(Source)) {
        SetData(Font->FData);
        return;
    }
    inherited::Assign(Source);
}

void TFont::SetName(const AnsiString& Value) {
    if (FData.Name == Value) return;
    FData.Name = Value;
    Changed();
}

void TFont::SetHeight(int Value) {
    if (FData.Height == Value) return;
    FData.Height = Value;
    Changed();
}

int TFont::GetSize() const {
    // MulDiv rounding: half away from zero.
    long long N = -static_cast<long long>(FData.Height) * 72;
    long long D = FPixelsPerInch;
    return static_cast<int>(N >= 0 ? (N + D / 2) / D : -((-N + D / 2) / D));
}

void TFont::SetSize(int Value) {
    long long N = -static_cast<long long>(Value) * FPixelsPerInch;
    SetHeight(static_cast<int>(N >= 0 ? (N + 36) / 72 : -((-N + 36) / 72)));
}

void TFont::SetColor(TColor Value) {
    if (FData.Color == Value) return;
    FData.Color = Value;
    Changed();
}

void TFont::SetStyle(TFontStyles Value) {
    if (FData.Style == Value) return;
    FData.Style = Value;
    Changed();
}

void TFont::SetCharset(TFontCharset Value) {
    if (FData.Charset == Value) return;
    FData.Charset = Value;
    Changed();
}

void TFont::SetData(const TFontData& Value) {
    if (FData == Value) return;
    FData = Value;
    Changed();
}

void TFont::Changed() {
    if (OnChange) OnChange(this);
}

// ----------------------------------------------------------------- TCanvas

TCanvas::TCanvas() = default;

TCanvas::~TCanvas() { ReleaseHandle(); }

void TCanvas::SetHandle(TCanvasHandle Context) {
    if (Context == FContext) return;
    if (FContext) {
        Os::RestoreContext(FContext, FSaved);
        Os::ReleaseContext(FContext);
    }
    FContext = Context;
    if (FContext) {
        Os::ReferenceContext(FContext);
        FSaved = Os::SaveContext(FContext);
    }
}

void TCanvas::RequireContext(const char* Operation) const {
    if (!FContext) throw EInvalidGraphicOperation(Format("Canvas does not allow drawing (%s)", {Operation}));
}

std::optional<TColor> TCanvas::BrushFill() const {
    if (FBrush.GetStyle() == bsClear) return std::nullopt;
    return FBrush.GetColor();
}

TRect TCanvas::GetClipRect() const { return FContext ? Os::ClipRect(FContext) : TRect{}; }

void TCanvas::IntersectClipRect(const TRect& R) {
    RequireContext("IntersectClipRect");
    Os::IntersectClip(FContext, R);
}

void TCanvas::FillRect(const TRect& R) {
    RequireContext("FillRect");
    if (FBrush.GetStyle() == bsClear || R.IsEmpty()) return;
    Os::FillRect(FContext, R, FBrush.GetColor());
}

void TCanvas::FrameRect(const TRect& R) {
    RequireContext("FrameRect");
    if (R.IsEmpty()) return;
    Os::FrameRect(FContext, R, FBrush.GetColor());
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
    RequireContext("Rectangle");
    const int W = FPen.GetStyle() == psClear ? 0 : FPen.GetWidth();
    Os::Rectangle(FContext, {X1, Y1, X2, Y2}, W, FPen.GetColor(), BrushFill());
}

void TCanvas::LineTo(int X, int Y) {
    RequireContext("LineTo");
    if (FPen.GetStyle() != psClear) Os::Line(FContext, FPenPos, {X, Y}, FPen.GetWidth(), FPen.GetColor());
    FPenPos = {X, Y};
}

void TCanvas::TextOut(int X, int Y, const AnsiString& Text) {
    RequireContext("TextOut");
    const int Width = Os::TextOut(FContext, X, Y, FFont.GetData(), Text, BrushFill());
    FPenPos = {X + Width, Y};
}

void TCanvas::TextRect(const TRect& R, int X, int Y, const AnsiString& Text) {
    RequireContext("TextRect");
    const int Saved = Os::SaveContext(FContext);
    const TBrushStyle Style = FBrush.GetStyle();
    try {
        Os::IntersectClip(FContext, R);
        if (Style != bsClear) Os::Paint(FContext, FBrush.GetColor());
        FBrush.SetStyle(bsClear);
        TextOut(X, Y, Text);
    } catch (...) {
        FBrush.SetStyle(Style);
        Os::RestoreContext(FContext, Saved);
        throw;
    }
    FBrush.SetStyle(Style);
    Os::RestoreContext(FContext, Saved);
}

int TCanvas::TextHeight(const AnsiString&) { return Os::TextHeight(FContext, FFont.GetData()); }

int TCanvas::TextWidth(const AnsiString& Text) { return Os::TextWidth(FContext, FFont.GetData(), Text); }

void TCanvas::Draw(int X, int Y, const TBitmap* Bitmap) {
    RequireContext("Draw");
    if (!Bitmap || Bitmap->Empty()) return;
    Os::DrawImage(FContext, X, Y, Bitmap->FImage.get(), Bitmap->GetTransparent());
}

void TCanvas::StretchDraw(const TRect& R, const TBitmap* Bitmap) {
    RequireContext("StretchDraw");
    if (!Bitmap || Bitmap->Empty() || R.IsEmpty()) return;
    Os::StretchImage(FContext, R, Bitmap->FImage.get(), Bitmap->GetTransparent());
}

// ----------------------------------------------------------------- TBitmap

void TBitmapImageDeleter::operator()(TBitmapImage* Image) const { Os::DestroyImage(Image); }

namespace {

using TImagePtr = std::unique_ptr<TBitmapImage, TBitmapImageDeleter>;

// The pixels of a new bitmap; none for an empty one.
TImagePtr NewImage(int Width, int Height) {
    if (Width < 0 || Height < 0 || Width > Os::MaxImageSide || Height > Os::MaxImageSide)
        throw EInvalidGraphic(Format("Invalid bitmap size %d x %d", {Width, Height}));
    return TImagePtr(Width > 0 && Height > 0 ? Os::CreateImage(Width, Height) : nullptr);
}

}  // namespace

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int Width, int Height) : FImage(NewImage(Width, Height)) {}

TBitmap::~TBitmap() {
    FCanvas.reset();
    ReleaseGdiHandle();
}

int TBitmap::GetWidth() const { return FImage ? Os::ImageWidth(FImage.get()) : 0; }
int TBitmap::GetHeight() const { return FImage ? Os::ImageHeight(FImage.get()) : 0; }
void* TBitmap::Surface() const { return FImage ? Os::NativeImage(FImage.get()) : nullptr; }

// Puts new pixels in place of the present ones and of any GDI handle.
void TBitmap::Replace(TBitmapImage* Image) {
    TImagePtr New(Image);
    if (FCanvas) FCanvas->ReleaseHandle();
    ReleaseGdiHandle();
    FImage = std::move(New);
}

void TBitmap::SetSize(int Width, int Height) {
    if (Width == GetWidth() && Height == GetHeight()) return;
    Replace(NewImage(Width, Height).release());
}

std::uint32_t TBitmap::GetPixel(int X, int Y) const {
    if (X < 0 || Y < 0 || X >= GetWidth() || Y >= GetHeight())
        throw EInvalidGraphicOperation(Format("Pixel (%d, %d) lies outside the bitmap", {X, Y}));
    return Os::Unpremultiply(Os::ImagePixel(FImage.get(), X, Y));
}

TCanvas* TBitmap::GetCanvas() {
    if (!FCanvas) FCanvas = std::make_unique<TCanvas>();
    if (!FCanvas->HandleAllocated() && FImage) {
        TCanvasHandle Context = Os::ImageContext(FImage.get());
        FCanvas->SetHandle(Context);
        Os::ReleaseContext(Context);  // the canvas holds its own reference
    }
    return FCanvas.get();
}

void TBitmap::Assign(const TBitmap& Source) {
    if (&Source == this) return;
    FTransparent = Source.FTransparent;
    SetSize(0, 0);
    SetSize(Source.GetWidth(), Source.GetHeight());
    if (Source.Empty()) return;
    Os::CopyImage(FImage.get(), Source.FImage.get());
}

void TBitmap::LoadFromPngFile(const AnsiString& FileName) { Replace(Os::LoadPngImage(FileName)); }

void TBitmap::SaveToPngFile(const AnsiString& FileName) const { Os::SavePngImage(FImage.get(), FileName); }

void TBitmap::SetHandle(HBITMAP Value) {
    if (Value == FHandle) return;
    Replace(Value ? Os::ImageFromGdiBitmap(Value) : nullptr);
    FHandle = Value;
}

void TBitmap::ReleaseGdiHandle() {
    if (FHandle) DeleteObject(FHandle);
    FHandle = nullptr;
}

// ---------------------------------------------------------------- TPicture

TBitmap* TPicture::GetBitmap() {
    if (!FBitmap) FBitmap = std::make_unique<TBitmap>();
    return FBitmap.get();
}
