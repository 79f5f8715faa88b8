// The resources of a Windows module file (PE32 or PE32+, program or DLL),
// read from its bytes on every platform, without loading it.
//
// The file starts with the DOS header ("MZ"), whose DWORD at 0x3C is the
// offset of the PE signature "PE\0\0". The COFF header follows (WORD
// NumberOfSections at +2, WORD SizeOfOptionalHeader at +16), then the
// optional header (WORD Magic: 0x10B or 0x20B; the number of data
// directories at 92 or 108 and the directories themselves at 96 or 112,
// the third being the resource tree's address and size), then the section
// table: 40 bytes a section, VirtualSize at +8, VirtualAddress at +12,
// SizeOfRawData at +16 and PointerToRawData at +20. Addresses (RVAs) are
// turned into file offsets through the section that holds them.
//
// The resource tree has three levels (type, name, language). A directory is
// 16 bytes with the counts of its named and numbered entries at +12 and +14,
// followed by its entries, 8 bytes each: a name (high bit set: the offset of
// a counted UTF-16 text; else an ordinal) and the offset of a subdirectory
// (high bit set) or, on the language level, of a data entry (RVA and size of
// the data). Every offset within the tree counts from the tree's start.
#include <algorithm>
#include <cstring>
#include <set>

#include "platform/TextConv.h"
#include "platform/os/ResourceReading.h"
#include "platform/os/WinResources.h"

namespace Os {

namespace {

using ResourceReading::ReadAt;
using ResourceReading::ReadDword;
using ResourceReading::ReadWord;

constexpr std::size_t DosHeaderSize = 64;
constexpr std::size_t CoffHeaderSize = 24;  // with the signature
constexpr std::size_t SectionHeaderSize = 40;
constexpr WORD MagicPe32 = 0x10B;
constexpr WORD MagicPe32Plus = 0x20B;
constexpr DWORD ResourceDirectoryIndex = 2;
// What the Windows loader accepts.
constexpr unsigned MaxSections = 96;
// Far more than any module's resources; every directory of the tree is
// visited once, so the tree is walked in time bounded by its size.
constexpr std::size_t MaxResources = 65536;
constexpr DWORD HighBit = 0x80000000u;

struct TSection {
    DWORD VirtualAddress = 0;
    DWORD VirtualSize = 0;
    DWORD RawSize = 0;
    DWORD RawOffset = 0;
    std::uint64_t HeaderOffset = 0;  // in the file, for messages
};

// A data entry found in the tree, before its bytes are read.
struct TFound {
    TResourceEntry Entry;
    std::uint64_t FileOffset = 0;
};

class TPeReader {
public:
    TPeReader(TFileStream& File) : FFile(File), FFileSize(static_cast<std::uint64_t>(File.GetSize())) {}

    std::shared_ptr<const TResourceImage> Read();

private:
    [[noreturn]] void Malformed(std::uint64_t Offset, const char* What) const {
        throw EResourceError(Format("%s: malformed PE file at offset %u: %s",
                                    {FFile.GetFileName(), static_cast<unsigned long>(Offset), What}));
    }
    std::vector<std::uint8_t> ReadBytes(std::uint64_t Offset, std::size_t Count, const char* What) {
        if (Offset > FFileSize || Count > FFileSize - Offset) Malformed(Offset, What);
        std::vector<std::uint8_t> Bytes(Count);
        ReadAt(FFile, Offset, Bytes.data(), Count);
        return Bytes;
    }
    void ReadSections(std::uint64_t TableOffset, unsigned Count);
    // The section that holds Size bytes from RVA in the file; nullptr when
    // none does.
    const TSection* SectionOf(DWORD Rva, DWORD Size) const;
    void ReadDirectory(std::size_t Offset, int Level, TResourceEntry& Path);
    TResourceId ReadName(std::size_t EntryOffset, DWORD Name, bool Language);
    std::uint64_t TreeFileOffset(std::size_t Offset) const { return FTreeFileOffset + Offset; }

