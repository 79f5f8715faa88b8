// The font table on POSIX: the files of AddFontResourceA as application
// fonts of the process's fontconfig configuration (FontConfiguration.cpp),
// and the screen device context that enumerates it.
#include <fontconfig/fontconfig.h>
#include <fontconfig/fcfreetype.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/TextConv.h"
#include "platform/SysUtils.h"
#include "platform/os/Windows.h"
#include "platform/os/posix/FontState.h"
#include "platform/os/posix/OsState.h"

namespace Os::Posix {

namespace {

constexpr int NominalEm = 16;  // text metrics are reported for a 16 pixel em

std::string PatternString(FcPattern* P, const char* Object, int Index = 0) {
    FcChar8* Value = nullptr;
    if (FcPatternGetString(P, Object, Index, &Value) != FcResultMatch || !Value) return {};
    return reinterpret_cast<const char*>(Value);
}

// A name (family, full name, style) as text: fontconfig hands on whatever
// bytes the font's name records hold, which need not be UTF-8.
std::string PatternName(FcPattern* P, const char* Object) { return ValidUtf8(PatternString(P, Object)); }

int PatternInt(FcPattern* P, const char* Object, int Default) {
    int Value = 0;
    return FcPatternGetInteger(P, Object, 0, &Value) == FcResultMatch ? Value : Default;
}

bool PatternBool(FcPattern* P, const char* Object, bool Default) {
    FcBool Value = FcFalse;
    return FcPatternGetBool(P, Object, 0, &Value) == FcResultMatch ? Value != FcFalse : Default;
}

bool IsTrueType(FcPattern* P) {
    return PatternString(P, FC_FONTFORMAT) == "TrueType" && PatternBool(P, FC_OUTLINE, true);
}

std::string NormalPath(const char* FileName) {
    std::error_code Ec;
    auto Abs = std::filesystem::absolute(FileName, Ec);
    if (Ec) return FileName;
    return Abs.lexically_normal().string();
}

// The first whole characters of Text that fit N - 1 bytes, zero-terminated.
template <std::size_t N, class TChar>
void CopyName(TChar (&Out)[N], const std::string& Text) {
    const std::size_t Len = Utf8PrefixLength(Text, N - 1);
    std::memset(Out, 0, N);
    std::memcpy(Out, Text.data(), Len);
}

LONG Scaled(double Units, double Scale) { return static_cast<LONG>(std::lround(Units * Scale)); }

TEXTMETRICA MeasureFace(TFontState& S, FcPattern* P, bool TrueType) {
    const std::string File = PatternString(P, FC_FILE);
    const int Index = PatternInt(P, FC_INDEX, 0);
    const auto Key = std::make_pair(File, Index);
    if (auto It = S.Metrics.find(Key); It != S.Metrics.end()) return It->second.Text;

    TEXTMETRICA M{};
    M.tmHeight = NominalEm + 3;
    M.tmAscent = NominalEm * 13 / 16;
    M.tmDescent = M.tmHeight - M.tmAscent;
    M.tmAveCharWidth = NominalEm / 2;
    M.tmMaxCharWidth = NominalEm;
    M.tmWeight = FW_NORMAL;
    if (!S.FreeType && FT_Init_FreeType(&S.FreeType) != 0) S.FreeType = nullptr;
    FT_Face Face = nullptr;
    if (S.FreeType && !File.empty() && FT_New_Face(S.FreeType, File.c_str(), Index & 0xFFFF, &Face) == 0) {
        if (FT_IS_SCALABLE(Face) && Face->units_per_EM > 0) {
            const double Scale = static_cast<double>(NominalEm) / Face->units_per_EM;
            const auto* Os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(Face, FT_SFNT_OS2));
            const bool HasOs2 = Os2 && Os2->version != 0xFFFF;
            const double Ascent = HasOs2 && Os2->usWinAscent ? Os2->usWinAscent : Face->ascender;
            const double Descent = HasOs2 && Os2->usWinDescent ? Os2->usWinDescent : -Face->descender;
            M.tmAscent = Scaled(Ascent, Scale);
            M.tmDescent = Scaled(Descent, Scale);
            M.tmHeight = M.tmAscent + M.tmDescent;
            const double LineGap = Face->height - (Face->ascender - Face->descender);
            M.tmExternalLeading = std::max<LONG>(0, Scaled(LineGap, Scale));
            M.tmMaxCharWidth = Scaled(Face->max_advance_width, Scale);
            M.tmAveCharWidth = HasOs2 && Os2->xAvgCharWidth > 0 ? Scaled(Os2->xAvgCharWidth, Scale)
                                                                 : M.tmMaxCharWidth / 2;
            if (HasOs2 && Os2->usWeightClass >= 1 && Os2->usWeightClass <= 1000) M.tmWeight = Os2->usWeightClass;
        } else if (Face->num_fixed_sizes > 0) {
            M.tmHeight = Face->available_sizes[0].height;
            M.tmAscent = M.tmHeight * 4 / 5;
            M.tmDescent = M.tmHeight - M.tmAscent;
            M.tmAveCharWidth = Face->available_sizes[0].width;
            M.tmMaxCharWidth = Face->available_sizes[0].width;
        }
        FT_Done_Face(Face);
    }
    M.tmInternalLeading = std::max<LONG>(0, M.tmHeight - NominalEm);
    if (M.tmWeight == FW_NORMAL) {
        const int FcWeight = PatternInt(P, FC_WEIGHT, FC_WEIGHT_REGULAR);
        M.tmWeight = static_cast<LONG>(FcWeightToOpenType(FcWeight));
    }
    M.tmItalic = PatternInt(P, FC_SLANT, FC_SLANT_ROMAN) != FC_SLANT_ROMAN ? 1 : 0;
    M.tmDigitizedAspectX = 96;
    M.tmDigitizedAspectY = 96;
    M.tmFirstChar = 0x20;
    M.tmLastChar = 0xFF;
    M.tmDefaultChar = 0x1F;
    M.tmBreakChar = 0x20;
    const bool Mono = PatternInt(P, FC_SPACING, FC_PROPORTIONAL) >= FC_MONO;
    const bool Outline = PatternBool(P, FC_OUTLINE, true);
    // The low bit of tmPitchAndFamily is set for variable pitch, as GDI does.
    M.tmPitchAndFamily = static_cast<BYTE>((Mono ? 0 : 0x01) | (Outline ? 0x02 : 0) | (TrueType ? 0x04 : 0) |
                                           (Mono ? FF_MODERN : FF_DONTCARE));
    M.tmCharSet = ANSI_CHARSET;
    S.Metrics[Key] = {M};
    return M;
}

struct TEnumEntry {
    ENUMLOGFONTA LogFont{};
    TEXTMETRICA Metric{};
    DWORD FontType = 0;
};

// How well a face represents its family: TrueType first, then upright and
// of regular weight.
int Rank(FcPattern* P) {
    const int Weight = PatternInt(P, FC_WEIGHT, FC_WEIGHT_REGULAR);
    const int Slant = PatternInt(P, FC_SLANT, FC_SLANT_ROMAN);
    return (IsTrueType(P) ? 0 : 100000) + (Slant != FC_SLANT_ROMAN ? 10000 : 0) +
           std::abs(Weight - FC_WEIGHT_REGULAR);
}

TEnumEntry Describe(TFontState& S, FcPattern* P) {
    TEnumEntry E;
    const bool TrueType = IsTrueType(P);
    const bool Outline = PatternBool(P, FC_OUTLINE, true);
    E.FontType = TrueType ? TRUETYPE_FONTTYPE : Outline ? 0 : RASTER_FONTTYPE;
    E.Metric = MeasureFace(S, P, TrueType);
    LOGFONTA& L = E.LogFont.elfLogFont;
    L.lfHeight = E.Metric.tmHeight;
    L.lfWidth = E.Metric.tmAveCharWidth;
    L.lfWeight = E.Metric.tmWeight;
    L.lfItalic = E.Metric.tmItalic;
    L.lfCharSet = ANSI_CHARSET;
    L.lfOutPrecision = TrueType ? OUT_TT_PRECIS : OUT_STROKE_PRECIS;
    L.lfClipPrecision = CLIP_STROKE_PRECIS;
    L.lfQuality = PROOF_QUALITY;
    const bool Mono = PatternInt(P, FC_SPACING, FC_PROPORTIONAL) >= FC_MONO;
    L.lfPitchAndFamily = static_cast<BYTE>((Mono ? FIXED_PITCH : VARIABLE_PITCH) | (Mono ? FF_MODERN : FF_DONTCARE));
    const std::string Family = PatternName(P, FC_FAMILY);
    CopyName(L.lfFaceName, GetFaceName(Family));
    std::string Full = PatternName(P, FC_FULLNAME);
    CopyName(E.LogFont.elfFullName, Full.empty() ? Family : Full);
    CopyName(E.LogFont.elfStyle, PatternName(P, FC_STYLE));
    return E;
}

std::vector<TEnumEntry> Families(TFontState& S, const char* Only) {
    FcConfig* C = Config();
    const std::string Wanted = Only ? FoldCase(Only) : std::string();
    // Folded family name -> best face so far.
    std::map<std::string, FcPattern*> Best;
    std::vector<FcPattern*> Faces;
    for (const FcSetName Set : {FcSetSystem, FcSetApplication}) {
        FcFontSet* Fonts = FcConfigGetFonts(C, Set);
        if (!Fonts) continue;
        for (int I = 0; I < Fonts->nfont; ++I) {
            FcPattern* P = Fonts->fonts[I];
            const std::string Family = PatternName(P, FC_FAMILY);
            if (Family.empty()) continue;
            const std::string Folded = FoldCase(Family);
            if (Only) {
                if (Folded == Wanted) Faces.push_back(P);
                continue;
            }
            auto [It, New] = Best.emplace(Folded, P);
            if (!New && Rank(P) < Rank(It->second)) It->second = P;
        }
    }
    std::vector<TEnumEntry> Result;
    if (Only) {
        std::set<std::string> Styles;
        for (FcPattern* P : Faces)
            if (Styles.insert(FoldCase(PatternName(P, FC_STYLE))).second) Result.push_back(Describe(S, P));
    } else {
        for (const auto& [Folded, P] : Best) Result.push_back(Describe(S, P));
    }
    return Result;
}

// The ranges of a character set, in ascending order.
std::vector<TUnicodeRange> RangesOf(const FcCharSet* Set) {
    std::vector<TUnicodeRange> Ranges;
    FcChar32 Map[FC_CHARSET_MAP_SIZE];
    FcChar32 Next = 0;
    for (FcChar32 Base = FcCharSetFirstPage(Set, Map, &Next); Base != FC_CHARSET_DONE;
         Base = FcCharSetNextPage(Set, Map, &Next)) {
        for (int Word = 0; Word < FC_CHARSET_MAP_SIZE; ++Word) {
            for (int Bit = 0; Map[Word] && Bit < 32; ++Bit) {
                if (!(Map[Word] & (1u << Bit))) continue;
                const char32_t Code = Base + static_cast<char32_t>(Word * 32 + Bit);
                if (!Ranges.empty() && Ranges.back().Last + 1 == Code) Ranges.back().Last = Code;
                else Ranges.push_back({Code, Code});
            }
        }
    }
    return Ranges;
}

const std::vector<TUnicodeRange>& FamilyCoverage(TFontState& S, const std::string& Family) {
    const std::string Wanted = FoldCase(Family);
    if (auto It = S.Coverage.find(Wanted); It != S.Coverage.end()) return It->second;
    FcPattern* Best = nullptr;
    for (const FcSetName Set : {FcSetSystem, FcSetApplication}) {
        FcFontSet* Fonts = FcConfigGetFonts(Config(), Set);
        for (int I = 0; Fonts && I < Fonts->nfont; ++I) {
            FcPattern* P = Fonts->fonts[I];
            if (FoldCase(PatternString(P, FC_FAMILY)) != Wanted) continue;
            if (!Best || Rank(P) < Rank(Best)) Best = P;
        }
    }
    FcCharSet* Chars = nullptr;
    std::vector<TUnicodeRange> Ranges;
    if (Best && FcPatternGetCharSet(Best, FC_CHARSET, 0, &Chars) == FcResultMatch && Chars) Ranges = RangesOf(Chars);
    return S.Coverage.emplace(Wanted, std::move(Ranges)).first->second;
}

struct TDeviceContext {
    HWND Window = nullptr;
};

std::set<TDeviceContext*>& DeviceContexts() {
    static std::set<TDeviceContext*> Instance;
    return Instance;
}

}  // namespace

