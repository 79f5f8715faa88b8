// Drawing with GDI: fonts from the font mapper (CreateFontIndirectA), text
// with TextOutA, shapes with pens and brushes, and images as 32-bit DIB
// sections drawn with GdiAlphaBlend, read from and written to PNG files by
// the Windows Imaging Component.
//
// GDI leaves the alpha byte of the pixels it draws on a 32-bit bitmap at 0,
// which would make them transparent. Every drawing call on a DIB section
// therefore marks the pixels it may reach (alpha 1), draws, and then makes
// the pixels that GDI wrote (alpha 0) opaque, giving the others their alpha
// back.
#include "platform/os/Drawing.h"
#include "platform/os/Pixels.h"

// Before WinApi.h, which removes macros that the COM headers use.
#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/TextConv.h"
#include "platform/os/win32/WinApi.h"

// ---------------------------------------------------------------- images

// A top-down 32-bit DIB section, with a memory device context of its own
// made on first use.
struct TBitmapImage {
    HBITMAP Bitmap = nullptr;
    std::uint32_t* Bits = nullptr;
    int Width = 0;
    int Height = 0;
    HDC Dc = nullptr;
    HGDIOBJ Previous = nullptr;
};

namespace {

// Values of <windows.h> whose names WinApi.h removes, as they clash with
// other names.
constexpr int RegionError = 0;      // ERROR
constexpr int ClearBackground = 1;  // TRANSPARENT
constexpr int FilledBackground = 2; // OPAQUE

COLORREF Rgb(TColor Color) { return static_cast<COLORREF>(ColorToRGB(Color)); }

// A GDI object deleted with its owner.
class TGdiObject {
public:
    explicit TGdiObject(HGDIOBJ Object) : FObject(Object) {
        if (!FObject) throw EOutOfMemory("Out of GDI resources");
    }
    ~TGdiObject() { DeleteObject(FObject); }
    TGdiObject(const TGdiObject&) = delete;
    TGdiObject& operator=(const TGdiObject&) = delete;
    HGDIOBJ Get() const { return FObject; }
    HBRUSH Brush() const { return static_cast<HBRUSH>(FObject); }

private:
    HGDIOBJ FObject;
};

// An object selected into a device context for the length of one step.
class TSelected {
public:
    TSelected(HDC Dc, HGDIOBJ Object) : FDc(Dc), FPrevious(SelectObject(Dc, Object)) {}
    ~TSelected() { SelectObject(FDc, FPrevious); }
    TSelected(const TSelected&) = delete;
    TSelected& operator=(const TSelected&) = delete;

private:
    HDC FDc;
    HGDIOBJ FPrevious;
};

// The images' DIB sections (all top-down: GDI does not tell the order of
// the rows of a DIB section).
struct TImages {
    std::mutex Lock;
    std::set<HBITMAP> Bitmaps;
};

TImages& Images() {
    static TImages Instance;
    return Instance;
}

bool IsImage(HBITMAP Bitmap) {
    std::lock_guard Lock(Images().Lock);
    return Images().Bitmaps.count(Bitmap) != 0;
}

// Keeps the alpha of the pixels a GDI call draws on an image (see the top of
// the file); does nothing on other device contexts. Area holds the logical
// coordinates the call may reach.
class TAlphaGuard {
public:
    TAlphaGuard(HDC Dc, const TRect& Area) {
        DIBSECTION Section{};
        auto* Bitmap = static_cast<HBITMAP>(GetCurrentObject(Dc, OBJ_BITMAP));
        if (!Bitmap || !IsImage(Bitmap) ||
            GetObjectA(Bitmap, sizeof Section, &Section) != static_cast<int>(sizeof Section) || !Section.dsBm.bmBits)
            return;
        RECT Clip;
        if (GetClipBox(Dc, &Clip) == RegionError || Clip.left >= Clip.right || Clip.top >= Clip.bottom) return;
        POINT Corners[4] = {{Area.Left, Area.Top}, {Area.Right, Area.Bottom},
                            {Clip.left, Clip.top}, {Clip.right, Clip.bottom}};
        LPtoDP(Dc, Corners, 4);
        FLeft = std::max({0L, Corners[0].x, Corners[2].x});
        FTop = std::max({0L, Corners[0].y, Corners[2].y});
        FRight = std::min({static_cast<LONG>(Section.dsBm.bmWidth), Corners[1].x, Corners[3].x});
        FBottom = std::min({static_cast<LONG>(Section.dsBm.bmHeight), Corners[1].y, Corners[3].y});
        if (FLeft >= FRight || FTop >= FBottom) return;
        FBits = static_cast<unsigned char*>(Section.dsBm.bmBits);
        FStride = Section.dsBm.bmWidthBytes;
        GdiFlush();
        FAlpha.reserve(static_cast<std::size_t>((FRight - FLeft) * (FBottom - FTop)));
        for (LONG Y = FTop; Y < FBottom; ++Y)
            for (LONG X = FLeft; X < FRight; ++X) {
                unsigned char& A = Row(Y)[X * 4 + 3];
                FAlpha.push_back(A);
                A = 1;
            }
    }
    ~TAlphaGuard() {
        if (!FBits) return;
        GdiFlush();
        std::size_t I = 0;
        for (LONG Y = FTop; Y < FBottom; ++Y)
            for (LONG X = FLeft; X < FRight; ++X, ++I) {
                unsigned char& A = Row(Y)[X * 4 + 3];
                A = A == 1 ? FAlpha[I] : 255;
            }
    }
    TAlphaGuard(const TAlphaGuard&) = delete;
    TAlphaGuard& operator=(const TAlphaGuard&) = delete;

private:
    unsigned char* Row(LONG Y) const { return FBits + static_cast<std::size_t>(Y) * FStride; }

