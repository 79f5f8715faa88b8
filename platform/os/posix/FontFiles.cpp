// Reading a font file's own names with FreeType and fontconfig.
#include "platform/os/FontFiles.h"

#include <algorithm>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <fontconfig/fontconfig.h>
#include <fontconfig/fcfreetype.h>
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H

#include "platform/os/WinResources.h"
#include "platform/os/posix/OsState.h"

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

// The text of a name record: UTF-16 (big-endian) on the Unicode and
// Windows platforms, Mac Roman text of which only ASCII is taken as it is.
// Empty for encodings that cannot be read.
AnsiString NameText(const FT_SfntName& Name) {
    if (Name.platform_id == TT_PLATFORM_APPLE_UNICODE || Name.platform_id == TT_PLATFORM_MICROSOFT) {
        if (Name.platform_id == TT_PLATFORM_MICROSOFT && Name.encoding_id != TT_MS_ID_UNICODE_CS &&
            Name.encoding_id != TT_MS_ID_UCS_4 && Name.encoding_id != TT_MS_ID_SYMBOL_CS)
            return {};
        std::vector<std::uint8_t> Little(Name.string_len & ~1u);
        for (std::size_t I = 0; I + 1 < Little.size(); I += 2) {
            Little[I] = Name.string[I + 1];
            Little[I + 1] = Name.string[I];
        }
        return Utf16LEToUtf8(Little.data(), Little.size() / 2);
    }
    if (Name.platform_id == TT_PLATFORM_MACINTOSH && Name.encoding_id == TT_MAC_ID_ROMAN) {
        AnsiString Text(reinterpret_cast<const char*>(Name.string), Name.string_len);
        for (const char C : Text)
            if (static_cast<unsigned char>(C) >= 0x80) return {};
        return Text;
    }
    return {};
}

// Calls Each with every face of the file (at most 256).
template <class TEach>
void ForEachFace(FT_Library Library, const std::string& FileName, TEach Each) {
    FT_Long Count = 1;
    for (FT_Long Index = 0; Index < Count; ++Index) {
        TFace Face;
        if (FT_New_Face(Library, FileName.c_str(), Index, &Face.Handle) != 0) break;
        Count = std::min<FT_Long>(Face.Handle->num_faces, 256);
        Each(Face.Handle, static_cast<int>(Index));
    }
}

}  // namespace

std::vector<AnsiString> GetFontFileDeclaredFamilies(const AnsiString& FileName) {
    std::vector<AnsiString> Families;
    TLibrary Library;
    if (!Library.Handle || FileName.empty()) return Families;
    ForEachFace(Library.Handle, FileName, [&](FT_Face Face, int) {
        const FT_UInt Count = FT_Get_Sfnt_Name_Count(Face);
        for (FT_UInt I = 0; I < Count; ++I) {
            FT_SfntName Name;
            if (FT_Get_Sfnt_Name(Face, I, &Name) != 0) continue;
            if (Name.name_id != TT_NAME_ID_FONT_FAMILY && Name.name_id != TT_NAME_ID_TYPOGRAPHIC_FAMILY) continue;
            AnsiString Text = NameText(Name);
            if (!Text.empty() && std::find(Families.begin(), Families.end(), Text) == Families.end())
                Families.push_back(std::move(Text));
        }
        // A face without name records of its own still has the family FreeType reports.
        if (Count == 0 && Face->family_name && *Face->family_name) {
            AnsiString Text = Face->family_name;
            if (std::find(Families.begin(), Families.end(), Text) == Families.end()) Families.push_back(std::move(Text));
        }
    });
    return Families;
}

namespace Posix {

std::string GetFaceFullName(const std::string& FileName, int Index) {
    TLibrary Library;
    TFace Face;
    if (!Library.Handle || FT_New_Face(Library.Handle, FileName.c_str(), Index, &Face.Handle) != 0) return {};
    // Windows names a font by its full name in US English on its own
    // platform; any other Windows language comes next, then the other
    // platforms.
    std::string Best;
    int BestRank = 4;
    const FT_UInt Count = FT_Get_Sfnt_Name_Count(Face.Handle);
    for (FT_UInt I = 0; I < Count && BestRank > 0; ++I) {
        FT_SfntName Name;
        if (FT_Get_Sfnt_Name(Face.Handle, I, &Name) != 0 || Name.name_id != TT_NAME_ID_FULL_NAME) continue;
        const int Rank = Name.platform_id == TT_PLATFORM_MICROSOFT
                             ? (Name.language_id == TT_MS_LANGID_ENGLISH_UNITED_STATES ? 0 : 1)
                             : Name.platform_id == TT_PLATFORM_MACINTOSH ? 2 : 3;
        if (Rank >= BestRank) continue;
        AnsiString Text = NameText(Name);
        if (Text.empty()) continue;
        Best = std::move(Text);
        BestRank = Rank;
    }
    return Best;
}

}  // namespace Posix

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
