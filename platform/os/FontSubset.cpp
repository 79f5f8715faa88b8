// Subsets read and tagged from their bytes on every platform
// (platform/os/FontFiles.h); the subsetter itself is the OS layer's.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <tuple>

#include "platform/StringList.h"
#include "platform/os/FontFiles.h"
#include "platform/os/FontNames.h"
#include "platform/os/WinFonts.h"

namespace Os {

namespace {

using namespace FontBytes;

constexpr std::uint16_t PostScriptNameId = 6;
constexpr std::size_t TagLength = 6;

void PutWord(std::vector<std::uint8_t>& Out, std::size_t At, std::uint32_t V) {
    Out[At] = static_cast<std::uint8_t>(V >> 8);
    Out[At + 1] = static_cast<std::uint8_t>(V);
}
void PutDword(std::vector<std::uint8_t>& Out, std::size_t At, std::uint32_t V) {
    PutWord(Out, At, V >> 16);
    PutWord(Out, At + 2, V & 0xFFFF);
}
void AppendWord(std::vector<std::uint8_t>& Out, std::uint32_t V) {
    Out.push_back(static_cast<std::uint8_t>(V >> 8));
    Out.push_back(static_cast<std::uint8_t>(V));
}

// The sum of the big-endian 32-bit words of Bytes, the last one padded with
// zeros: the font format's checksum.
std::uint32_t Checksum(const std::uint8_t* Bytes, std::size_t Size) {
    std::uint32_t Sum = 0;
    for (std::size_t I = 0; I < Size; I += 4) {
        std::uint8_t Word4[4] = {};
        std::memcpy(Word4, Bytes + I, std::min<std::size_t>(4, Size - I));
        Sum += Dword(Word4);
    }
    return Sum;
}

bool IsTag(const AnsiString& Text) {
    if (Text.size() <= TagLength || Text[TagLength] != '+') return false;
    return std::all_of(Text.begin(), Text.begin() + TagLength, [](char C) { return C >= 'A' && C <= 'Z'; });
}

[[noreturn]] void Malformed(const char* What) {
    throw EFontSubset(AnsiString("The subset cannot be tagged: ") + What);
}

// The name table Name with Prefix in front of each PostScript name.
std::vector<std::uint8_t> TaggedNameTable(const std::uint8_t* Name, std::size_t Size, const AnsiString& Prefix) {
    if (Size < 6) Malformed("its name table is cut short");
    const std::uint16_t Format = Word(Name), Count = Word(Name + 2), Storage = Word(Name + 4);
    std::size_t HeaderSize = 6 + 12u * Count;
    std::uint16_t LangTags = 0;
    if (Format == 1) {
        if (HeaderSize + 2 > Size) Malformed("its name table is cut short");
        LangTags = Word(Name + HeaderSize);
        HeaderSize += 2 + 4u * LangTags;
    }
    if (Format > 1 || HeaderSize > Size || Storage > Size) Malformed("its name table is malformed");
    std::vector<std::uint8_t> Out(Name, Name + HeaderSize), Strings;
    PutWord(Out, 4, static_cast<std::uint32_t>(HeaderSize));
    // Moves the string at (Length, Offset) of the old storage into the new
    // one, with Extra in front; returns the new (length, offset).
    auto Move = [&](std::size_t Length, std::size_t Offset, const std::vector<std::uint8_t>& Extra) {
        if (Storage + Offset + Length > Size) Malformed("a name record points outside its table");
        const std::size_t At = Strings.size();
        Strings.insert(Strings.end(), Extra.begin(), Extra.end());
        Strings.insert(Strings.end(), Name + Storage + Offset, Name + Storage + Offset + Length);
        if (Strings.size() > 0xFFFF) Malformed("its names are too long");
        return std::make_pair(Extra.size() + Length, At);
    };
    std::vector<std::uint8_t> Ascii(Prefix.begin(), Prefix.end()), Utf16;
    for (const char C : Prefix) AppendWord(Utf16, static_cast<std::uint8_t>(C));
    for (std::size_t R = 0; R < Count; ++R) {
        const std::size_t At = 6 + 12 * R;
        const bool Tagged = Word(Name + At + 6) == PostScriptNameId;
        const bool Bytes = Word(Name + At) == PlatformMacintosh;
        const auto [Length, Offset] =
            Move(Word(Name + At + 8), Word(Name + At + 10), Tagged ? (Bytes ? Ascii : Utf16) : std::vector<std::uint8_t>{});
        PutWord(Out, At + 8, static_cast<std::uint32_t>(Length));
        PutWord(Out, At + 10, static_cast<std::uint32_t>(Offset));
    }
    for (std::size_t L = 0; L < LangTags; ++L) {
        const std::size_t At = 6 + 12u * Count + 2 + 4 * L;
        const auto [Length, Offset] = Move(Word(Name + At), Word(Name + At + 2), {});
        PutWord(Out, At, static_cast<std::uint32_t>(Length));
        PutWord(Out, At + 2, static_cast<std::uint32_t>(Offset));
    }
    Out.insert(Out.end(), Strings.begin(), Strings.end());
    return Out;
}

}  // namespace

AnsiString SubsetTagOf(const TCodePoints& Keep) {
    std::uint64_t Hash = 0xCBF29CE484222325ull;  // FNV-1a over each code point's four bytes
    for (const char32_t C : Keep)
        for (int Shift = 0; Shift < 32; Shift += 8) {
            Hash ^= (static_cast<std::uint32_t>(C) >> Shift) & 0xFF;
            Hash *= 0x100000001B3ull;
        }
    AnsiString Tag;
    for (std::size_t I = 0; I < TagLength; ++I, Hash /= 26) Tag += static_cast<char>('A' + Hash % 26);
    return Tag;
}

TFontSubsetInfo GetFontSubsetInfo(const void* Data, std::size_t Size) {
    TFontSubsetInfo Info;
    const TFontReader Read = MemoryFontReader(Data, Size);
    // The Windows platform's name first, as the font table reads it.
    auto Names = ReadFontNames(Read, {PostScriptNameId});
    std::stable_partition(Names.begin(), Names.end(), [](const TFontNameRecord& R) { return R.Platform == PlatformWindows; });
    for (const auto& R : Names) {
        if (R.Face != 0) continue;
        if (IsTag(R.Text)) {
            Info.IsSubset = true;
            Info.Tag = R.Text.substr(0, TagLength);
        }
        break;
    }
    if (const auto Counts = ReadFontGlyphCounts(Read); Counts && !Counts->empty()) Info.GlyphCount = Counts->front();
    return Info;
}

int FindFontFace(const void* Data, std::size_t Size, const AnsiString& Family) {
    const TFontReader Read = MemoryFontReader(Data, Size);
    const auto Styles = ReadFontFaceStyles(Read).value_or(std::vector<TFontFaceStyle>{});
    // Of the faces that declare the family, the one closest to the regular
    // face, as the lookup takes it: upright, normal width, weight nearest
    // 400; then the first.
    auto Rank = [&](int Face) {
        const TFontFaceStyle Style = Face < static_cast<int>(Styles.size()) ? Styles[Face] : TFontFaceStyle{};
        return std::make_tuple(Style.Italic, std::abs(Style.Width - 5), std::abs(Style.Weight - 400), Face);
    };
    int Best = -1;
    for (const auto& R : ReadFontNames(Read, {1, 16}))
        if ((AnsiSameText(R.Text, Family) || AnsiSameText(GetFaceName(R.Text), GetFaceName(Family))) &&
            (Best < 0 || Rank(R.Face) < Rank(Best)))
            Best = R.Face;
    return Best < 0 ? 0 : Best;
}

std::vector<std::uint8_t> TagPostScriptName(const void* Data, std::size_t Size, const AnsiString& Tag) {
    const auto* Font = static_cast<const std::uint8_t*>(Data);
    if (Size < 12 || (Dword(Font) != 0x00010000 && Dword(Font) != 0x74727565))  // "true"
        Malformed("it is no single TrueType font");
    const std::uint16_t Tables = Word(Font + 4);
    if (12 + 16u * Tables > Size) Malformed("its table directory is cut short");
    struct TTable {
        std::uint32_t Tag;
        std::vector<std::uint8_t> Bytes;
    };
    std::vector<TTable> All;
    std::size_t Total = 0;
    for (std::size_t T = 0; T < Tables; ++T) {
        const std::uint8_t* Entry = Font + 12 + 16 * T;
        const std::uint32_t Offset = Dword(Entry + 8), Length = Dword(Entry + 12);
        if (Offset > Size || Length > Size - Offset) Malformed("a table lies outside the file");
        // A single font's tables do not share bytes.
        if ((Total += Length) > Size) Malformed("its tables overlap");
        All.push_back({Dword(Entry), {Font + Offset, Font + Offset + Length}});
        if (All.back().Tag == 0x6E616D65)  // "name"
            All.back().Bytes = TaggedNameTable(Font + Offset, Length, Tag + "+");
    }
    // The file made again: the header and directory as they were, each
    // table on a four-byte boundary with its checksum.
    std::vector<std::uint8_t> Out(Font, Font + 12 + 16u * Tables);
    std::size_t HeadAt = 0;
    for (std::size_t T = 0; T < All.size(); ++T) {
        const std::size_t Entry = 12 + 16 * T;
        if (All[T].Tag == 0x68656164 && All[T].Bytes.size() >= 12) {  // "head": its adjustment is made below
            HeadAt = Out.size();
            std::fill(All[T].Bytes.begin() + 8, All[T].Bytes.begin() + 12, 0);
        }
        PutDword(Out, Entry + 4, Checksum(All[T].Bytes.data(), All[T].Bytes.size()));
        PutDword(Out, Entry + 8, static_cast<std::uint32_t>(Out.size()));
        PutDword(Out, Entry + 12, static_cast<std::uint32_t>(All[T].Bytes.size()));
        Out.insert(Out.end(), All[T].Bytes.begin(), All[T].Bytes.end());
        Out.resize((Out.size() + 3) & ~std::size_t{3});
    }
    if (HeadAt) PutDword(Out, HeadAt + 8, 0xB1B0AFBAu - Checksum(Out.data(), Out.size()));
    return Out;
}

}  // namespace Os