    unsigned char* FBits = nullptr;
    LONG FStride = 0;
    LONG FLeft = 0, FTop = 0, FRight = 0, FBottom = 0;
    std::vector<unsigned char> FAlpha;
};

TRect Inflated(const TRect& R, int By) { return {R.Left - By, R.Top - By, R.Right + By, R.Bottom + By}; }

// ------------------------------------------------------------------ fonts

// The face that stands for the default name: the first of the faces the
// dialogs' layouts were drawn for that the font table has, else the
// system's dialog face.
struct TDefaultFace {
    bool Known = false;
    AnsiString Face;
};

TDefaultFace& DefaultFace() {
    static TDefaultFace Instance;
    return Instance;
}

int CALLBACK FoundFamily(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM Found) {
    *reinterpret_cast<bool*>(Found) = true;
    return 0;
}

bool HasFamily(HDC Dc, const char* Family) {
    LOGFONTA Font{};
    Font.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(Font.lfFaceName, Family, LF_FACESIZE - 1);
    bool Found = false;
    EnumFontFamiliesExA(Dc, &Font, FoundFamily, reinterpret_cast<LPARAM>(&Found), 0);
    return Found;
}

HDC MeasureDc() {
    thread_local struct TScratch {
        HDC Dc = CreateCompatibleDC(nullptr);
        ~TScratch() { DeleteDC(Dc); }
    } Scratch;
    if (!Scratch.Dc) throw EOutOfMemory("Out of GDI resources");
    return Scratch.Dc;
}

const AnsiString& DefaultFaceName() {
    TDefaultFace& D = DefaultFace();
    if (!D.Known) {
        D.Face = "MS Shell Dlg 2";
        for (const char* Face : {"Arial", DefaultFontFaces[0], DefaultFontFaces[1]})
            if (HasFamily(MeasureDc(), Face)) {
                D.Face = Face;
                break;
            }
        D.Known = true;
    }
    return D.Face;
}

HFONT NewFont(const TFontData& Data) {
    LOGFONTA Font{};
    Font.lfHeight = Data.Height == 0 ? -DefaultFontPixelHeight : Data.Height;
    Font.lfWeight = Data.Style.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    Font.lfItalic = Data.Style.Contains(fsItalic);
    Font.lfUnderline = Data.Style.Contains(fsUnderline);
    Font.lfStrikeOut = Data.Style.Contains(fsStrikeOut);
    Font.lfCharSet = Data.Charset;
    Font.lfOutPrecision = OUT_TT_PRECIS;
    Font.lfQuality = ANTIALIASED_QUALITY;
    const bool Default = Data.Name.empty() || Data.Name == DefaultFontName;
    const AnsiString& Face = Default ? DefaultFaceName() : Data.Name;
    std::strncpy(Font.lfFaceName, Face.c_str(), LF_FACESIZE - 1);
    HFONT Handle = CreateFontIndirectA(&Font);
    if (!Handle) throw EInvalidGraphicOperation(Format("Font \"%s\" cannot be loaded", {Data.Name}));
    return Handle;
}

// A font selected into a device context for the length of one step.
class TFontSelected {
public:
    TFontSelected(HDC Dc, const TFontData& Data) : FFont(NewFont(Data)), FSelected(Dc, FFont.Get()) {}

private:
    TGdiObject FFont;
    TSelected FSelected;
};

int CellHeight(HDC Dc) {
    TEXTMETRICA Metrics{};
    GetTextMetricsA(Dc, &Metrics);
    return Metrics.tmHeight;
}

// Texts are UTF-8; GDI's 8-bit calls would read them in the font's or the
// system's code page, so text is measured and drawn as UTF-16.
int Advance(HDC Dc, const std::u16string& Wide) {
    SIZE Size{};
    if (!Wide.empty())
        GetTextExtentPoint32W(Dc, reinterpret_cast<LPCWSTR>(Wide.data()), static_cast<int>(Wide.size()), &Size);
    return Size.cx;
}

int Advance(HDC Dc, const AnsiString& Text) { return Advance(Dc, Utf8ToUtf16(Text)); }

}  // namespace

