// A writer of small TrueType fonts: block letters drawn from a 5 by 7 grid
// (A to Z, with a to z sharing their shapes), the digits, the space and a
// few punctuation marks, under any family name and with chosen vertical
// metrics. Tests and demos use it for fonts that are certainly not
// installed anywhere.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/SysUtils.h"

namespace FontGen {

class EFontGen : public Exception {
public:
    using Exception::Exception;
};

struct TFontDesign {
    AnsiString FamilyName;          // required; UTF-8
    int Weight = 400;               // 100 to 900; 700 and above is the bold style
    bool Italic = false;            // only the style flags: the shapes stay upright
    int UnitsPerEm = 1000;          // 16 to 16384
    int Ascender = 800;             // above the baseline, > 0
    int Descender = -200;           // below the baseline, <= 0
    int LineGap = 0;                // >= 0
    int CapHeight = 0;              // height of the letters; 0 for 70% of the em
    // Where the 26 letter shapes are mapped: to A to Z and a to z unless
    // LatinLetters is false (a font of another script or of symbols), and to
    // the 26 code points from ExtraLetters on (U+0080 to U+FFE5) unless it
    // is 0.
    bool LatinLetters = true;
    char32_t ExtraLetters = 0;
    // The OS/2 table's embedding licence (fsType) and version (1 to 4; older
    // tables let several permission bits be set, 0x000C for one).
    std::uint16_t FsType = 0;
    int Os2Version = 4;
    AnsiString Version = "Version 1.000";
    AnsiString Copyright = "Generated for testing; free to use.";

    // Bytes carried in a private table ("TPAD") that font users ignore:
    // makes a font of any size, for benchmarks of large fonts.
    std::vector<std::uint8_t> PrivateData;

    // The full name (name record 4) when not empty, as fonts whose full
    // name is more than family and style have it ("Sans Regular").
    AnsiString FullNameRecord;
    // Further name records (Windows platform, US English), by name id: 16
    // (typographic family), 18 (compatible full name), ...
    std::vector<std::pair<unsigned, AnsiString>> MoreNames;

    // "Regular", "Bold", "Italic" or "Bold Italic".
    AnsiString StyleName() const;
    // FullNameRecord, else the family name followed by the style unless it
    // is Regular.
    AnsiString FullName() const;
};

// The font file's bytes. Raises EFontGen for a description it cannot build.
std::vector<std::uint8_t> BuildTrueTypeFont(const TFontDesign& FontDesign);
// Writes the font to FileName (created or replaced).
void WriteTrueTypeFont(const TFontDesign& FontDesign, const AnsiString& FileName);
// A TrueType collection of the fonts, in this order, written to FileName.
void WriteTrueTypeCollection(const std::vector<TFontDesign>& Faces, const AnsiString& FileName);
// The characters that have glyphs of their own, in code order.
const std::string& SupportedCharacters();

}  // namespace FontGen
