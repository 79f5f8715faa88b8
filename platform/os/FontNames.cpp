// The names a font file gives itself, read from its bytes.
#include "platform/os/FontNames.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/Streams.h"
#include "platform/TextConv.h"
#include "platform/os/WinFonts.h"

namespace Os {

namespace {

using namespace FontBytes;

constexpr std::uint16_t LanguageEnglishUS = 0x0409;
// More faces than any real collection holds; a larger count is malformed.
constexpr std::uint32_t MaxFaces = 4096;


AnsiString TextOf(std::uint16_t Platform, const std::vector<std::uint8_t>& Bytes) {
    if (Platform == PlatformWindows) {
        std::u16string Units;
        for (std::size_t I = 0; I + 1 < Bytes.size(); I += 2)
            Units.push_back(static_cast<char16_t>((Bytes[I] << 8) | Bytes[I + 1]));
        return Utf16ToUtf8(Units);
    }
    AnsiString Text;
    for (const std::uint8_t B : Bytes)
        if (B < 0x80) Text += static_cast<char>(B);
    return Text;
}

// The offset and length of the table Tag of the face whose table directory
// starts at Offset; nothing when the face has no such table or its
// directory cannot be read.
std::optional<std::pair<std::uint32_t, std::uint32_t>> FindTable(const TFontReader& Read, std::uint64_t Offset,
                                                                  std::uint32_t Tag) {
    std::uint8_t Header[12];
    if (!Read(Offset, Header, sizeof Header)) return std::nullopt;
    const std::uint16_t Tables = Word(Header + 4);
    std::vector<std::uint8_t> Directory(16u * Tables);
    if (!Read(Offset + 12, Directory.data(), Directory.size())) return std::nullopt;
    for (std::uint16_t T = 0; T < Tables; ++T) {
        const std::uint8_t* Entry = Directory.data() + 16u * T;
        if (Dword(Entry) == Tag) return std::make_pair(Dword(Entry + 8), Dword(Entry + 12));
    }
    return std::nullopt;
}

// The name records of the face whose table directory starts at Offset.
void ReadFace(const TFontReader& Read, std::uint64_t Offset, int Face, const std::vector<std::uint16_t>& NameIds,
              std::vector<TFontNameRecord>& Out) {
    const auto Found = FindTable(Read, Offset, 0x6E616D65);  // "name"
    if (!Found) return;
    const auto [TableOffset, TableLength] = *Found;
    if (TableLength < 6 || TableLength > (64u << 20)) return;
    std::vector<std::uint8_t> Table(TableLength);
    if (!Read(TableOffset, Table.data(), Table.size())) return;
    const std::size_t Count = Word(Table.data() + 2), Strings = Word(Table.data() + 4);
    for (std::size_t R = 0; R < Count && 6 + 12 * (R + 1) <= Table.size(); ++R) {
        const std::uint8_t* Record = Table.data() + 6 + 12 * R;
        TFontNameRecord Name;
        Name.Face = Face;
        Name.Platform = Word(Record);
        Name.Encoding = Word(Record + 2);
        Name.Language = Word(Record + 4);
        Name.NameId = Word(Record + 6);
        if (std::find(NameIds.begin(), NameIds.end(), Name.NameId) == NameIds.end()) continue;
        if (Name.Platform != PlatformWindows && !(Name.Platform == PlatformMacintosh && Name.Encoding == 0))
            continue;
        const std::size_t Length = Word(Record + 8), Start = Strings + Word(Record + 10);
        if (Start > Table.size() || Length > Table.size() - Start) continue;
        Name.Text = TextOf(Name.Platform, {Table.begin() + static_cast<std::ptrdiff_t>(Start),
                                           Table.begin() + static_cast<std::ptrdiff_t>(Start + Length)});
        if (!Name.Text.empty()) Out.push_back(std::move(Name));
    }
}

// Calls Each with the index and the table directory's offset of every face
// of the font (a single font or a collection); false when the bytes are no
// font.
bool ForEachFace(const TFontReader& Read, const std::function<void(int Face, std::uint64_t Offset)>& Each) {
    std::uint8_t Header[12];
    if (!Read(0, Header, sizeof Header)) return false;
    const std::uint32_t Tag = Dword(Header);
    if (Tag == 0x74746366) {  // "ttcf": a collection
        const std::uint32_t Faces = Dword(Header + 8);
        if (Faces == 0 || Faces > MaxFaces) return false;
        std::vector<std::uint8_t> Offsets(4u * Faces);
        if (!Read(12, Offsets.data(), Offsets.size())) return false;
        for (std::uint32_t F = 0; F < Faces; ++F) Each(static_cast<int>(F), Dword(Offsets.data() + 4u * F));
        return true;
    }
    if (Tag == 0x00010000 || Tag == 0x4F54544F || Tag == 0x74727565) {  // TrueType, "OTTO", "true"
        Each(0, 0);
        return true;
    }
    return false;
}

}  // namespace

std::vector<TFontNameRecord> ReadFontNames(const TFontReader& Read, const std::vector<std::uint16_t>& NameIds) {
    std::vector<TFontNameRecord> Result;
    ForEachFace(Read, [&](int Face, std::uint64_t Offset) { ReadFace(Read, Offset, Face, NameIds, Result); });
    return Result;
}

namespace {

// Every face's big-endian word at Field of the table Tag; 0 for a face
// without that table or with one too short to hold it.
std::optional<std::vector<std::uint16_t>> ReadFaceWords(const TFontReader& Read, std::uint32_t Tag,
                                                        std::uint32_t Field) {
    std::vector<std::uint16_t> Words;
    const bool IsFont = ForEachFace(Read, [&](int, std::uint64_t Offset) {
        std::uint16_t Value = 0;
        if (const auto Table = FindTable(Read, Offset, Tag); Table && Table->second >= Field + 2u) {
            std::uint8_t Bytes[2];
            if (Read(Table->first + Field, Bytes, 2)) Value = Word(Bytes);
        }
        Words.push_back(Value);
    });
    if (!IsFont) return std::nullopt;
    return Words;
}

}  // namespace

std::optional<std::vector<std::uint16_t>> ReadFontEmbeddingFlags(const TFontReader& Read) {
    return ReadFaceWords(Read, 0x4F532F32, 8);  // "OS/2" fsType; a face without one sets no flag
}

std::optional<std::vector<int>> ReadFontGlyphCounts(const TFontReader& Read) {
    const auto Words = ReadFaceWords(Read, 0x6D617870, 4);  // "maxp" numGlyphs
    if (!Words) return std::nullopt;
    return std::vector<int>(Words->begin(), Words->end());
}

std::optional<std::vector<TFontFaceStyle>> ReadFontFaceStyles(const TFontReader& Read) {
    std::vector<TFontFaceStyle> Styles;
    const bool IsFont = ForEachFace(Read, [&](int, std::uint64_t Offset) {
        TFontFaceStyle Style;
        std::uint8_t Bytes[64];
        if (const auto Os2 = FindTable(Read, Offset, 0x4F532F32);  // "OS/2"
            Os2 && Os2->second >= sizeof Bytes && Read(Os2->first, Bytes, sizeof Bytes)) {
            Style.Weight = Word(Bytes + 4);
            Style.Width = Word(Bytes + 6);
            Style.Italic = (Word(Bytes + 62) & 1) != 0;  // fsSelection
        }
        Styles.push_back(Style);
    });
    if (!IsFont) return std::nullopt;
    return Styles;
}

TFontReader MemoryFontReader(const void* Data, std::size_t Size) {
    const auto* Bytes = static_cast<const std::uint8_t*>(Data);
    return [Bytes, Size](std::uint64_t Offset, void* Buffer, std::size_t Count) {
        if (Count == 0) return Offset <= Size;  // an empty name's buffer may be null
        if (!Bytes || Offset > Size || Count > Size - Offset) return false;
        std::memcpy(Buffer, Bytes + Offset, Count);
        return true;
    };
}

TFontReader StreamFontReader(TStream& Stream) {
    return [&Stream](std::uint64_t Offset, void* Buffer, std::size_t Count) {
        const auto Size = static_cast<std::uint64_t>(Stream.GetSize());
        if (Offset > Size || Count > Size - Offset) return false;
        Stream.SetPosition(static_cast<std::int64_t>(Offset));
        return Stream.Read(Buffer, static_cast<std::int64_t>(Count)) == static_cast<std::int64_t>(Count);
    };
}

std::vector<AnsiString> FaceFamiliesOf(const std::vector<TFontNameRecord>& Records) {
    // Face -> (rank, family); a lower rank is preferred.
    std::map<int, std::pair<int, AnsiString>> Best;
    for (const auto& R : Records) {
        if (R.NameId != 1) continue;
        const int Rank = R.Platform == PlatformWindows ? (R.Language == LanguageEnglishUS ? 0 : 1) : 2;
        auto It = Best.find(R.Face);
        if (It == Best.end() || Rank < It->second.first) Best[R.Face] = {Rank, R.Text};
    }
    std::vector<AnsiString> Result;
    for (const auto& [Face, Family] : Best) Result.push_back(Family.second);
    return Result;
}

AnsiString GetFaceName(const AnsiString& Family) {
    return Family.substr(0, Utf8PrefixLength(Family, MaxFaceName));  // whole characters only
}

}  // namespace Os
