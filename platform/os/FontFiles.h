// What a font file says of itself, read from its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

#include "platform/SysUtils.h"

namespace Os {

// The family name of each face in the font file held in Data, as the font
// table reports the family once the file is added (the first family name of
// the face). Empty when the bytes are no font.
std::vector<AnsiString> GetFontFileFamilies(const void* Data, std::size_t Size);

// Every family name that the font file FileName declares: its family and
// typographic family names (name records 1 and 16, in any language the
// file carries), of every face of a collection, each once. Only the names
// are read, not the whole file. Empty when the file cannot be read or is no
// font.
std::vector<AnsiString> GetFontFileDeclaredFamilies(const AnsiString& FileName);

// What a font's licence (the OS/2 table's fsType) lets a document, here an
// application, do with the font it carries, from the least restrictive to
// the most.
enum class TEmbeddingPermission {
    Installable,     // 0: may be installed for good
    Editable,        // 8: may be installed only while the document uses it
    PreviewAndPrint, // 4: likewise
    BitmapOnly,      // 0x0200: only bitmaps may be embedded, and a TrueType file carries outlines
    Restricted,      // 2: may not be embedded without the owner's permission
};

struct TFontEmbedding {
    TEmbeddingPermission Permission = TEmbeddingPermission::Installable;
    bool NoSubsetting = false;  // 0x0100: only the whole font may be embedded
};

// The embedding that fsType states. Of the permission bits (the low four)
// the least restrictive one applies when several are set, as tables before
// version 3 allowed, for every version; no bit is Installable.
TFontEmbedding EmbeddingOfFsType(std::uint16_t FsType);
// The embedding of the font in Data, or in the file FileName: in a
// collection the most restrictive face decides, and any face that forbids
// subsetting forbids it for the file. A face without an OS/2 table states
// no restriction and counts as Installable; so do bytes that are no font
// and a file that cannot be read.
TFontEmbedding GetFontEmbedding(const void* Data, std::size_t Size);
TFontEmbedding GetFontFileEmbedding(const AnsiString& FileName);
// True when the licence lets the font be embedded at all (not Restricted,
// not bitmaps only).
bool MayEmbed(const TFontEmbedding& Embedding);
// The permission by its name in the OpenType format ("Installable",
// "Editable", "Preview & Print", "Restricted License", "Bitmap embedding
// only").
AnsiString EmbeddingPermissionName(TEmbeddingPermission Permission);

// ------------------------------------------------------------- subsets
// A subset is an ordinary TrueType font that holds only the glyphs of a set
// of characters and what they need. Its family and style names are the
// full font's, so that it is found under the same name; its PostScript name
// (name record 6) starts with a tag of six capital letters and "+", taken
// from the kept set, as documents tag the subsets they embed.

using TCodePoints = std::set<char32_t>;

// What a font's bytes say of its being a subset: the tag of its first face's
// PostScript name, and that face's glyph count (the maxp table's).
struct TFontSubsetInfo {
    bool IsSubset = false;
    AnsiString Tag;  // the six letters, without the "+"; empty for a whole font
    int GlyphCount = 0;
};
TFontSubsetInfo GetFontSubsetInfo(const void* Data, std::size_t Size);

// The tag of a subset that keeps Keep: six capital letters, the same for the
// same set on every platform.
AnsiString SubsetTagOf(const TCodePoints& Keep);

// The index of the face of the font in Data (a single font or a collection)
// whose family or typographic family (name records 1 and 16, any language,
// letter case ignored, also as cut to the face-name limit) is Family; of
// several, the one closest to the regular face (upright, normal width,
// weight nearest 400), as the lookup takes it; 0 when no face declares it.
int FindFontFace(const void* Data, std::size_t Size, const AnsiString& Family);

// The font in Data with Tag and "+" in front of every PostScript name record
// (the name table rewritten, the file's checksums made again). Raises
// EFontSubset when Data is no single TrueType font.
std::vector<std::uint8_t> TagPostScriptName(const void* Data, std::size_t Size, const AnsiString& Tag);

class EFontSubset : public Exception {
public:
    using Exception::Exception;
};

// True when this build has a subsetter (HarfBuzz's, on Linux; the Windows
// build has none).
bool CanSubsetFonts();

// The subset of face Face of the font in Data that maps the characters of
// Keep the font has: one TrueType font with their glyphs, the glyphs those
// are made of and the layout tables' closure of them, every name record of
// the face (any id, any language, any platform), the PostScript names
// tagged with SubsetTagOf(Keep). Raises EFontSubset when the build has no
// subsetter or the subsetter fails.
std::vector<std::uint8_t> SubsetFont(const void* Data, std::size_t Size, int Face, const TCodePoints& Keep);

}  // namespace Os