TResolvedFace ResolveFontFace(const TFontData& Font) {
    HDC Dc = MeasureDc();
    TFontSelected Selected(Dc, Font);
    char Face[LF_FACESIZE] = {};
    GetTextFaceA(Dc, LF_FACESIZE, Face);
    // GDI does not say which file a face comes from.
    return {Face, {}, 0};
}

void FlushFontFaceCache() { DefaultFace() = {}; }

namespace Os {

// ------------------------------------------------------------- contexts

// Device contexts belong to their window or image; a canvas does not count
// its uses.
void ReferenceContext(TCanvasHandle) {}
void ReleaseContext(TCanvasHandle) {}

int SaveContext(TCanvasHandle Context) { return SaveDC(Context); }
void RestoreContext(TCanvasHandle Context, int Saved) { RestoreDC(Context, Saved); }

TRect ClipRect(TCanvasHandle Context) {
    RECT R{};
    if (GetClipBox(Context, &R) == RegionError) return {};
    return {R.left, R.top, R.right, R.bottom};
}

void IntersectClip(TCanvasHandle Context, const TRect& R) {
    ::IntersectClipRect(Context, R.Left, R.Top, R.Left + std::max(0, R.Width()), R.Top + std::max(0, R.Height()));
}

void Translate(TCanvasHandle Context, int X, int Y) { OffsetViewportOrgEx(Context, X, Y, nullptr); }

// ---------------------------------------------------------------- shapes

void Paint(TCanvasHandle Context, TColor Color) { FillRect(Context, ClipRect(Context), Color); }

namespace {

// Fills or frames R (GdiCall: ::FillRect or ::FrameRect) with a brush of Color.
void BrushRect(TCanvasHandle Context, const TRect& R, TColor Color, decltype(&::FillRect) GdiCall) {
    if (R.IsEmpty()) return;
    TGdiObject Brush(CreateSolidBrush(Rgb(Color)));
    const RECT Area{R.Left, R.Top, R.Right, R.Bottom};
    TAlphaGuard Guard(Context, R);
    GdiCall(Context, &Area, Brush.Brush());
}

}  // namespace

void FillRect(TCanvasHandle Context, const TRect& R, TColor Color) { BrushRect(Context, R, Color, ::FillRect); }

void FrameRect(TCanvasHandle Context, const TRect& R, TColor Color) { BrushRect(Context, R, Color, ::FrameRect); }

void Rectangle(TCanvasHandle Context, const TRect& R, int W, TColor Pen, std::optional<TColor> Fill) {
    if (W <= 0) {
        // GDI leaves the right and bottom edges out of a rectangle without a
        // pen; a fill covers all of it.
        if (Fill) FillRect(Context, R, *Fill);
        return;
    }
    TGdiObject Frame(CreatePen(PS_INSIDEFRAME, W, Rgb(Pen)));
    std::optional<TGdiObject> Inside;
    if (Fill) Inside.emplace(CreateSolidBrush(Rgb(*Fill)));
    TSelected PenSelected(Context, Frame.Get());
    TSelected BrushSelected(Context, Inside ? Inside->Get() : GetStockObject(NULL_BRUSH));
    TAlphaGuard Guard(Context, R);
    ::Rectangle(Context, R.Left, R.Top, R.Right, R.Bottom);
}

void Line(TCanvasHandle Context, TPoint From, TPoint To, int W, TColor Color) {
    if (From == To) return;
    // Flat ends, as a line of one pixel has them.
    LOGBRUSH Brush{BS_SOLID, Rgb(Color), 0};
    TGdiObject Pen(W <= 1 ? CreatePen(PS_SOLID, 1, Rgb(Color))
                          : ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT, W, &Brush, 0, nullptr));
    TSelected Selected(Context, Pen.Get());
    const TRect Box{std::min(From.X, To.X), std::min(From.Y, To.Y), std::max(From.X, To.X) + 1,
                    std::max(From.Y, To.Y) + 1};
    TAlphaGuard Guard(Context, Inflated(Box, W));
    MoveToEx(Context, From.X, From.Y, nullptr);
    LineTo(Context, To.X, To.Y);
}