std::vector<TInstalledFontFile> InstalledTrueTypeFiles() {
    std::lock_guard Lock(StateLock());
    FcFontSet* Fonts = FcConfigGetFonts(Config(), FcSetSystem);
    // File -> (face index -> full name)
    std::map<std::string, std::map<int, std::string>> Files;
    for (int I = 0; Fonts && I < Fonts->nfont; ++I) {
        FcPattern* P = Fonts->fonts[I];
        if (!IsTrueType(P)) continue;
        const int Index = PatternInt(P, FC_INDEX, 0);
        if (Index >> 16) continue;  // a named instance of a variable font, not a face of its own
        const std::string File = PatternString(P, FC_FILE);
        if (File.empty()) continue;
        // The name record that Windows takes; fontconfig's first full name
        // may come from another record (a Macintosh-only compatible full
        // name, say) that names another face of the file.
        auto& S = State();
        auto [Known, New] = S.FullNames.try_emplace({File, Index});
        if (New) Known->second = ValidUtf8(GetFaceFullName(File, Index));
        std::string Full = Known->second;
        if (Full.empty()) Full = PatternName(P, FC_FULLNAME);
        if (Full.empty()) {
            Full = PatternName(P, FC_FAMILY);
            const std::string Style = PatternName(P, FC_STYLE);
            if (!Style.empty() && Style != "Regular") Full += " " + Style;
        }
        Files[File].emplace(Index, Full);
    }
    std::vector<TInstalledFontFile> Result;
    for (const auto& [File, Faces] : Files) {
        std::string Joined;
        for (const auto& [Index, Name] : Faces) Joined += (Joined.empty() ? "" : " & ") + Name;
        Result.push_back({File, Joined});
    }
    return Result;
}

}  // namespace Os::Posix