    TFileStream& FFile;
    std::uint64_t FFileSize;
    std::vector<TSection> FSections;
    std::vector<std::uint8_t> FTree;  // the resource tree, from its start
    std::uint64_t FTreeFileOffset = 0;
    std::set<std::size_t> FVisited;  // directories, by their offset in the tree
    std::vector<TFound> FFound;
};

void TPeReader::ReadSections(std::uint64_t TableOffset, unsigned Count) {
    const auto Table = ReadBytes(TableOffset, std::size_t{Count} * SectionHeaderSize,
                                 "section table beyond the end of the file");
    for (unsigned I = 0; I < Count; ++I) {
        const std::uint8_t* P = Table.data() + std::size_t{I} * SectionHeaderSize;
        TSection S;
        S.VirtualSize = ReadDword(P + 8);
        S.VirtualAddress = ReadDword(P + 12);
        S.RawSize = ReadDword(P + 16);
        S.RawOffset = ReadDword(P + 20);
        S.HeaderOffset = TableOffset + std::size_t{I} * SectionHeaderSize;
        if (S.RawSize != 0 && (S.RawOffset > FFileSize || S.RawSize > FFileSize - S.RawOffset))
            Malformed(S.HeaderOffset, "section data beyond the end of the file");
        const std::uint64_t Extent = std::max(S.VirtualSize, S.RawSize);
        if (S.VirtualAddress + Extent > 0x100000000ull) Malformed(S.HeaderOffset, "section beyond 4 GiB");
        // The sections follow each other in the image, in the order of their
        // addresses.
        if (!FSections.empty()) {
            const TSection& Last = FSections.back();
            if (S.VirtualAddress < Last.VirtualAddress + std::uint64_t{std::max(Last.VirtualSize, Last.RawSize)})
                Malformed(S.HeaderOffset, "section overlaps the one before it");
        }
        FSections.push_back(S);
    }
}

const TSection* TPeReader::SectionOf(DWORD Rva, DWORD Size) const {
    for (const TSection& S : FSections) {
        const std::uint64_t Extent = std::max(S.VirtualSize, S.RawSize);
        if (Rva < S.VirtualAddress || Rva - S.VirtualAddress >= Extent) continue;
        if (std::uint64_t{Rva - S.VirtualAddress} + Size > S.RawSize) return nullptr;
        return &S;
    }
    return nullptr;
}

TResourceId TPeReader::ReadName(std::size_t EntryOffset, DWORD Name, bool Language) {
    TResourceId Id;
    if (!(Name & HighBit)) {
        if (Name > 0xFFFF) Malformed(TreeFileOffset(EntryOffset), "resource ordinal beyond 65535");
        Id.Id = static_cast<WORD>(Name);
        return Id;
    }
    if (Language) Malformed(TreeFileOffset(EntryOffset), "language named by a text");
    const std::size_t Offset = Name & ~HighBit;
    if (Offset > FTree.size() || FTree.size() - Offset < 2)
        Malformed(TreeFileOffset(EntryOffset), "resource name beyond the resource tree");
    const std::size_t Length = ReadWord(FTree.data() + Offset);
    if (Length == 0) Malformed(TreeFileOffset(Offset), "empty resource name");
    if (Length * 2 > FTree.size() - Offset - 2) Malformed(TreeFileOffset(Offset), "resource name beyond the resource tree");
    Id.Name = Utf16LEToUtf8(FTree.data() + Offset + 2, Length);
    return Id;
}

// Level 0 holds the types, 1 the names, 2 the languages.
void TPeReader::ReadDirectory(std::size_t Offset, int Level, TResourceEntry& Path) {
    if (!FVisited.insert(Offset).second) Malformed(TreeFileOffset(Offset), "resource directory reached twice (a loop)");
    if (Offset > FTree.size() || FTree.size() - Offset < 16)
        Malformed(TreeFileOffset(Offset), "resource directory beyond the resource tree");
    const std::size_t Count = std::size_t{ReadWord(FTree.data() + Offset + 12)} + ReadWord(FTree.data() + Offset + 14);
    if (Count * 8 > FTree.size() - Offset - 16)
        Malformed(TreeFileOffset(Offset), "resource directory entries beyond the resource tree");
    for (std::size_t I = 0; I < Count; ++I) {
        const std::size_t EntryOffset = Offset + 16 + I * 8;
        const DWORD Name = ReadDword(FTree.data() + EntryOffset);
        const DWORD Target = ReadDword(FTree.data() + EntryOffset + 4);
        const TResourceId Id = ReadName(EntryOffset, Name, Level == 2);
        if (Level == 0) Path.Type = Id;
        else if (Level == 1) Path.Name = Id;
        else Path.Language = Id.Id;
        if (Level < 2) {
            if (!(Target & HighBit)) Malformed(TreeFileOffset(EntryOffset), "resource data above the language level");
            ReadDirectory(Target & ~HighBit, Level + 1, Path);
            continue;
        }
        if (Target & HighBit) Malformed(TreeFileOffset(EntryOffset), "resource tree nested deeper than three levels");
        if (Target > FTree.size() || FTree.size() - Target < 16)
            Malformed(TreeFileOffset(EntryOffset), "resource data entry beyond the resource tree");
        if (FFound.size() == MaxResources) Malformed(TreeFileOffset(EntryOffset), "too many resources");
        const DWORD Rva = ReadDword(FTree.data() + Target);
        const DWORD Size = ReadDword(FTree.data() + Target + 4);
        const TSection* Section = SectionOf(Rva, Size);
        if (!Section) Malformed(TreeFileOffset(Target), "resource data outside the sections' data in the file");
        TFound Found;
        Found.Entry = Path;
        Found.Entry.Size = Size;
        Found.FileOffset = std::uint64_t{Section->RawOffset} + (Rva - Section->VirtualAddress);
        FFound.push_back(std::move(Found));
    }
}

std::shared_ptr<const TResourceImage> TPeReader::Read() {
    if (FFileSize < 2) return nullptr;
    std::uint8_t Magic[2] = {};
    ReadAt(FFile, 0, Magic, 2);
    if (Magic[0] != 'M' || Magic[1] != 'Z') return nullptr;

    const auto Dos = ReadBytes(0, DosHeaderSize, "DOS header beyond the end of the file");
    const std::uint64_t PeOffset = ReadDword(Dos.data() + 0x3C);
    const auto Coff = ReadBytes(PeOffset, CoffHeaderSize, "PE header beyond the end of the file");
    if (std::memcmp(Coff.data(), "PE\0\0", 4) != 0) Malformed(PeOffset, "no PE signature (a DOS program?)");
    const unsigned SectionCount = ReadWord(Coff.data() + 6);
    const std::size_t OptionalSize = ReadWord(Coff.data() + 20);
    const std::uint64_t OptionalOffset = PeOffset + CoffHeaderSize;
    const auto Optional = ReadBytes(OptionalOffset, OptionalSize, "optional header beyond the end of the file");
    if (OptionalSize < 2) Malformed(OptionalOffset, "optional header too short");
    const WORD Kind = ReadWord(Optional.data());
    if (Kind != MagicPe32 && Kind != MagicPe32Plus) Malformed(OptionalOffset, "neither a PE32 nor a PE32+ header");
    const std::size_t CountAt = Kind == MagicPe32 ? 92 : 108;
    const std::size_t DirectoriesAt = CountAt + 4;
    if (OptionalSize < DirectoriesAt) Malformed(OptionalOffset, "optional header too short");
    const DWORD DirectoryCount = ReadDword(Optional.data() + CountAt);
    if (DirectoryCount > (OptionalSize - DirectoriesAt) / 8)
        Malformed(OptionalOffset + CountAt, "more data directories than the optional header holds");
    if (SectionCount > MaxSections) Malformed(PeOffset + 6, "too many sections");
    ReadSections(OptionalOffset + OptionalSize, SectionCount);

    std::vector<TResourceEntry> Entries;
    if (DirectoryCount <= ResourceDirectoryIndex) return std::make_shared<TResourceImage>(std::vector<std::uint8_t>{}, Entries);
    const std::size_t ResourceAt = DirectoriesAt + ResourceDirectoryIndex * 8;
    const DWORD TreeRva = ReadDword(Optional.data() + ResourceAt);
    const DWORD TreeSize = ReadDword(Optional.data() + ResourceAt + 4);
    if (TreeRva == 0 && TreeSize == 0) return std::make_shared<TResourceImage>(std::vector<std::uint8_t>{}, Entries);
    const TSection* TreeSection = SectionOf(TreeRva, TreeSize);
    if (!TreeSection) Malformed(OptionalOffset + ResourceAt, "resource tree outside the sections' data in the file");
    if (TreeSize > ResourceReading::MaxResourceBytes) Malformed(OptionalOffset + ResourceAt, "resource tree too large");
    FTreeFileOffset = std::uint64_t{TreeSection->RawOffset} + (TreeRva - TreeSection->VirtualAddress);
    FTree = ReadBytes(FTreeFileOffset, TreeSize, "resource tree beyond the end of the file");

    TResourceEntry Path;
    ReadDirectory(0, 0, Path);

    std::uint64_t Total = 0;
    for (const TFound& F : FFound) Total += F.Entry.Size;
    if (Total > ResourceReading::MaxResourceBytes)
        Malformed(OptionalOffset + ResourceAt, "resources too large (256 MiB at the most)");
    std::vector<std::uint8_t> Bytes(static_cast<std::size_t>(Total));
    std::size_t At = 0;
    for (TFound& F : FFound) {
        if (F.Entry.Size) ReadAt(FFile, F.FileOffset, Bytes.data() + At, F.Entry.Size);
        F.Entry.Data = Bytes.data() + At;
        At += F.Entry.Size;
        Entries.push_back(std::move(F.Entry));
    }
    return std::make_shared<TResourceImage>(std::move(Bytes), std::move(Entries));
}

}  // namespace

std::shared_ptr<const TResourceImage> ReadPeFile(TFileStream& File) { return TPeReader(File).Read(); }

}  // namespace Os
