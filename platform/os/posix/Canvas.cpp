// Drawing with cairo: text in the faces that fontconfig matches for a font's
// name in the process's current configuration (FreeType renders them), and
// images as cairo image surfaces.
#include "platform/os/Drawing.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>

#include "platform/TextConv.h"
#include "platform/os/Pixels.h"
#include "platform/os/SysRoot.h"
#include "platform/os/WinFonts.h"
#include "platform/os/WinResources.h"

// ------------------------------------------------------------ font faces

namespace {

// Text that cairo accepts: invalid UTF-8 would put the context into an error
// state for good, so malformed pieces become U+FFFD, and so does a NUL,
// which would end the text early.
std::string CairoText(const std::string& S) {
    std::string Out;
    for (char C : ValidUtf8(S)) {
        if (C == '\0')
            AppendUtf8(Out, ReplacementChar);
        else
            Out += C;
    }
    return Out;
}

struct TFace {
    cairo_font_face_t* Face = nullptr;
    TResolvedFace Resolved;
    double CellPerEm = 1.0;  // (ascent + descent) / em, unhinted
};

struct TFaceKey {
    FcConfig* Config;
    int AppFonts;
    int SystemFonts;
    std::string Name;
    bool Bold;
    bool Italic;
    auto Tie() const { return std::tie(Config, AppFonts, SystemFonts, Name, Bold, Italic); }
    bool operator<(const TFaceKey& O) const { return Tie() < O.Tie(); }
};

struct TFaceCache {
    std::mutex Lock;
    std::map<TFaceKey, TFace> Faces;