using namespace Os::Posix;

int AddFontResourceA(LPCSTR FileName) {
    if (!FileName || !*FileName) {
        SetError(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        return 0;
    }
    std::lock_guard Lock(StateLock());
    try {
        const std::string Path = NormalPath(FileName);
        // Only a file that FreeType reads as a font is taken.
        int Faces = 0;
        FcFontSet* Probe = FcFontSetCreate();
        const unsigned Patterns = FcFreeTypeQueryAll(Fc(Path), static_cast<unsigned>(-1), nullptr, &Faces, Probe);
        FcFontSetDestroy(Probe);
        if (Patterns == 0 || Faces <= 0) {
            SetError(static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
            return 0;
        }
        auto& S = State();
        FcConfig* C = Config();
        auto It = std::find_if(S.AppFonts.begin(), S.AppFonts.end(),
                               [&](const Os::TAppFont& F) { return F.FileName == Path; });
        if (It != S.AppFonts.end()) {
            ++It->Count;
        } else {
            if (!FcConfigAppFontAddFile(C, Fc(Path))) {
                SetError(static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
                return 0;
            }
            S.AppFonts.push_back({Path, 1});
            S.Coverage.clear();
        }
        return Faces;
    } catch (const Exception&) {
        SetError(static_cast<DWORD>(ERROR_ACCESS_DENIED));
        return 0;
    }
}

BOOL RemoveFontResourceA(LPCSTR FileName) {
    if (!FileName || !*FileName) {
        SetError(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        return FALSE;
    }
    std::lock_guard Lock(StateLock());
    auto& S = State();
    const std::string Path = NormalPath(FileName);
    auto It = std::find_if(S.AppFonts.begin(), S.AppFonts.end(),
                           [&](const Os::TAppFont& F) { return F.FileName == Path; });
    if (It == S.AppFonts.end() || !S.Config) {
        SetError(static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        return FALSE;
    }
    if (--It->Count == 0) {
        S.AppFonts.erase(It);
        // fontconfig cannot take out one application font: the set is built
        // again from the files that remain.
        FcConfigAppFontClear(S.Config);
        ReaddAppFonts(S);
        S.Coverage.clear();
    }
    return TRUE;
}

HDC GetDC(HWND Window) {
    std::lock_guard Lock(StateLock());
    auto* Dc = new TDeviceContext{Window};
    DeviceContexts().insert(Dc);
    return reinterpret_cast<HDC>(Dc);
}

int ReleaseDC(HWND, HDC Dc) {
    std::lock_guard Lock(StateLock());
    auto* Context = reinterpret_cast<TDeviceContext*>(Dc);
    if (!Dc || !DeviceContexts().erase(Context)) {
        SetError(static_cast<DWORD>(ERROR_INVALID_HANDLE));
        return 0;
    }
    delete Context;
    return 1;
}

int EnumFontFamiliesA(HDC Dc, LPCSTR Family, FONTENUMPROCA Proc, LPARAM Data) {
    std::vector<TEnumEntry> Entries;
    {
        std::lock_guard Lock(StateLock());
        if (!Dc || !DeviceContexts().contains(reinterpret_cast<TDeviceContext*>(Dc)) || !Proc) {
            SetError(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
            return 0;
        }
        try {
            Entries = Families(State(), Family && *Family ? Family : nullptr);
        } catch (const Exception&) {
            SetError(static_cast<DWORD>(ERROR_ACCESS_DENIED));
            return 0;
        }
    }
    // The procedure runs without the lock held: it may call the OS services.
    int Result = 1;
    for (const auto& E : Entries) {
        Result = Proc(&E.LogFont.elfLogFont, &E.Metric, E.FontType, Data);
        if (Result == 0) break;
    }
    return Result;
}

namespace Os {

AnsiString GetFaceFamily(const AnsiString& FaceName) {
    // A cut name fills the face name but for part of one character at most.
    if (FaceName.size() + 3 < MaxFaceName) return FaceName;
    std::lock_guard Lock(Posix::StateLock());
    FcConfig* C = Posix::Config();
    const std::string Wanted = Posix::FoldCase(FaceName);
    std::string Found;
    for (const FcSetName Set : {FcSetSystem, FcSetApplication}) {
        FcFontSet* Fonts = FcConfigGetFonts(C, Set);
        for (int I = 0; Fonts && I < Fonts->nfont; ++I) {
            const std::string Family = Posix::PatternString(Fonts->fonts[I], FC_FAMILY);
            if (Family.empty()) continue;
            if (Posix::FoldCase(Family) == Wanted) return FaceName;  // a family of that very name
            // Families that share a face name: the first in enumeration order.
            if (Family.size() > FaceName.size() && Posix::FoldCase(GetFaceName(Family)) == Wanted &&
                (Found.empty() || Posix::FoldCase(Family) < Posix::FoldCase(Found)))
                Found = Family;
        }
    }
    return Found.empty() ? FaceName : Found;
}

int OpenDeviceContexts() {
    std::lock_guard Lock(Posix::StateLock());
    return static_cast<int>(Posix::DeviceContexts().size());
}

std::vector<TAppFont> ApplicationFonts() {
    std::lock_guard Lock(Posix::StateLock());
    return Posix::State().AppFonts;
}

std::vector<TUnicodeRange> GetFamilyUnicodeRanges(LPCSTR Family) {
    if (!Family || !*Family) return {};
    std::lock_guard Lock(Posix::StateLock());
    return Posix::FamilyCoverage(Posix::State(), Family);
}

}  // namespace Os
