// The .res image format of Win32 resources, read from bytes on every
// platform: the entries of an image, its string tables and the .res file.
//
// A .res image is a sequence of entries, each a header
//   DWORD DataSize, DWORD HeaderSize, TYPE, NAME, (pad to 4),
//   DWORD DataVersion, WORD MemoryFlags, WORD LanguageId, DWORD Version,
//   DWORD Characteristics
// followed by DataSize bytes of data and padding to a multiple of 4. TYPE and
// NAME are either 0xFFFF and a 16-bit ordinal or a zero-terminated UTF-16
// text. The image starts with an empty entry (type 0, name 0, no data).
#include <algorithm>
#include <cstring>

#include "platform/Streams.h"
#include "platform/TextConv.h"
#include "platform/os/ResourceReading.h"
#include "platform/os/WinResources.h"

namespace Os {

namespace {

using ResourceReading::ReadDword;
using ResourceReading::ReadWord;

constexpr WORD LanguageNeutral = 0x0000;
constexpr WORD LanguageEnglishUS = 0x0409;

std::size_t AlignUp4(std::size_t Value) { return (Value + 3) & ~std::size_t{3}; }

[[noreturn]] void Malformed(std::size_t Offset, const char* What) {
    throw EResourceError(Format("Malformed resource data at offset %u: %s", {static_cast<unsigned long>(Offset), What}));
}

// A type or name of a resource header at Offset (below Limit); Offset moves
// past it.
TResourceId ReadResourceId(const std::uint8_t* Data, std::size_t& Offset, std::size_t Limit) {
    if (Offset + 2 > Limit) Malformed(Offset, "header too short for its type and name");
    TResourceId Id;
    if (ReadWord(Data + Offset) == 0xFFFF) {
        if (Offset + 4 > Limit) Malformed(Offset, "header too short for an ordinal");
        Id.Id = ReadWord(Data + Offset + 2);
        Offset += 4;
        return Id;
    }
    std::size_t End = Offset;
    while (End + 2 <= Limit && ReadWord(Data + End) != 0) End += 2;
    if (End + 2 > Limit) Malformed(Offset, "unterminated resource name");
    if (End == Offset) Malformed(Offset, "empty resource name");
    Id.Name = Utf16LEToUtf8(Data + Offset, (End - Offset) / 2);
    Offset = End + 2;
    return Id;
}

// The header of the empty entry that starts every .res file.
constexpr std::uint8_t ResFileSignature[32] = {0, 0, 0, 0, 0x20, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0,
                                               0, 0, 0, 0, 0,    0, 0, 0, 0,    0,    0, 0, 0,    0,    0, 0};

}  // namespace

// ------------------------------------------------------------ TResourceId

AnsiString TResourceId::ToString() const {
    if (!IsOrdinal()) return Name;
    return "#" + std::to_string(Id);
}

bool TResourceId::Matches(LPCSTR Value) const {
    if (IS_INTRESOURCE(Value)) return IsOrdinal() && Id == static_cast<WORD>(reinterpret_cast<ULONG_PTR>(Value));
    if (Value[0] == '#') {
        unsigned long Number = 0;
        const char* P = Value + 1;
        if (*P == '\0') return false;
        for (; *P; ++P) {
            if (*P < '0' || *P > '9') return false;
            Number = Number * 10 + static_cast<unsigned long>(*P - '0');
            if (Number > 0xFFFF) return false;
        }
        return IsOrdinal() && Id == Number;
    }
    return !IsOrdinal() && SameText(Name, Value);
}

// --------------------------------------------------------- TResourceImage

TResourceImage::TResourceImage(const void* Data, std::size_t Size, bool Borrow) {
    const std::uint8_t* Bytes = static_cast<const std::uint8_t*>(Data);
    if (!Borrow && Size > 0) {
        FBytes.assign(Bytes, Bytes + Size);
        Bytes = FBytes.data();
    }
    std::size_t Offset = 0;
    while (Offset < Size) {
        if (Size - Offset < 8) Malformed(Offset, "truncated resource header");
        const DWORD DataSize = ReadDword(Bytes + Offset);
        const DWORD HeaderSize = ReadDword(Bytes + Offset + 4);
        if (HeaderSize < 32) Malformed(Offset, "resource header too short");
        if (HeaderSize > Size - Offset) Malformed(Offset, "resource header beyond the end of the data");
        const std::size_t HeaderEnd = Offset + HeaderSize;
        std::size_t P = Offset + 8;
        TResourceEntry Entry;
        Entry.Type = ReadResourceId(Bytes, P, HeaderEnd);
        Entry.Name = ReadResourceId(Bytes, P, HeaderEnd);
        P = Offset + AlignUp4(P - Offset);
        if (P + 16 > HeaderEnd) Malformed(Offset, "resource header too short for its fields");
        Entry.Language = ReadWord(Bytes + P + 6);
        if (DataSize > Size - HeaderEnd) Malformed(Offset, "resource data beyond the end of the data");
        Entry.Data = Bytes + HeaderEnd;
        Entry.Size = DataSize;
        const bool Empty = Entry.Type.IsOrdinal() && Entry.Type.Id == 0 && DataSize == 0;
        if (!Empty) FEntries.push_back(std::move(Entry));
        Offset = std::min(Size, AlignUp4(HeaderEnd + DataSize));
    }
}

TResourceImage::TResourceImage(std::vector<std::uint8_t> Bytes, std::vector<TResourceEntry> Entries)
    : FBytes(std::move(Bytes)), FEntries(std::move(Entries)) {}

std::shared_ptr<const TResourceImage> ReadResFile(TFileStream& File) {
    const AnsiString& FileName = File.GetFileName();
    const std::uint64_t FileSize = static_cast<std::uint64_t>(File.GetSize());
    if (FileSize < sizeof(ResFileSignature)) return nullptr;
    std::uint8_t Start[sizeof(ResFileSignature)] = {};
    File.SetPosition(0);
    if (File.Read(Start, sizeof(Start)) != static_cast<std::int64_t>(sizeof(Start)) ||
        std::memcmp(Start, ResFileSignature, sizeof(Start)) != 0)
        return nullptr;
    if (FileSize > ResourceReading::MaxResourceBytes) throw EResourceError(Format("%s: resource file too large", {FileName}));
    std::vector<std::uint8_t> Bytes(static_cast<std::size_t>(FileSize));
    File.SetPosition(0);
    if (File.Read(Bytes.data(), static_cast<std::int64_t>(Bytes.size())) != static_cast<std::int64_t>(Bytes.size()))
        throw EResourceError(Format("%s: unexpected end of file", {FileName}));
    try {
        return std::make_shared<TResourceImage>(Bytes.data(), Bytes.size());
    } catch (const EResourceError& E) {
        throw EResourceError(FileName + ": " + E.GetMessage());
    }
}

const TResourceEntry* TResourceImage::Find(LPCSTR Type, LPCSTR Name, std::optional<WORD> Language) const {
    if (!Type || !Name) return nullptr;
    const TResourceEntry* First = nullptr;
    for (const auto& Entry : FEntries) {
        if (!Entry.Type.Matches(Type) || !Entry.Name.Matches(Name)) continue;
        if (Language) {
            if (Entry.Language == *Language) return &Entry;
            continue;
        }
        if (Entry.Language == LanguageEnglishUS || Entry.Language == LanguageNeutral) return &Entry;
        if (!First) First = &Entry;
    }
    return First;
}

bool TResourceImage::Owns(const TResourceEntry* Entry) const {
    if (FEntries.empty()) return false;
    return std::less_equal<const TResourceEntry*>()(FEntries.data(), Entry) &&
           std::less<const TResourceEntry*>()(Entry, FEntries.data() + FEntries.size());
}

// ------------------------------------------------------------ string tables

namespace {

// String Index (0 to 15) of a string-table block: 16 counted UTF-16 texts.
std::optional<AnsiString> StringOfBlock(const TResourceEntry& Block, unsigned Index) {
    std::size_t Offset = 0;
    for (unsigned I = 0;; ++I) {
        if (Offset + 2 > Block.Size) return std::nullopt;
        const std::size_t Length = ReadWord(Block.Data + Offset);
        if (Length * 2 > Block.Size - Offset - 2) return std::nullopt;
        if (I == Index) {
            if (Length == 0) return std::nullopt;
            return Utf16LEToUtf8(Block.Data + Offset + 2, Length);
        }
        Offset += 2 + Length * 2;
    }
}

}  // namespace

std::optional<AnsiString> LoadResString(HINSTANCE Instance, UINT Id) {
    if (Id / 16 + 1 > 0xFFFF) return std::nullopt;
    const auto Image = GetModuleResources(Instance);
    if (!Image) return std::nullopt;
    const auto* Block = Image->Find(RT_STRING, MAKEINTRESOURCEA(static_cast<WORD>(Id / 16 + 1)));
    if (!Block) return std::nullopt;
    return StringOfBlock(*Block, Id % 16);
}

std::vector<std::pair<UINT, AnsiString>> ListResStrings(const TResourceImage& Image) {
    std::vector<std::pair<UINT, AnsiString>> Result;
    for (const auto& Entry : Image.GetEntries()) {
        if (!Entry.Type.IsOrdinal() || Entry.Type.Id != 6 || !Entry.Name.IsOrdinal() || Entry.Name.Id == 0) continue;
        for (unsigned I = 0; I < 16; ++I)
            if (auto Text = StringOfBlock(Entry, I)) Result.emplace_back((Entry.Name.Id - 1u) * 16u + I, *Text);
    }
    std::sort(Result.begin(), Result.end(), [](const auto& A, const auto& B) { return A.first < B.first; });
    return Result;
}

}  // namespace Os

