#include "platform/Graphics.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>

#include "platform/TextConv.h"
#include "platform/os/SysRoot.h"
#include "platform/os/WinFonts.h"
#include "platform/os/Windows.h"
#include "platform/os/WinResources.h"

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

// --------------------------------------------------------- font coverage

namespace {

bool Covers(const std::vector<Os::TUnicodeRange>& Ranges, char32_t C) {
    auto It = std::upper_bound(Ranges.begin(), Ranges.end(), C,
                               [](char32_t Code, const Os::TUnicodeRange& R) { return Code < R.First; });
    return It != Ranges.begin() && std::prev(It)->Last >= C;
}

// Characters that need no glyph of the face's own to be shown.
bool IsBlankOrControl(char32_t C) {
    return (Os::GetCharTypeW(CT_CTYPE1, C) & (C1_SPACE | C1_CNTRL | C1_BLANK)) != 0 ||
           (Os::GetCharTypeW(CT_CTYPE1, C) & C1_DEFINED) == 0;
}

// A character that shows something by itself: no blank, control or mark.
bool IsVisible(char32_t C) {
    return C > 0x20 && !IsBlankOrControl(C) && (Os::GetCharTypeW(CT_CTYPE3, C) & C3_NONSPACING) == 0;
}

bool IsLetter(char32_t C) { return IsVisible(C) && (Os::GetCharTypeW(CT_CTYPE1, C) & C1_ALPHA) != 0; }

}  // namespace

bool FontCoversText(const AnsiString& Family, const AnsiString& Text) {
    const auto Ranges = Os::GetFamilyUnicodeRanges(Family.c_str());
    if (Ranges.empty()) return false;
    for (char32_t C : Utf8ToCodePoints(Text))
        if (!IsBlankOrControl(C) && !Covers(Ranges, C)) return false;
    return true;
}