void DottedFrame(TCanvasHandle Context, const TRect& R) {
    if (R.IsEmpty()) return;
    LOGBRUSH Brush{BS_SOLID, RGB(0, 0, 0), 0};
    TGdiObject Pen(ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &Brush, 0, nullptr));
    TSelected PenSelected(Context, Pen.Get());
    TSelected BrushSelected(Context, GetStockObject(NULL_BRUSH));
    TAlphaGuard Guard(Context, R);
    ::Rectangle(Context, R.Left, R.Top, R.Right, R.Bottom);
}

// ------------------------------------------------------------------ text

int TextHeight(TCanvasHandle Context, const TFontData& Font) {
    HDC Dc = Context ? Context : MeasureDc();
    TFontSelected Selected(Dc, Font);
    return CellHeight(Dc);
}

int TextWidth(TCanvasHandle Context, const TFontData& Font, const AnsiString& Text) {
    HDC Dc = Context ? Context : MeasureDc();
    TFontSelected Selected(Dc, Font);
    return Advance(Dc, Text);
}

int TextOut(TCanvasHandle Context, int X, int Y, const TFontData& Font, const AnsiString& Text,
            std::optional<TColor> Background) {
    TFontSelected Selected(Context, Font);
    const std::u16string Wide = Utf8ToUtf16(Text);
    const int Width = Advance(Context, Wide), Height = CellHeight(Context);
    const int Saved = SaveDC(Context);
    SetTextAlign(Context, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    SetTextColor(Context, Rgb(Font.Color));
    SetBkMode(Context, Background ? FilledBackground : ClearBackground);
    if (Background) SetBkColor(Context, Rgb(*Background));
    {
        // Italic and some faces reach a little past the cell.
        TAlphaGuard Guard(Context, Inflated(Bounds(X, Y, Width, Height), Height / 2 + 1));
        ::TextOutW(Context, X, Y, reinterpret_cast<LPCWSTR>(Wide.data()), static_cast<int>(Wide.size()));
    }
    RestoreDC(Context, Saved);
    return Width;
}

// ---------------------------------------------------------------- images

TBitmapImage* CreateImage(int Width, int Height) {
    BITMAPINFO Info{};
    Info.bmiHeader.biSize = sizeof Info.bmiHeader;
    Info.bmiHeader.biWidth = Width;
    Info.bmiHeader.biHeight = -Height;  // top-down
    Info.bmiHeader.biPlanes = 1;
    Info.bmiHeader.biBitCount = 32;
    Info.bmiHeader.biCompression = BI_RGB;
    void* Bits = nullptr;
    HBITMAP Bitmap = CreateDIBSection(nullptr, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0);
    if (!Bitmap || !Bits) {
        if (Bitmap) DeleteObject(Bitmap);
        throw EOutOfMemory(Format("Out of memory for a bitmap of %d x %d", {Width, Height}));
    }
    std::memset(Bits, 0, static_cast<std::size_t>(Width) * Height * 4);
    {
        std::lock_guard Lock(Images().Lock);
        Images().Bitmaps.insert(Bitmap);
    }
    return new TBitmapImage{Bitmap, static_cast<std::uint32_t*>(Bits), Width, Height};
}

void DestroyImage(TBitmapImage* Image) {
    if (!Image) return;
    if (Image->Dc) {
        SelectObject(Image->Dc, Image->Previous);
        DeleteDC(Image->Dc);
    }
    {
        std::lock_guard Lock(Images().Lock);
        Images().Bitmaps.erase(Image->Bitmap);
    }
    DeleteObject(Image->Bitmap);
    delete Image;
}

int ImageWidth(const TBitmapImage* Image) { return Image->Width; }
int ImageHeight(const TBitmapImage* Image) { return Image->Height; }

std::uint32_t ImagePixel(const TBitmapImage* Image, int X, int Y) {
    GdiFlush();
    return Image->Bits[static_cast<std::size_t>(Y) * Image->Width + X];
}

TCanvasHandle ImageContext(TBitmapImage* Image) {
    if (!Image->Dc) {
        HDC Dc = CreateCompatibleDC(nullptr);
        if (!Dc) throw EOutOfMemory("Out of GDI resources");
        Image->Previous = SelectObject(Dc, Image->Bitmap);
        Image->Dc = Dc;
    }
    return Image->Dc;
}

void CopyImage(TBitmapImage* Dest, const TBitmapImage* Source) {
    GdiFlush();
    std::memcpy(Dest->Bits, Source->Bits, static_cast<std::size_t>(Source->Width) * Source->Height * 4);
}

namespace {

// A COM interface released with its owner.
template <class T>
class TComPtr {
public:
    TComPtr() = default;
    ~TComPtr() {
        if (FPointer) FPointer->Release();
    }
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;
    T** operator&() { return &FPointer; }
    T* operator->() const { return FPointer; }
    T* Get() const { return FPointer; }

private:
    T* FPointer = nullptr;
};

// COM on the calling thread for the length of one step (as it is, when the
// thread already runs it in another mode).
class TComScope {
public:
    TComScope() : FResult(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~TComScope() {
        if (SUCCEEDED(FResult)) CoUninitialize();
    }
    TComScope(const TComScope&) = delete;
    TComScope& operator=(const TComScope&) = delete;

private:
    HRESULT FResult;
};

// Raises EInvalidGraphic for a failed step of reading or writing FileName.
void Check(HRESULT Result, const char* What, const AnsiString& FileName) {
    if (FAILED(Result))
        throw EInvalidGraphic(Format("Cannot %s the PNG file %s: error %.8x",
                                     {What, FileName, static_cast<unsigned>(Result)}));
}

std::wstring WideName(const AnsiString& FileName) {
    const int Length = MultiByteToWideChar(CP_ACP, 0, FileName.data(), static_cast<int>(FileName.size()), nullptr, 0);
    std::wstring Wide(static_cast<std::size_t>(Length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, FileName.data(), static_cast<int>(FileName.size()), Wide.data(), Length);
    return Wide;
}

void CreateFactory(IWICImagingFactory** Factory, const char* What, const AnsiString& FileName) {
    Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                           reinterpret_cast<void**>(Factory)),
          What, FileName);
}

}  // namespace

TBitmapImage* LoadPngImage(const AnsiString& FileName) {
    TComScope Com;
    TComPtr<IWICImagingFactory> Factory;
    CreateFactory(&Factory, "read", FileName);
    TComPtr<IWICBitmapDecoder> Decoder;
    Check(Factory->CreateDecoderFromFilename(WideName(FileName).c_str(), &GUID_ContainerFormatPng, GENERIC_READ,
                                             WICDecodeMetadataCacheOnDemand, &Decoder),
          "read", FileName);
    TComPtr<IWICBitmapFrameDecode> Frame;
    Check(Decoder->GetFrame(0, &Frame), "read", FileName);
    // The image's own layout: premultiplied BGRA.
    TComPtr<IWICFormatConverter> Converter;
    Check(Factory->CreateFormatConverter(&Converter), "read", FileName);
    Check(Converter->Initialize(Frame.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                WICBitmapPaletteTypeCustom),
          "read", FileName);
    UINT Width = 0, Height = 0;
    Check(Converter->GetSize(&Width, &Height), "read", FileName);
    if (Width == 0 || Height == 0 || Width > MaxImageSide || Height > MaxImageSide)
        throw EInvalidGraphic(Format("Cannot read the PNG file %s: invalid size %d x %d",
                                     {FileName, static_cast<int>(Width), static_cast<int>(Height)}));
    std::unique_ptr<TBitmapImage, TBitmapImageDeleter> Image(CreateImage(static_cast<int>(Width), static_cast<int>(Height)));
    Check(Converter->CopyPixels(nullptr, Width * 4, Width * Height * 4, reinterpret_cast<BYTE*>(Image->Bits)), "read",
          FileName);
    return Image.release();
}

void SavePngImage(const TBitmapImage* Image, const AnsiString& FileName) {
    if (!Image) throw EInvalidGraphic(Format("Cannot write the PNG file %s: the picture is empty", {FileName}));
    // PNG keeps straight alpha.
    GdiFlush();
    const std::size_t Count = static_cast<std::size_t>(Image->Width) * Image->Height;
    std::vector<std::uint32_t> Straight(Image->Bits, Image->Bits + Count);
    for (std::uint32_t& P : Straight) P = Os::Unpremultiply(P);
    TComScope Com;
    TComPtr<IWICImagingFactory> Factory;
    CreateFactory(&Factory, "write", FileName);
    TComPtr<IWICStream> Stream;
    Check(Factory->CreateStream(&Stream), "write", FileName);
    Check(Stream->InitializeFromFilename(WideName(FileName).c_str(), GENERIC_WRITE), "write", FileName);
    TComPtr<IWICBitmapEncoder> Encoder;
    Check(Factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &Encoder), "write", FileName);
    Check(Encoder->Initialize(Stream.Get(), WICBitmapEncoderNoCache), "write", FileName);
    TComPtr<IWICBitmapFrameEncode> Frame;
    TComPtr<IPropertyBag2> Options;
    Check(Encoder->CreateNewFrame(&Frame, &Options), "write", FileName);
    Check(Frame->Initialize(Options.Get()), "write", FileName);
    Check(Frame->SetSize(static_cast<UINT>(Image->Width), static_cast<UINT>(Image->Height)), "write", FileName);
    WICPixelFormatGUID Layout = GUID_WICPixelFormat32bppBGRA;
    Check(Frame->SetPixelFormat(&Layout), "write", FileName);
    if (!IsEqualGUID(Layout, GUID_WICPixelFormat32bppBGRA))
        throw EInvalidGraphic(Format("Cannot write the PNG file %s: no 32-bit encoder", {FileName}));
    const UINT Stride = static_cast<UINT>(Image->Width) * 4;
    Check(Frame->WritePixels(static_cast<UINT>(Image->Height), Stride, Stride * static_cast<UINT>(Image->Height),
                             reinterpret_cast<BYTE*>(Straight.data())),
          "write", FileName);
    Check(Frame->Commit(), "write", FileName);
    Check(Encoder->Commit(), "write", FileName);
}

