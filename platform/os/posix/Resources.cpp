// Resources on POSIX: the .res image format, its ELF carrier section and the
// Win32 resource functions over the module list.
//
// A .res image is a sequence of entries, each a header
//   DWORD DataSize, DWORD HeaderSize, TYPE, NAME, (pad to 4),
//   DWORD DataVersion, WORD MemoryFlags, WORD LanguageId, DWORD Version,
//   DWORD Characteristics
// followed by DataSize bytes of data and padding to a multiple of 4. TYPE and
// NAME are either 0xFFFF and a 16-bit ordinal or a zero-terminated UTF-16
// text. The image starts with an empty entry (type 0, name 0, no data).
#include <elf.h>

#include <algorithm>
#include <cstring>

#include "platform/Streams.h"
#include "platform/TextConv.h"
#include "platform/os/WinResources.h"

namespace Os {

namespace {

constexpr char ResourceSectionName[] = ".rsrc";
constexpr WORD LanguageNeutral = 0x0000;
constexpr WORD LanguageEnglishUS = 0x0409;
// Far more than any module's resources; a larger file is not read into memory.
constexpr std::uint64_t MaxResourceFile = 256u << 20;

WORD ReadWord(const std::uint8_t* P) {
    return static_cast<WORD>(P[0] | (P[1] << 8));
}

DWORD ReadDword(const std::uint8_t* P) {
    return static_cast<DWORD>(P[0]) | (static_cast<DWORD>(P[1]) << 8) | (static_cast<DWORD>(P[2]) << 16) |
           (static_cast<DWORD>(P[3]) << 24);
}

std::size_t AlignUp4(std::size_t Value) { return (Value + 3) & ~std::size_t{3}; }

[[noreturn]] void Malformed(std::size_t Offset, const char* What) {
    throw EResourceError(Format("Malformed resource data at offset %u: %s", {static_cast<unsigned long>(Offset), What}));
}

char AsciiUpper(char C) { return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 'a' + 'A') : C; }

bool SameTextAscii(const AnsiString& A, const char* B) {
    const std::size_t Length = std::strlen(B);
    if (A.size() != Length) return false;
    for (std::size_t I = 0; I < Length; ++I)
        if (AsciiUpper(A[I]) != AsciiUpper(B[I])) return false;
    return true;
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

// Reads Count bytes at Offset of File into Buffer, or raises EResourceError
// naming the file when the file is shorter.
void ReadAt(TFileStream& File, std::uint64_t Offset, void* Buffer, std::size_t Count) {
    File.SetPosition(static_cast<std::int64_t>(Offset));
    if (File.Read(Buffer, static_cast<std::int64_t>(Count)) != static_cast<std::int64_t>(Count))
        throw EResourceError(Format("%s: unexpected end of file", {File.GetFileName()}));
}

template <typename THeader, typename TSection>
std::shared_ptr<const TResourceImage> ReadElfResources(TFileStream& File, std::uint64_t FileSize) {
    const AnsiString& Name = File.GetFileName();
    auto Bad = [&Name](const char* What) { return EResourceError(Format("%s: malformed ELF file (%s)", {Name, What})); };
    THeader Header;
    if (FileSize < sizeof(Header)) throw Bad("truncated header");
    ReadAt(File, 0, &Header, sizeof(Header));
    if (Header.e_shoff == 0) return std::make_shared<TResourceImage>(nullptr, 0);
    if (Header.e_shentsize < sizeof(TSection)) throw Bad("section header size");

    // Extended numbering: the real count and string-table index live in the
    // first section header when they do not fit the ELF header.
    std::uint64_t Count = Header.e_shnum;
    std::uint64_t NamesIndex = Header.e_shstrndx;
    if (Header.e_shoff > FileSize || FileSize - Header.e_shoff < sizeof(TSection)) throw Bad("section table");
    if (Count == 0 || NamesIndex == SHN_XINDEX) {
        TSection First;
        ReadAt(File, Header.e_shoff, &First, sizeof(First));
        if (Count == 0) Count = First.sh_size;
        if (NamesIndex == SHN_XINDEX) NamesIndex = First.sh_link;
    }
    if (Count > (FileSize - Header.e_shoff) / Header.e_shentsize) throw Bad("section table beyond the end of the file");
    if (NamesIndex >= Count) throw Bad("section name table index");

    std::vector<TSection> Sections(static_cast<std::size_t>(Count));
    for (std::uint64_t I = 0; I < Count; ++I)
        ReadAt(File, Header.e_shoff + I * Header.e_shentsize, &Sections[static_cast<std::size_t>(I)], sizeof(TSection));

    const TSection& NamesSection = Sections[static_cast<std::size_t>(NamesIndex)];
    if (NamesSection.sh_offset > FileSize || NamesSection.sh_size > FileSize - NamesSection.sh_offset)
        throw Bad("section name table beyond the end of the file");
    std::vector<char> Names(static_cast<std::size_t>(NamesSection.sh_size) + 1, '\0');
    ReadAt(File, NamesSection.sh_offset, Names.data(), static_cast<std::size_t>(NamesSection.sh_size));

    for (const TSection& Section : Sections) {
        if (Section.sh_name >= NamesSection.sh_size) continue;
        if (std::strcmp(Names.data() + Section.sh_name, ResourceSectionName) != 0) continue;
        if (Section.sh_type == SHT_NOBITS) throw Bad("resource section without contents");
        if (Section.sh_offset > FileSize || Section.sh_size > FileSize - Section.sh_offset)
            throw Bad("resource section beyond the end of the file");
        std::vector<std::uint8_t> Bytes(static_cast<std::size_t>(Section.sh_size));
        ReadAt(File, Section.sh_offset, Bytes.data(), Bytes.size());
        return std::make_shared<TResourceImage>(Bytes.data(), Bytes.size());
    }
    return std::make_shared<TResourceImage>(nullptr, 0);
}

// The header of the empty entry that starts every .res file.
constexpr std::uint8_t ResFileSignature[32] = {0, 0, 0, 0, 0x20, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0,
                                               0, 0, 0, 0, 0,    0, 0, 0, 0,    0,    0, 0, 0,    0,    0, 0};

}  // namespace

// ------------------------------------------------------------ TResourceId

AnsiString TResourceId::ToString() const {
    if (!IsOrdinal()) return Name;
    AnsiString Text = "#";  // appended apart: "#" + text trips GCC 12's false -Wrestrict at -O3
    Text += std::to_string(Id);
    return Text;
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
    return !IsOrdinal() && SameTextAscii(Name, Value);
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

std::shared_ptr<const TResourceImage> TResourceImage::FromFile(const AnsiString& FileName) {
    TFileStream File(FileName, fmOpenRead | fmShareDenyNone);
    const std::uint64_t FileSize = static_cast<std::uint64_t>(File.GetSize());
    std::uint8_t Start[32] = {};
    const std::size_t StartSize = static_cast<std::size_t>(std::min<std::uint64_t>(FileSize, sizeof(Start)));
    ReadAt(File, 0, Start, StartSize);

    if (StartSize >= EI_NIDENT && std::memcmp(Start, ELFMAG, SELFMAG) == 0) {
        if (Start[EI_DATA] != ELFDATA2LSB)
            throw EResourceError(Format("%s: only little-endian ELF files are supported", {FileName}));
        if (Start[EI_CLASS] == ELFCLASS64) return ReadElfResources<Elf64_Ehdr, Elf64_Shdr>(File, FileSize);
        if (Start[EI_CLASS] == ELFCLASS32) return ReadElfResources<Elf32_Ehdr, Elf32_Shdr>(File, FileSize);
        throw EResourceError(Format("%s: malformed ELF file (unknown class)", {FileName}));
    }
    if (StartSize == sizeof(ResFileSignature) && std::memcmp(Start, ResFileSignature, sizeof(Start)) == 0) {
        if (FileSize > MaxResourceFile) throw EResourceError(Format("%s: resource file too large", {FileName}));
        std::vector<std::uint8_t> Bytes(static_cast<std::size_t>(FileSize));
        ReadAt(File, 0, Bytes.data(), Bytes.size());
        try {
            return std::make_shared<TResourceImage>(Bytes.data(), Bytes.size());
        } catch (const EResourceError& E) {
            throw EResourceError(FileName + ": " + E.GetMessage());
        }
    }
    throw EResourceError(Format("%s is neither an ELF module nor a resource file", {FileName}));
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

// ------------------------------------------------------------ Win32 calls

namespace {

// The entry behind ResInfo, when it is one of Module's resources.
const Os::TResourceEntry* EntryOf(HMODULE Module, HRSRC ResInfo, std::shared_ptr<const Os::TResourceImage>& Image) {
    Image = Os::GetModuleResources(Module);
    const auto* Entry = reinterpret_cast<const Os::TResourceEntry*>(ResInfo);
    if (!Image || !Entry || !Image->Owns(Entry)) {
        SetLastError(static_cast<DWORD>(ERROR_INVALID_HANDLE));
        return nullptr;
    }
    return Entry;
}

HRSRC FindIn(HMODULE Module, LPCSTR Type, LPCSTR Name, std::optional<WORD> Language) {
    if (!Type || !Name) {
        SetLastError(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        return nullptr;
    }
    const auto Image = Os::GetModuleResources(Module);
    const auto* Entry = Image ? Image->Find(Type, Name, Language) : nullptr;
    if (!Entry) {
        SetLastError(static_cast<DWORD>(Image ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_DATA_NOT_FOUND));
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<Os::TResourceEntry*>(Entry));
}

}  // namespace

HRSRC FindResourceA(HMODULE Module, LPCSTR Name, LPCSTR Type) { return FindIn(Module, Type, Name, std::nullopt); }

HRSRC FindResourceExA(HMODULE Module, LPCSTR Type, LPCSTR Name, WORD Language) {
    return FindIn(Module, Type, Name, Language);
}

HGLOBAL LoadResource(HMODULE Module, HRSRC ResInfo) {
    std::shared_ptr<const Os::TResourceImage> Image;
    const auto* Entry = EntryOf(Module, ResInfo, Image);
    return Entry ? const_cast<std::uint8_t*>(Entry->Data) : nullptr;
}

LPVOID LockResource(HGLOBAL ResData) { return ResData; }

DWORD SizeofResource(HMODULE Module, HRSRC ResInfo) {
    std::shared_ptr<const Os::TResourceImage> Image;
    const auto* Entry = EntryOf(Module, ResInfo, Image);
    return Entry ? static_cast<DWORD>(Entry->Size) : 0;
}

int LoadStringA(HINSTANCE Instance, UINT Id, LPSTR Buffer, int BufferMax) {
    if (!Buffer || BufferMax <= 0) {
        SetLastError(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        return 0;
    }
    const auto Text = Os::LoadResString(Instance, Id);
    if (!Text) {
        Buffer[0] = '\0';
        SetLastError(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
        return 0;
    }
    std::size_t Length = std::min(Text->size(), static_cast<std::size_t>(BufferMax - 1));
    // Never cut a multi-byte character in two.
    if (Length < Text->size())
        while (Length > 0 && (static_cast<unsigned char>((*Text)[Length]) & 0xC0) == 0x80) --Length;
    std::memcpy(Buffer, Text->data(), Length);
    Buffer[Length] = '\0';
    return static_cast<int>(Length);
}