    ~TFaceCache() { Clear(); }
    void Clear() {
        for (auto& [Key, F] : Faces) cairo_font_face_destroy(F.Face);
        Faces.clear();
    }
};

TFaceCache& FaceCache() {
    static TFaceCache Instance;
    return Instance;
}

cairo_font_options_t* SharedFontOptions() {
    // One set of options for measuring and drawing, so that rows measured
    // off screen fit the text drawn later on any surface.
    static cairo_font_options_t* Options = [] {
        cairo_font_options_t* O = cairo_font_options_create();
        cairo_font_options_set_antialias(O, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(O, CAIRO_HINT_STYLE_SLIGHT);
        cairo_font_options_set_hint_metrics(O, CAIRO_HINT_METRICS_ON);
        return O;
    }();
    return Options;
}

int FontCount(FcConfig* Config, FcSetName Set) {
    FcFontSet* Fonts = FcConfigGetFonts(Config, Set);
    return Fonts ? Fonts->nfont : 0;
}

AnsiString PatternString(FcPattern* P, const char* Object) {
    FcChar8* Value = nullptr;
    return FcPatternGetString(P, Object, 0, &Value) == FcResultMatch ? AnsiString(reinterpret_cast<char*>(Value)) : "";
}

// The cairo face for a font's name and style, matched in the current
// configuration. The caller holds the cache lock.
const TFace& LookupFace(const TFontData& Font) {
    Os::PrepareFontConfiguration();
    FcConfig* Config = FcConfigGetCurrent();
    const bool Default = Font.Name.empty() || Font.Name == DefaultFontName;
    std::string Family = Default ? "sans-serif" : Font.Name;
    TFaceKey Key{Config,
                 FontCount(Config, FcSetApplication),
                 FontCount(Config, FcSetSystem),
                 Family,
                 Font.Style.Contains(fsBold),
                 Font.Style.Contains(fsItalic)};
    auto& Cache = FaceCache();
    if (auto It = Cache.Faces.find(Key); It != Cache.Faces.end()) {
        // A configuration destroyed and a new one made at the same address
        // (a sandbox replaced) may leave entries for files that are gone.
        if (It->second.Resolved.FileName.empty() || FileExists(It->second.Resolved.FileName)) return It->second;
        cairo_font_face_destroy(It->second.Face);
        Cache.Faces.erase(It);
    }

    // A face name cut to the size of LOGFONTA's selects the family it was
    // cut from.
    if (Family != "sans-serif") Family = Os::GetFaceFamily(Family);
    FcPattern* Pattern = FcPatternCreate();
    if (!Pattern) throw EOutOfMemory("Out of memory while matching a font");
    // The dialogs' layouts were drawn for an 8-point sans with the metrics of
    // the common sans faces of desktop systems; the metric-compatible faces
    // come first, so that every caption fits its control, then the
    // configuration's own sans.
    if (Default)
        for (const char* Compatible : DefaultFontFaces)
            FcPatternAddString(Pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(Compatible));
    FcPatternAddString(Pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(Family.c_str()));
    FcPatternAddInteger(Pattern, FC_WEIGHT, Key.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(Pattern, FC_SLANT, Key.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(Config, Pattern, FcMatchPattern);
    FcDefaultSubstitute(Pattern);
    FcResult Result = FcResultNoMatch;
    FcPattern* Match = FcFontMatch(Config, Pattern, &Result);
    FcPatternDestroy(Pattern);

    TFace Face;
    if (Match) {
        Face.Resolved.Family = PatternString(Match, FC_FAMILY);
        Face.Resolved.FileName = PatternString(Match, FC_FILE);
        FcPatternGetInteger(Match, FC_INDEX, 0, &Face.Resolved.Index);
        Face.Face = cairo_ft_font_face_create_for_pattern(Match);
        FcPatternDestroy(Match);  // the face keeps its own reference
    } else {
        // No font at all in the configuration: cairo's built-in face (the
        // reserved family "@cairo:", which bypasses fontconfig) still shows
        // the text.
        Face.Face = cairo_toy_font_face_create("@cairo:",
                                               Key.Italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                                               Key.Bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    }
    if (cairo_font_face_status(Face.Face) != CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(Face.Face);
        throw EInvalidGraphicOperation(Format("Font \"%s\" cannot be loaded", {Font.Name}));
    }

    // The cell height per em, from unhinted metrics at a large size.
    cairo_surface_t* Surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* Cr = cairo_create(Surface);
    cairo_font_options_t* Options = cairo_font_options_copy(SharedFontOptions());
    cairo_font_options_set_hint_metrics(Options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(Cr, Options);
    cairo_set_font_face(Cr, Face.Face);
    cairo_set_font_size(Cr, 1000);
    cairo_font_extents_t Extents;
    cairo_font_extents(Cr, &Extents);
    cairo_font_options_destroy(Options);
    cairo_destroy(Cr);
    cairo_surface_destroy(Surface);
    if (Extents.ascent + Extents.descent > 0) Face.CellPerEm = (Extents.ascent + Extents.descent) / 1000.0;

    return Cache.Faces.emplace(Key, Face).first->second;
}

// The em size in pixels for a font on a face.
double EmPixels(const TFontData& Font, const TFace& Face) {
    if (Font.Height < 0) return -Font.Height;
    if (Font.Height == 0) return DefaultFontPixelHeight;
    return std::max(1.0, std::round(Font.Height / Face.CellPerEm));
}

// Selects Font on Cr; returns the hinted extents.
cairo_font_extents_t SelectFont(cairo_t* Cr, const TFontData& Font) {
    auto& Cache = FaceCache();
    std::lock_guard Lock(Cache.Lock);
    const TFace& Face = LookupFace(Font);
    cairo_set_font_options(Cr, SharedFontOptions());
    cairo_set_font_face(Cr, Face.Face);
    cairo_set_font_size(Cr, EmPixels(Font, Face));
    cairo_font_extents_t Extents;
    cairo_font_extents(Cr, &Extents);
    return Extents;
}

// A context for measuring text when a canvas has none.
cairo_t* MeasureContext() {
    thread_local struct TScratch {
        cairo_surface_t* Surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
        cairo_t* Cr = cairo_create(Surface);
        ~TScratch() {
            cairo_destroy(Cr);
            cairo_surface_destroy(Surface);
        }
    } Scratch;
    return Scratch.Cr;
}

void SetSourceColor(cairo_t* Cr, TColor Color) {
    TColor C = ColorToRGB(Color);
    cairo_set_source_rgb(Cr, GetRValue(C) / 255.0, GetGValue(C) / 255.0, GetBValue(C) / 255.0);
}

}  // namespace

TResolvedFace ResolveFontFace(const TFontData& Font) {
    auto& Cache = FaceCache();
    std::lock_guard Lock(Cache.Lock);
    return LookupFace(Font).Resolved;
}

void FlushFontFaceCache() {
    auto& Cache = FaceCache();
    std::lock_guard Lock(Cache.Lock);
    Cache.Clear();
}


// ------------------------------------------------------------- contexts

namespace Os {

void ReferenceContext(TCanvasHandle Context) { cairo_reference(Context); }
void ReleaseContext(TCanvasHandle Context) { cairo_destroy(Context); }

int SaveContext(TCanvasHandle Context) {
    cairo_save(Context);
    return 0;
}

void RestoreContext(TCanvasHandle Context, int) { cairo_restore(Context); }

TRect ClipRect(TCanvasHandle Context) {
    double X1, Y1, X2, Y2;
    cairo_clip_extents(Context, &X1, &Y1, &X2, &Y2);
    return {static_cast<int>(std::floor(X1)), static_cast<int>(std::floor(Y1)), static_cast<int>(std::ceil(X2)),
            static_cast<int>(std::ceil(Y2))};
}

void IntersectClip(TCanvasHandle Context, const TRect& R) {
    cairo_rectangle(Context, R.Left, R.Top, std::max(0, R.Width()), std::max(0, R.Height()));
    cairo_clip(Context);
}

void Translate(TCanvasHandle Context, int X, int Y) { cairo_translate(Context, X, Y); }

// ---------------------------------------------------------------- shapes

void Paint(TCanvasHandle Context, TColor Color) {
    SetSourceColor(Context, Color);
    cairo_paint(Context);
}

void FillRect(TCanvasHandle Context, const TRect& R, TColor Color) {
    SetSourceColor(Context, Color);
    cairo_rectangle(Context, R.Left, R.Top, R.Width(), R.Height());
    cairo_fill(Context);
}

void FrameRect(TCanvasHandle Context, const TRect& R, TColor Color) {
    SetSourceColor(Context, Color);
    cairo_rectangle(Context, R.Left + 0.5, R.Top + 0.5, R.Width() - 1, R.Height() - 1);
    cairo_set_line_width(Context, 1);
    cairo_stroke(Context);
}

void Rectangle(TCanvasHandle Context, const TRect& R, int W, TColor Pen, std::optional<TColor> Fill) {
    const int X1 = R.Left, Y1 = R.Top, X2 = R.Right, Y2 = R.Bottom;
    if (Fill && X2 - X1 > 2 * W && Y2 - Y1 > 2 * W) {
        SetSourceColor(Context, *Fill);
        cairo_rectangle(Context, X1 + W, Y1 + W, X2 - X1 - 2 * W, Y2 - Y1 - 2 * W);
        cairo_fill(Context);
    }
    if (W > 0) {
        SetSourceColor(Context, Pen);
        cairo_set_line_width(Context, W);
        cairo_rectangle(Context, X1 + W / 2.0, Y1 + W / 2.0, X2 - X1 - W, Y2 - Y1 - W);
        cairo_stroke(Context);
    }
}

void Line(TCanvasHandle Context, TPoint From, TPoint To, int W, TColor Color) {
    SetSourceColor(Context, Color);
    double Offset = W % 2 ? 0.5 : 0.0;
    cairo_set_line_width(Context, W);
    cairo_set_line_cap(Context, CAIRO_LINE_CAP_BUTT);
    // The end point is not part of the line.
    double DX = To.X - From.X, DY = To.Y - From.Y;
    double Len = std::hypot(DX, DY);
    if (Len > 0) {
        double EndX = To.X - DX / Len * 0.5, EndY = To.Y - DY / Len * 0.5;
        if (DY == 0) {
            cairo_move_to(Context, From.X, From.Y + Offset);
            cairo_line_to(Context, To.X, To.Y + Offset);
        } else if (DX == 0) {
            cairo_move_to(Context, From.X + Offset, From.Y);
            cairo_line_to(Context, To.X + Offset, To.Y);
        } else {
            cairo_move_to(Context, From.X + 0.5, From.Y + 0.5);
            cairo_line_to(Context, EndX + 0.5, EndY + 0.5);
        }
        cairo_stroke(Context);
    }
}

void DottedFrame(TCanvasHandle Cr, const TRect& R) {
    cairo_save(Cr);
    cairo_set_source_rgb(Cr, 0, 0, 0);
    cairo_set_line_width(Cr, 1);
    double Dash = 1;
    cairo_set_dash(Cr, &Dash, 1, 0);
    cairo_rectangle(Cr, R.Left + 0.5, R.Top + 0.5, R.Width() - 1, R.Height() - 1);
    cairo_stroke(Cr);
    cairo_restore(Cr);
}

// ------------------------------------------------------------------ text

int TextHeight(TCanvasHandle Context, const TFontData& FontData) {
    cairo_t* Cr = Context ? Context : MeasureContext();
    cairo_save(Cr);
    cairo_font_extents_t Font;
    try {
        Font = SelectFont(Cr, FontData);
    } catch (...) {
        cairo_restore(Cr);
        throw;
    }
    cairo_restore(Cr);
    return static_cast<int>(std::lround(Font.ascent) + std::lround(Font.descent));
}

int TextWidth(TCanvasHandle Context, const TFontData& Font, const AnsiString& Text) {
    cairo_t* Cr = Context ? Context : MeasureContext();
    std::string Utf8 = CairoText(Text);
    cairo_save(Cr);
    cairo_text_extents_t Extents{};
    try {
        SelectFont(Cr, Font);
        cairo_text_extents(Cr, Utf8.c_str(), &Extents);
    } catch (...) {
        cairo_restore(Cr);
        throw;
    }
    cairo_restore(Cr);
    return static_cast<int>(std::lround(Extents.x_advance));
}

int TextOut(TCanvasHandle Context, int X, int Y, const TFontData& FontData, const AnsiString& Text,
            std::optional<TColor> Background) {
    std::string Utf8 = CairoText(Text);
    cairo_font_extents_t Font = SelectFont(Context, FontData);
    cairo_text_extents_t Extents;
    cairo_text_extents(Context, Utf8.c_str(), &Extents);
    int Width = static_cast<int>(std::lround(Extents.x_advance));
    int Height = static_cast<int>(std::lround(Font.ascent) + std::lround(Font.descent));
    if (Background) {
        SetSourceColor(Context, *Background);
        cairo_rectangle(Context, X, Y, Width, Height);
        cairo_fill(Context);
    }
    SetSourceColor(Context, FontData.Color);
    double Baseline = Y + std::lround(Font.ascent);
    cairo_move_to(Context, X, Baseline);
    cairo_show_text(Context, Utf8.c_str());
    const TFontStyles Style = FontData.Style;
    if (Style.Contains(fsUnderline) || Style.Contains(fsStrikeOut)) {
        double Thickness = std::max(1.0, std::round(Font.height / 16));
        cairo_set_line_width(Context, Thickness);
        auto Line = [&](double Yl) {
            cairo_move_to(Context, X, Yl);
            cairo_line_to(Context, X + Width, Yl);
            cairo_stroke(Context);
        };
        if (Style.Contains(fsUnderline)) Line(Baseline + Thickness + 0.5);
        if (Style.Contains(fsStrikeOut)) Line(std::round(Baseline - Font.ascent / 3) + 0.5);
    }
    return Width;
}

}  // namespace Os

// ---------------------------------------------------------------- images

// An image surface of CAIRO_FORMAT_ARGB32 (premultiplied 0xAARRGGBB).
struct TBitmapImage {
    cairo_surface_t* Surface = nullptr;
};

namespace {

TBitmapImage* Adopt(cairo_surface_t* Surface) { return new TBitmapImage{Surface}; }

cairo_surface_t* NewSurface(int Width, int Height) {
    cairo_surface_t* Surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, Width, Height);
    if (cairo_surface_status(Surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(Surface);
        throw EOutOfMemory(Format("Out of memory for a bitmap of %d x %d", {Width, Height}));
    }
    return Surface;
}

// The surface to paint for an image (a new reference): its own, or for a
// transparent one a copy without the pixels of its transparent colour.
cairo_surface_t* DrawnSurface(const TBitmapImage* Image, bool Transparent) {
    cairo_surface_t* Own = Image->Surface;
    if (!Transparent) return cairo_surface_reference(Own);
    const int W = cairo_image_surface_get_width(Own), H = cairo_image_surface_get_height(Own);
    cairo_surface_t* Copy = NewSurface(W, H);
    cairo_surface_flush(Own);
    const int From = cairo_image_surface_get_stride(Own), To = cairo_image_surface_get_stride(Copy);
    const unsigned char* Src = cairo_image_surface_get_data(Own);
    unsigned char* Dest = cairo_image_surface_get_data(Copy);
    const std::uint32_t Key = reinterpret_cast<const std::uint32_t*>(Src + std::size_t(H - 1) * From)[0];
    for (int Y = 0; Y < H; ++Y) {
        const auto* In = reinterpret_cast<const std::uint32_t*>(Src + std::size_t(Y) * From);
        auto* Out = reinterpret_cast<std::uint32_t*>(Dest + std::size_t(Y) * To);
        for (int X = 0; X < W; ++X) Out[X] = In[X] == Key ? 0 : In[X];
    }
    cairo_surface_mark_dirty(Copy);
    return Copy;
}

}  // namespace

namespace Os {

TBitmapImage* CreateImage(int Width, int Height) { return Adopt(NewSurface(Width, Height)); }

void DestroyImage(TBitmapImage* Image) {
    if (!Image) return;
    cairo_surface_destroy(Image->Surface);
    delete Image;
}

int ImageWidth(const TBitmapImage* Image) { return cairo_image_surface_get_width(Image->Surface); }
int ImageHeight(const TBitmapImage* Image) { return cairo_image_surface_get_height(Image->Surface); }

std::uint32_t ImagePixel(const TBitmapImage* Image, int X, int Y) {
    cairo_surface_flush(Image->Surface);
    const unsigned char* Row =
        cairo_image_surface_get_data(Image->Surface) + Y * cairo_image_surface_get_stride(Image->Surface);
    return reinterpret_cast<const std::uint32_t*>(Row)[X];
}

TCanvasHandle ImageContext(TBitmapImage* Image) { return cairo_create(Image->Surface); }

void CopyImage(TBitmapImage* Dest, const TBitmapImage* Source) {
    cairo_t* Cr = cairo_create(Dest->Surface);
    cairo_set_operator(Cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(Cr, Source->Surface, 0, 0);
    cairo_paint(Cr);
    cairo_destroy(Cr);
}

TBitmapImage* LoadPngImage(const AnsiString& FileName) {
    cairo_surface_t* Png = cairo_image_surface_create_from_png(FileName.c_str());
    if (cairo_surface_status(Png) != CAIRO_STATUS_SUCCESS) {
        AnsiString Reason = cairo_status_to_string(cairo_surface_status(Png));
        cairo_surface_destroy(Png);
        throw EInvalidGraphic(Format("Cannot read the PNG file %s: %s", {FileName, Reason}));
    }
    return Adopt(Png);
}

void SavePngImage(const TBitmapImage* Image, const AnsiString& FileName) {
    cairo_surface_t* Surface = Image ? Image->Surface : nullptr;
    cairo_surface_t* Empty = nullptr;
    if (!Surface) Surface = Empty = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 0, 0);
    cairo_surface_flush(Surface);
    cairo_status_t Status = cairo_surface_write_to_png(Surface, FileName.c_str());
    if (Empty) cairo_surface_destroy(Empty);
    if (Status != CAIRO_STATUS_SUCCESS)
        throw EInvalidGraphic(Format("Cannot write the PNG file %s: %s", {FileName, cairo_status_to_string(Status)}));
}

TBitmapImage* ImageFromGdiBitmap(HBITMAP Bitmap) {
    BITMAP Info{};
    if (GetObjectA(Bitmap, sizeof Info, &Info) != static_cast<int>(sizeof Info) || Info.bmBitsPixel != 32 ||
        Info.bmWidth < 0 || Info.bmHeight < 0 || !Info.bmBits)
        throw EInvalidGraphic("Bitmap image is not valid");
    if (Info.bmWidth > MaxImageSide || Info.bmHeight > MaxImageSide)
        throw EInvalidGraphic(Format("Invalid bitmap size %d x %d", {Info.bmWidth, Info.bmHeight}));
    if (Info.bmWidth == 0 || Info.bmHeight == 0) return nullptr;
    TBitmapImage* Image = CreateImage(Info.bmWidth, Info.bmHeight);
    // The GDI pixels are straight 0xAARRGGBB; cairo wants them
    // premultiplied.
    unsigned char* Dest = cairo_image_surface_get_data(Image->Surface);
    int Stride = cairo_image_surface_get_stride(Image->Surface);
    for (int Y = 0; Y < Info.bmHeight; ++Y) {
        const auto* Src = reinterpret_cast<const std::uint32_t*>(static_cast<const unsigned char*>(Info.bmBits) +
                                                                std::size_t(Y) * Info.bmWidthBytes);
        auto* Out = reinterpret_cast<std::uint32_t*>(Dest + std::size_t(Y) * Stride);
        for (int X = 0; X < Info.bmWidth; ++X) Out[X] = Os::Premultiply(Src[X]);
    }
    cairo_surface_mark_dirty(Image->Surface);
    return Image;
}

void* NativeImage(const TBitmapImage* Image) { return Image->Surface; }

void DrawImage(TCanvasHandle Context, int X, int Y, const TBitmapImage* Image, bool Transparent) {
    cairo_surface_t* Surface = DrawnSurface(Image, Transparent);
    cairo_save(Context);
    cairo_set_source_surface(Context, Surface, X, Y);
    cairo_rectangle(Context, X, Y, ImageWidth(Image), ImageHeight(Image));
    cairo_fill(Context);
    cairo_restore(Context);
    cairo_surface_destroy(Surface);
}

void StretchImage(TCanvasHandle Context, const TRect& R, const TBitmapImage* Image, bool Transparent) {
    cairo_surface_t* Surface = DrawnSurface(Image, Transparent);
    cairo_save(Context);
    cairo_rectangle(Context, R.Left, R.Top, R.Width(), R.Height());
    cairo_clip(Context);
    cairo_translate(Context, R.Left, R.Top);
    cairo_scale(Context, static_cast<double>(R.Width()) / ImageWidth(Image),
                static_cast<double>(R.Height()) / ImageHeight(Image));
    cairo_set_source_surface(Context, Surface, 0, 0);
    cairo_paint(Context);
    cairo_restore(Context);
    cairo_surface_destroy(Surface);
}

}  // namespace Os