TBitmapImage* ImageFromGdiBitmap(HBITMAP Bitmap) {
    BITMAP Info{};
    if (!Bitmap || GetObjectA(Bitmap, sizeof Info, &Info) != static_cast<int>(sizeof Info) || Info.bmWidth < 0 ||
        Info.bmHeight < 0)
        throw EInvalidGraphic("Bitmap image is not valid");
    if (Info.bmWidth > MaxImageSide || Info.bmHeight > MaxImageSide)
        throw EInvalidGraphic(Format("Invalid bitmap size %d x %d", {Info.bmWidth, Info.bmHeight}));
    if (Info.bmWidth == 0 || Info.bmHeight == 0) return nullptr;
    TBitmapImage* Image = CreateImage(Info.bmWidth, Info.bmHeight);
    BITMAPINFO Format{};
    Format.bmiHeader.biSize = sizeof Format.bmiHeader;
    Format.bmiHeader.biWidth = Info.bmWidth;
    Format.bmiHeader.biHeight = -Info.bmHeight;
    Format.bmiHeader.biPlanes = 1;
    Format.bmiHeader.biBitCount = 32;
    Format.bmiHeader.biCompression = BI_RGB;
    HDC Screen = GetDC(nullptr);
    const int Rows = GetDIBits(Screen, Bitmap, 0, static_cast<UINT>(Info.bmHeight), Image->Bits, &Format,
                               DIB_RGB_COLORS);
    ReleaseDC(nullptr, Screen);
    if (Rows != Info.bmHeight) {
        DestroyImage(Image);
        throw EInvalidGraphic("Bitmap image is not valid");
    }
    // Only a 32-bit bitmap with alpha values carries straight alpha; the
    // others are opaque. The image wants premultiplied pixels.
    const std::size_t Count = static_cast<std::size_t>(Image->Width) * Image->Height;
    const bool HasAlpha =
        Info.bmBitsPixel == 32 && std::any_of(Image->Bits, Image->Bits + Count, [](std::uint32_t P) { return P >> 24; });
    for (std::size_t I = 0; I < Count; ++I)
        Image->Bits[I] = HasAlpha ? Os::Premultiply(Image->Bits[I]) : Image->Bits[I] | 0xFF000000u;
    return Image;
}

