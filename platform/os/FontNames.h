// The names a TrueType or OpenType font file gives itself (its "name"
// table), read from its bytes on every platform. Used only by the OS layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/System.h"

class TStream;

namespace Os {

// The fields of a font file's tables: big-endian, and the platforms that
// name records are kept for.
namespace FontBytes {
inline std::uint16_t Word(const std::uint8_t* P) { return static_cast<std::uint16_t>((P[0] << 8) | P[1]); }
inline std::uint32_t Dword(const std::uint8_t* P) {
    return (static_cast<std::uint32_t>(P[0]) << 24) | (static_cast<std::uint32_t>(P[1]) << 16) |
           (static_cast<std::uint32_t>(P[2]) << 8) | P[3];
}
inline constexpr std::uint16_t PlatformMacintosh = 1;
inline constexpr std::uint16_t PlatformWindows = 3;
}  // namespace FontBytes

struct TFontNameRecord {
    int Face = 0;  // the face's index in a collection, 0 for a single font
    std::uint16_t Platform = 0;
    std::uint16_t Encoding = 0;
    std::uint16_t Language = 0;
    std::uint16_t NameId = 0;
    AnsiString Text;  // UTF-8
};

// Reads Count bytes at Offset into Buffer; false when the font has fewer.
using TFontReader = std::function<bool(std::uint64_t Offset, void* Buffer, std::size_t Count)>;

// The name records with one of NameIds of every face of the font that Read
// reads (a single font or a collection), in the order the file holds them;
// texts of the Windows platform (UTF-16) and of the Macintosh platform's
// Roman encoding (its ASCII part). Empty when the bytes are no font.
std::vector<TFontNameRecord> ReadFontNames(const TFontReader& Read, const std::vector<std::uint16_t>& NameIds);

// The embedding flags (the OS/2 table's fsType) of every face of the font
// that Read reads, in face order; 0 for a face without an OS/2 table.
// Nothing when the bytes are no font.
std::optional<std::vector<std::uint16_t>> ReadFontEmbeddingFlags(const TFontReader& Read);

// The glyph count (the maxp table's numGlyphs) of every face of the font
// that Read reads, in face order; 0 for a face without a maxp table.
// Nothing when the bytes are no font.
std::optional<std::vector<int>> ReadFontGlyphCounts(const TFontReader& Read);

// What the OS/2 table says of a face's style.
struct TFontFaceStyle {
    int Weight = 400;  // usWeightClass
    int Width = 5;     // usWidthClass: 1 (ultra-condensed) to 9 (ultra-expanded)
    bool Italic = false;
};
// The style of every face of the font that Read reads, in face order; the
// regular style for a face without an OS/2 table. Nothing when the bytes
// are no font.
std::optional<std::vector<TFontFaceStyle>> ReadFontFaceStyles(const TFontReader& Read);

// Readers of a font held in memory and of a font in a stream (which must
// outlive the reader; its position moves).
TFontReader MemoryFontReader(const void* Data, std::size_t Size);
TFontReader StreamFontReader(TStream& Stream);

// The family of each face as the font table names it: name record 1 of the
// Windows platform in U.S. English, else of any language, else of the
// Macintosh platform.
std::vector<AnsiString> FaceFamiliesOf(const std::vector<TFontNameRecord>& Records);

}  // namespace Os