AnsiString FontSampleText(const AnsiString& Family, int Count) {
    if (Count <= 0) return {};
    // Blocks of 128 code points, fullest first: letters outside the Latin
    // blocks (a script's own letters), else anything visible, else what
    // there is.
    constexpr char32_t Block = 128, LatinEnd = 0x250;
    std::map<char32_t, std::u32string> Letters, Visible;
    for (const auto& R : Os::GetFamilyUnicodeRanges(Family.c_str())) {
        for (char32_t C = R.First; C <= R.Last && C <= 0x10FFFF; ++C) {
            if (!IsVisible(C)) continue;
            auto& V = Visible[C / Block];
            if (V.size() < static_cast<std::size_t>(Count) || C >= LatinEnd) V += C;
            if (C >= LatinEnd && IsLetter(C)) Letters[C / Block] += C;
        }
    }
    auto Fullest = [](const std::map<char32_t, std::u32string>& Blocks, char32_t From) -> const std::u32string* {
        const std::u32string* Best = nullptr;
        for (const auto& [Index, Chars] : Blocks)
            if (Index * Block >= From && (!Best || Chars.size() > Best->size())) Best = &Chars;
        return Best;
    };
    const std::u32string* Chosen = Fullest(Letters, LatinEnd);
    if (!Chosen || Chosen->size() < static_cast<std::size_t>(Count)) {
        const std::u32string* Symbols = Fullest(Visible, 0x100);
        if (Symbols && (!Chosen || Symbols->size() > Chosen->size())) Chosen = Symbols;
    }
    if (!Chosen) Chosen = Fullest(Visible, 0);
    if (!Chosen) return {};
    return CodePointsToUtf8(std::u32string_view(*Chosen).substr(0, static_cast<std::size_t>(Count)));
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

void TCanvas::SetHandle(cairo_t* Context) {
    if (Context == FContext) return;
    if (FContext) {
        cairo_restore(FContext);
        cairo_destroy(FContext);
    }
    FContext = Context;
    if (FContext) {
        cairo_reference(FContext);
        cairo_save(FContext);
    }
}

void TCanvas::RequireContext(const char* Operation) const {
    if (!FContext) throw EInvalidGraphicOperation(Format("Canvas does not allow drawing (%s)", {Operation}));
}

void TCanvas::UseColor(TColor Color) { SetSourceColor(FContext, Color); }

TRect TCanvas::GetClipRect() const {
    if (!FContext) return {};
    double X1, Y1, X2, Y2;
    cairo_clip_extents(FContext, &X1, &Y1, &X2, &Y2);
    return {static_cast<int>(std::floor(X1)), static_cast<int>(std::floor(Y1)), static_cast<int>(std::ceil(X2)),
            static_cast<int>(std::ceil(Y2))};
}

void TCanvas::IntersectClipRect(const TRect& R) {
    RequireContext("IntersectClipRect");
    cairo_rectangle(FContext, R.Left, R.Top, std::max(0, R.Width()), std::max(0, R.Height()));
    cairo_clip(FContext);
}

void TCanvas::FillRect(const TRect& R) {
    RequireContext("FillRect");
    if (FBrush.GetStyle() == bsClear || R.IsEmpty()) return;
    UseColor(FBrush.GetColor());
    cairo_rectangle(FContext, R.Left, R.Top, R.Width(), R.Height());
    cairo_fill(FContext);
}

void TCanvas::FrameRect(const TRect& R) {
    RequireContext("FrameRect");
    if (R.IsEmpty()) return;
    UseColor(FBrush.GetColor());
    cairo_rectangle(FContext, R.Left + 0.5, R.Top + 0.5, R.Width() - 1, R.Height() - 1);
    cairo_set_line_width(FContext, 1);
    cairo_stroke(FContext);
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
    RequireContext("Rectangle");
    int W = FPen.GetStyle() == psClear ? 0 : FPen.GetWidth();
    if (FBrush.GetStyle() != bsClear && X2 - X1 > 2 * W && Y2 - Y1 > 2 * W) {
        UseColor(FBrush.GetColor());
        cairo_rectangle(FContext, X1 + W, Y1 + W, X2 - X1 - 2 * W, Y2 - Y1 - 2 * W);
        cairo_fill(FContext);
    }
    if (W > 0) {
        UseColor(FPen.GetColor());
        cairo_set_line_width(FContext, W);
        cairo_rectangle(FContext, X1 + W / 2.0, Y1 + W / 2.0, X2 - X1 - W, Y2 - Y1 - W);
        cairo_stroke(FContext);
    }
}

void TCanvas::LineTo(int X, int Y) {
    RequireContext("LineTo");
    if (FPen.GetStyle() != psClear) {
        UseColor(FPen.GetColor());
        int W = FPen.GetWidth();
        double Offset = W % 2 ? 0.5 : 0.0;
        cairo_set_line_width(FContext, W);
        cairo_set_line_cap(FContext, CAIRO_LINE_CAP_BUTT);
        // The end point is not part of the line.
        double DX = X - FPenPos.X, DY = Y - FPenPos.Y;
        double Len = std::hypot(DX, DY);
        if (Len > 0) {
            double EndX = X - DX / Len * 0.5, EndY = Y - DY / Len * 0.5;
            if (DY == 0) {
                cairo_move_to(FContext, FPenPos.X, FPenPos.Y + Offset);
                cairo_line_to(FContext, X, Y + Offset);
            } else if (DX == 0) {
                cairo_move_to(FContext, FPenPos.X + Offset, FPenPos.Y);
                cairo_line_to(FContext, X + Offset, Y);
            } else {
                cairo_move_to(FContext, FPenPos.X + 0.5, FPenPos.Y + 0.5);
                cairo_line_to(FContext, EndX + 0.5, EndY + 0.5);
            }
            cairo_stroke(FContext);
        }
    }
    FPenPos = {X, Y};
}

void TCanvas::TextOut(int X, int Y, const AnsiString& Text) {
    RequireContext("TextOut");
    std::string Utf8 = CairoText(Text);
    cairo_font_extents_t Font = SelectFont(FContext, FFont.GetData());
    cairo_text_extents_t Extents;
    cairo_text_extents(FContext, Utf8.c_str(), &Extents);
    int Width = static_cast<int>(std::lround(Extents.x_advance));
    int Height = static_cast<int>(std::lround(Font.ascent) + std::lround(Font.descent));
    if (FBrush.GetStyle() != bsClear) {
        UseColor(FBrush.GetColor());
        cairo_rectangle(FContext, X, Y, Width, Height);
        cairo_fill(FContext);
    }
    UseColor(FFont.GetColor());
    double Baseline = Y + std::lround(Font.ascent);
    cairo_move_to(FContext, X, Baseline);
    cairo_show_text(FContext, Utf8.c_str());
    TFontStyles Style = FFont.GetStyle();
    if (Style.Contains(fsUnderline) || Style.Contains(fsStrikeOut)) {
        double Thickness = std::max(1.0, std::round(Font.height / 16));
        cairo_set_line_width(FContext, Thickness);
        auto Line = [&](double Yl) {
            cairo_move_to(FContext, X, Yl);
            cairo_line_to(FContext, X + Width, Yl);
            cairo_stroke(FContext);
        };
        if (Style.Contains(fsUnderline)) Line(Baseline + Thickness + 0.5);
        if (Style.Contains(fsStrikeOut)) Line(std::round(Baseline - Font.ascent / 3) + 0.5);
    }
    FPenPos = {X + Width, Y};
}

void TCanvas::TextRect(const TRect& R, int X, int Y, const AnsiString& Text) {
    RequireContext("TextRect");
    cairo_save(FContext);
    cairo_rectangle(FContext, R.Left, R.Top, std::max(0, R.Width()), std::max(0, R.Height()));
    cairo_clip(FContext);
    try {
        if (FBrush.GetStyle() != bsClear) {
            UseColor(FBrush.GetColor());
            cairo_paint(FContext);
        }
        TBrushStyle Saved = FBrush.GetStyle();
        FBrush.SetStyle(bsClear);
        TextOut(X, Y, Text);
        FBrush.SetStyle(Saved);
    } catch (...) {
        cairo_restore(FContext);
        throw;
    }
    cairo_restore(FContext);
}

int TCanvas::TextHeight(const AnsiString&) {
    cairo_t* Cr = FContext ? FContext : MeasureContext();
    cairo_save(Cr);
    cairo_font_extents_t Font;
    try {
        Font = SelectFont(Cr, FFont.GetData());
    } catch (...) {
        cairo_restore(Cr);
        throw;
    }
    cairo_restore(Cr);
    return static_cast<int>(std::lround(Font.ascent) + std::lround(Font.descent));
}

int TCanvas::TextWidth(const AnsiString& Text) {
    cairo_t* Cr = FContext ? FContext : MeasureContext();
    std::string Utf8 = CairoText(Text);
    cairo_save(Cr);
    cairo_text_extents_t Extents{};
    try {
        SelectFont(Cr, FFont.GetData());
        cairo_text_extents(Cr, Utf8.c_str(), &Extents);
    } catch (...) {
        cairo_restore(Cr);
        throw;
    }
    cairo_restore(Cr);
    return static_cast<int>(std::lround(Extents.x_advance));
}

namespace {

// The surface to paint for a bitmap (a new reference): its own, or for a
// transparent bitmap a copy without the pixels of its transparent colour.
cairo_surface_t* DrawnSurface(const TBitmap* Bitmap) {
    auto* Own = static_cast<cairo_surface_t*>(Bitmap->Surface());
    if (!Bitmap->GetTransparent()) return cairo_surface_reference(Own);
    const int W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
    cairo_surface_t* Copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, W, H);
    if (cairo_surface_status(Copy) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(Copy);
        throw EOutOfMemory(Format("Out of memory for a bitmap of %d x %d", {W, H}));
    }
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

void TCanvas::Draw(int X, int Y, const TBitmap* Bitmap) {
    RequireContext("Draw");
    if (!Bitmap || Bitmap->Empty()) return;
    cairo_surface_t* Surface = DrawnSurface(Bitmap);
    cairo_save(FContext);
    cairo_set_source_surface(FContext, Surface, X, Y);
    cairo_rectangle(FContext, X, Y, Bitmap->GetWidth(), Bitmap->GetHeight());
    cairo_fill(FContext);
    cairo_restore(FContext);
    cairo_surface_destroy(Surface);
}

void TCanvas::StretchDraw(const TRect& R, const TBitmap* Bitmap) {
    RequireContext("StretchDraw");
    if (!Bitmap || Bitmap->Empty() || R.IsEmpty()) return;
    cairo_save(FContext);
    cairo_rectangle(FContext, R.Left, R.Top, R.Width(), R.Height());
    cairo_clip(FContext);
    cairo_translate(FContext, R.Left, R.Top);
    cairo_scale(FContext, static_cast<double>(R.Width()) / Bitmap->GetWidth(),
                static_cast<double>(R.Height()) / Bitmap->GetHeight());
    cairo_surface_t* Surface = DrawnSurface(Bitmap);
    cairo_set_source_surface(FContext, Surface, 0, 0);
    cairo_paint(FContext);
    cairo_restore(FContext);
    cairo_surface_destroy(Surface);
}

// ----------------------------------------------------------------- TBitmap

struct TBitmapImage {
    cairo_surface_t* Surface = nullptr;

    TBitmapImage(int Width, int Height) {
        if (Width < 0 || Height < 0 || Width > 32767 || Height > 32767)
            throw EInvalidGraphic(Format("Invalid bitmap size %d x %d", {Width, Height}));
        if (Width > 0 && Height > 0) {
            Surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, Width, Height);
            if (cairo_surface_status(Surface) != CAIRO_STATUS_SUCCESS) {
                cairo_surface_destroy(Surface);
                throw EOutOfMemory(Format("Out of memory for a bitmap of %d x %d", {Width, Height}));
            }
        }
    }
    explicit TBitmapImage(cairo_surface_t* Adopted) : Surface(Adopted) {}
    TBitmapImage(const TBitmapImage&) = delete;
    TBitmapImage& operator=(const TBitmapImage&) = delete;
    ~TBitmapImage() {
        if (Surface) cairo_surface_destroy(Surface);
    }
    int Width() const { return Surface ? cairo_image_surface_get_width(Surface) : 0; }
    int Height() const { return Surface ? cairo_image_surface_get_height(Surface) : 0; }
};

TBitmap::TBitmap() : FImage(std::make_unique<TBitmapImage>(0, 0)) {}

TBitmap::TBitmap(int Width, int Height) : FImage(std::make_unique<TBitmapImage>(Width, Height)) {}

TBitmap::~TBitmap() {
    FCanvas.reset();
    ReleaseGdiHandle();
}

int TBitmap::GetWidth() const { return FImage->Width(); }
int TBitmap::GetHeight() const { return FImage->Height(); }
void* TBitmap::Surface() const { return FImage->Surface; }

void TBitmap::SetSize(int Width, int Height) {
    if (Width == GetWidth() && Height == GetHeight()) return;
    auto Image = std::make_unique<TBitmapImage>(Width, Height);
    if (FCanvas) FCanvas->ReleaseHandle();
    ReleaseGdiHandle();
    FImage = std::move(Image);
}

std::uint32_t TBitmap::GetPixel(int X, int Y) const {
    if (X < 0 || Y < 0 || X >= GetWidth() || Y >= GetHeight())
        throw EInvalidGraphicOperation(Format("Pixel (%d, %d) lies outside the bitmap", {X, Y}));
    cairo_surface_flush(FImage->Surface);
    const unsigned char* Row =
        cairo_image_surface_get_data(FImage->Surface) + Y * cairo_image_surface_get_stride(FImage->Surface);
    std::uint32_t P = reinterpret_cast<const std::uint32_t*>(Row)[X];
    std::uint32_t A = P >> 24;
    if (A == 0) return 0;
    if (A == 255) return P;
    auto Un = [&](int Shift) { return ((((P >> Shift) & 0xFF) * 255 + A / 2) / A) << Shift; };
    return (A << 24) | Un(16) | Un(8) | Un(0);
}

TCanvas* TBitmap::GetCanvas() {
    if (!FCanvas) FCanvas = std::make_unique<TCanvas>();
    if (!FCanvas->HandleAllocated() && FImage->Surface) {
        cairo_t* Cr = cairo_create(FImage->Surface);
        FCanvas->SetHandle(Cr);
        cairo_destroy(Cr);  // the canvas holds its own reference
    }
    return FCanvas.get();
}

void TBitmap::Assign(const TBitmap& Source) {
    if (&Source == this) return;
    FTransparent = Source.FTransparent;
    SetSize(0, 0);
    SetSize(Source.GetWidth(), Source.GetHeight());
    if (Source.Empty()) return;
    cairo_t* Cr = cairo_create(FImage->Surface);
    cairo_set_operator(Cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(Cr, static_cast<cairo_surface_t*>(Source.Surface()), 0, 0);
    cairo_paint(Cr);
    cairo_destroy(Cr);
}

void TBitmap::LoadFromPngFile(const AnsiString& FileName) {
    cairo_surface_t* Png = cairo_image_surface_create_from_png(FileName.c_str());
    if (cairo_surface_status(Png) != CAIRO_STATUS_SUCCESS) {
        AnsiString Reason = cairo_status_to_string(cairo_surface_status(Png));
        cairo_surface_destroy(Png);
        throw EInvalidGraphic(Format("Cannot read the PNG file %s: %s", {FileName, Reason}));
    }
    auto Image = std::make_unique<TBitmapImage>(Png);
    if (FCanvas) FCanvas->ReleaseHandle();
    ReleaseGdiHandle();
    FImage = std::move(Image);
}

void TBitmap::SaveToPngFile(const AnsiString& FileName) const {
    cairo_surface_t* Surface = FImage->Surface;
    cairo_surface_t* Empty = nullptr;
    if (!Surface) Surface = Empty = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 0, 0);
    cairo_surface_flush(Surface);
    cairo_status_t Status = cairo_surface_write_to_png(Surface, FileName.c_str());
    if (Empty) cairo_surface_destroy(Empty);
    if (Status != CAIRO_STATUS_SUCCESS)
        throw EInvalidGraphic(Format("Cannot write the PNG file %s: %s", {FileName, cairo_status_to_string(Status)}));
}

void TBitmap::SetHandle(HBITMAP Value) {
    if (Value == FHandle) return;
    std::unique_ptr<TBitmapImage> Image;
    if (Value) {
        BITMAP Info{};
        if (GetObjectA(Value, sizeof Info, &Info) != static_cast<int>(sizeof Info) || Info.bmBitsPixel != 32 ||
            Info.bmWidth < 0 || Info.bmHeight < 0 || !Info.bmBits)
            throw EInvalidGraphic("Bitmap image is not valid");
        Image = std::make_unique<TBitmapImage>(Info.bmWidth, Info.bmHeight);
        if (Image->Surface) {
            // The GDI pixels are straight 0xAARRGGBB; cairo wants them
            // premultiplied.
            unsigned char* Dest = cairo_image_surface_get_data(Image->Surface);
            int Stride = cairo_image_surface_get_stride(Image->Surface);
            for (int Y = 0; Y < Info.bmHeight; ++Y) {
                const auto* Src = reinterpret_cast<const std::uint32_t*>(static_cast<const unsigned char*>(Info.bmBits) +
                                                                        std::size_t(Y) * Info.bmWidthBytes);
                auto* Out = reinterpret_cast<std::uint32_t*>(Dest + std::size_t(Y) * Stride);
                for (int X = 0; X < Info.bmWidth; ++X) {
                    std::uint32_t P = Src[X], A = P >> 24;
                    auto Pm = [&](int Shift) { return ((((P >> Shift) & 0xFF) * A + 127) / 255) << Shift; };
                    Out[X] = A == 255 ? P : (A << 24) | Pm(16) | Pm(8) | Pm(0);
                }
            }
            cairo_surface_mark_dirty(Image->Surface);
        }
    } else {
        Image = std::make_unique<TBitmapImage>(0, 0);
    }
    if (FCanvas) FCanvas->ReleaseHandle();
    ReleaseGdiHandle();
    FImage = std::move(Image);
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
