// Reading a font file's own names with FreeType and fontconfig.
#include "platform/os/FontFiles.h"

#include <algorithm>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <fontconfig/fontconfig.h>
#include <fontconfig/fcfreetype.h>

#include "platform/TextConv.h"

namespace Os {

namespace {

struct TLibrary {
    FT_Library Handle = nullptr;
    TLibrary() {
        if (FT_Init_FreeType(&Handle) != 0) Handle = nullptr;
    }
    ~TLibrary() {
        if (Handle) FT_Done_FreeType(Handle);
    }
};

struct TFace {
    FT_Face Handle = nullptr;
    ~TFace() {
        if (Handle) FT_Done_Face(Handle);
    }
};

// The family fontconfig gives the face: the same query it makes for the
// files it scans, so the name matches what enumeration reports.
AnsiString FamilyOf(FT_Face Face, int Index) {
    FcPattern* Pattern = FcFreeTypeQueryFace(Face, reinterpret_cast<const FcChar8*>(""), Index, nullptr);
    // The name is whatever bytes the font's name record holds; handed out as
    // text (and as the font table lists it), it must be UTF-8.
    if (!Pattern) return Face->family_name ? ValidUtf8(Face->family_name) : "";
    FcChar8* Family = nullptr;
    AnsiString Result;
    if (FcPatternGetString(Pattern, FC_FAMILY, 0, &Family) == FcResultMatch && Family)
        Result = ValidUtf8(reinterpret_cast<const char*>(Family));
    FcPatternDestroy(Pattern);
    return Result;
}

}  // namespace

std::vector<AnsiString> GetFontFileFamilies(const void* Data, std::size_t Size) {
    std::vector<AnsiString> Families;
    TLibrary Library;
    if (!Library.Handle || !Data || Size == 0) return Families;
    const auto* Bytes = static_cast<const FT_Byte*>(Data);
    FT_Long Count = 1;
    for (FT_Long Index = 0; Index < Count; ++Index) {
        TFace Face;
        if (FT_New_Memory_Face(Library.Handle, Bytes, static_cast<FT_Long>(Size), Index, &Face.Handle) != 0) break;
        Count = std::min<FT_Long>(Face.Handle->num_faces, 256);
        AnsiString Family = FamilyOf(Face.Handle, static_cast<int>(Index));
        if (!Family.empty() && std::find(Families.begin(), Families.end(), Family) == Families.end())
            Families.push_back(std::move(Family));
    }
    return Families;
}

}  // namespace Os