void* NativeImage(const TBitmapImage* Image) { return Image->Bitmap; }

namespace {

// The image to draw: its own, or for a transparent one a copy without the
// pixels of its transparent colour.
struct TDrawn {
    const TBitmapImage* Image;
    std::unique_ptr<TBitmapImage, TBitmapImageDeleter> Copy;
};

TDrawn DrawnImage(const TBitmapImage* Image, bool Transparent) {
    if (!Transparent) return {Image, nullptr};
    GdiFlush();
    std::unique_ptr<TBitmapImage, TBitmapImageDeleter> Copy(CreateImage(Image->Width, Image->Height));
    const std::size_t Count = static_cast<std::size_t>(Image->Width) * Image->Height;
    const std::uint32_t Key = Image->Bits[static_cast<std::size_t>(Image->Height - 1) * Image->Width];
    for (std::size_t I = 0; I < Count; ++I) Copy->Bits[I] = Image->Bits[I] == Key ? 0 : Image->Bits[I];
    const TBitmapImage* Drawn = Copy.get();
    return {Drawn, std::move(Copy)};
}

void Blend(HDC Context, const TRect& R, const TBitmapImage* Image, bool Transparent) {
    TDrawn Drawn = DrawnImage(Image, Transparent);
    HDC Source = ImageContext(const_cast<TBitmapImage*>(Drawn.Image));
    const BLENDFUNCTION Blending{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(Context, R.Left, R.Top, R.Width(), R.Height(), Source, 0, 0, Image->Width, Image->Height,
                  Blending);
}

}  // namespace

void DrawImage(TCanvasHandle Context, int X, int Y, const TBitmapImage* Image, bool Transparent) {
    Blend(Context, Bounds(X, Y, Image->Width, Image->Height), Image, Transparent);
}

void StretchImage(TCanvasHandle Context, const TRect& R, const TBitmapImage* Image, bool Transparent) {
    Blend(Context, R, Image, Transparent);
}

}  // namespace Os
