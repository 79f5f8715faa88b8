// Resources on POSIX: the ELF carrier section of a module's .res image
// (platform/os/ResourceImage.cpp reads the image itself, platform/os/PeImage.cpp
// a Windows module's files) and the Win32 resource functions over the module
// list.
#include <elf.h>

#include <algorithm>
#include <cstring>

#include "platform/Streams.h"
#include "platform/TextConv.h"
#include "platform/os/ResourceReading.h"
#include "platform/os/WinResources.h"

namespace Os {

namespace {

constexpr char ResourceSectionName[] = ".rsrc";

using ResourceReading::ReadAt;

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
}  // namespace

std::shared_ptr<const TResourceImage> TResourceImage::FromFile(const AnsiString& FileName) {
    TFileStream File(FileName, fmOpenRead | fmShareDenyNone);
    const std::uint64_t FileSize = static_cast<std::uint64_t>(File.GetSize());
    std::uint8_t Start[EI_NIDENT] = {};
    const std::size_t StartSize = static_cast<std::size_t>(std::min<std::uint64_t>(FileSize, sizeof(Start)));
    ReadAt(File, 0, Start, StartSize);

    if (StartSize == EI_NIDENT && std::memcmp(Start, ELFMAG, SELFMAG) == 0) {
        if (Start[EI_DATA] != ELFDATA2LSB)
            throw EResourceError(Format("%s: only little-endian ELF files are supported", {FileName}));
        if (Start[EI_CLASS] == ELFCLASS64) return ReadElfResources<Elf64_Ehdr, Elf64_Shdr>(File, FileSize);
        if (Start[EI_CLASS] == ELFCLASS32) return ReadElfResources<Elf32_Ehdr, Elf32_Shdr>(File, FileSize);
        throw EResourceError(Format("%s: malformed ELF file (unknown class)", {FileName}));
    }
    if (auto Image = ReadPeFile(File)) return Image;
    if (auto Image = ReadResFile(File)) return Image;
    throw EResourceError(Format("%s is neither an ELF module, a Windows module nor a resource file", {FileName}));
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
    // Never cut a multi-byte character in two.
    const std::size_t Length = Utf8PrefixLength(*Text, static_cast<std::size_t>(BufferMax - 1));
    std::memcpy(Buffer, Text->data(), Length);
    Buffer[Length] = '\0';
    return static_cast<int>(Length);
}
