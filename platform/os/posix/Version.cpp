// The version functions on POSIX: the version resource of a file and the
// values of its VS_VERSIONINFO tree.
//
// A VS_VERSIONINFO tree is made of nodes
//   WORD wLength, WORD wValueLength, WORD wType, WCHAR szKey[], (pad to 4),
//   value (wValueLength bytes, or UTF-16 characters when wType is 1),
//   (pad to 4), children
// whose root holds the VS_FIXEDFILEINFO as its value.
//
// The block that GetFileVersionInfoA fills is the tree as stored, followed
// (at the next multiple of 4) by the 8-bit copies of its texts:
//   DWORD  signature 'VI8A'
//   DWORD  size of the whole block
//   DWORD  number of texts N
//   N x { DWORD offset of the text node in the block, DWORD offset of its
//         UTF-8 copy in the block }
//   the UTF-8 texts, each zero-terminated
// so that VerQueryValueA can hand out 8-bit texts that live as long as the
// block does.
#include <cstring>

#include "platform/Streams.h"
#include "platform/TextConv.h"
#include "platform/os/VersionTree.h"
#include "platform/os/WinResources.h"

namespace {

constexpr DWORD TextsSignature = 0x41384956;  // "VI8A"
constexpr std::size_t TextsHeaderSize = 12;

DWORD ReadDword(const std::uint8_t* P) {
    return static_cast<DWORD>(P[0]) | (static_cast<DWORD>(P[1]) << 8) | (static_cast<DWORD>(P[2]) << 16) |
           (static_cast<DWORD>(P[3]) << 24);
}

void WriteDword(std::uint8_t* P, DWORD Value) {
    for (int I = 0; I < 4; ++I) P[I] = static_cast<std::uint8_t>(Value >> (8 * I));
}

using namespace Os::VersionTree;

// The block of GetFileVersionInfoA for the version resource Data; empty when
// the resource is malformed.
std::vector<std::uint8_t> BuildBlock(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 6) return {};
    const std::size_t TreeSize = ReadWord(Data);
    if (TreeSize < 6 || TreeSize > Size) return {};
    TNode Root;
    if (!ReadNode(Data, 0, TreeSize, Root)) return {};

    std::vector<std::pair<std::size_t, AnsiString>> Texts;
    auto Collect = [&](const TNode& Node) { Texts.emplace_back(Node.Offset, TextOf(Data, Node)); };
    ForEachTextNode(Data, Root, Collect);

    const std::size_t TextsStart = AlignUp4(TreeSize);
    std::size_t Total = TextsStart + TextsHeaderSize + 8 * Texts.size();
    for (const auto& T : Texts) Total += T.second.size() + 1;

    std::vector<std::uint8_t> Block(Total, 0);
    std::memcpy(Block.data(), Data, TreeSize);
    std::uint8_t* Header = Block.data() + TextsStart;
    WriteDword(Header, TextsSignature);
    WriteDword(Header + 4, static_cast<DWORD>(Total));
    WriteDword(Header + 8, static_cast<DWORD>(Texts.size()));
    std::size_t TextOffset = TextsStart + TextsHeaderSize + 8 * Texts.size();
    for (std::size_t I = 0; I < Texts.size(); ++I) {
        WriteDword(Header + TextsHeaderSize + 8 * I, static_cast<DWORD>(Texts[I].first));
        WriteDword(Header + TextsHeaderSize + 8 * I + 4, static_cast<DWORD>(TextOffset));
        std::memcpy(Block.data() + TextOffset, Texts[I].second.data(), Texts[I].second.size());
        TextOffset += Texts[I].second.size() + 1;
    }
    return Block;
}

// The block for FileName's version resource; empty (and the last error set)
// when there is none.
std::vector<std::uint8_t> BlockOfFile(LPCSTR FileName) {
    if (!FileName) {
        SetLastError(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        return {};
    }
    try {
        const auto Image = Os::TResourceImage::FromFile(FileName);
        const Os::TResourceEntry* Entry = Image->Find(RT_VERSION, MAKEINTRESOURCEA(1));
        for (const auto& Candidate : Image->GetEntries())
            if (!Entry && Candidate.Type.Matches(RT_VERSION)) Entry = &Candidate;
        if (!Entry) {
            SetLastError(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
            return {};
        }
        auto Block = BuildBlock(Entry->Data, Entry->Size);
        if (Block.empty()) SetLastError(static_cast<DWORD>(ERROR_INVALID_DATA));
        return Block;
    } catch (const EFOpenError&) {
        SetLastError(static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    } catch (const Exception&) {
        SetLastError(static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
    }
    return {};
}

// The UTF-8 copy of the text node Node in a block of GetFileVersionInfoA.
const char* CopyOfText(const std::uint8_t* Block, const TNode& Root, const TNode& Node) {
    const std::uint8_t* Header = Block + AlignUp4(Root.End);
    if (ReadDword(Header) != TextsSignature) return nullptr;
    const std::size_t Total = ReadDword(Header + 4);
    const std::size_t Count = ReadDword(Header + 8);
    const std::size_t TextsStart = AlignUp4(Root.End);
    if (Total < TextsStart + TextsHeaderSize || Count > (Total - TextsStart - TextsHeaderSize) / 8) return nullptr;
    for (std::size_t I = 0; I < Count; ++I) {
        const std::uint8_t* Pair = Header + TextsHeaderSize + 8 * I;
        if (ReadDword(Pair) != Node.Offset) continue;
        const std::size_t Text = ReadDword(Pair + 4);
        if (Text >= Total || !std::memchr(Block + Text, 0, Total - Text)) return nullptr;
        return reinterpret_cast<const char*>(Block + Text);
    }
    return nullptr;
}

}  // namespace

DWORD GetFileVersionInfoSizeA(LPCSTR FileName, LPDWORD Handle) {
    if (Handle) *Handle = 0;
    return static_cast<DWORD>(BlockOfFile(FileName).size());
}

BOOL GetFileVersionInfoA(LPCSTR FileName, DWORD, DWORD Size, LPVOID Data) {
    if (!Data) {
        SetLastError(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        return FALSE;
    }
    const auto Block = BlockOfFile(FileName);
    if (Block.empty()) return FALSE;
    if (Block.size() > Size) {
        SetLastError(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        return FALSE;
    }
    std::memcpy(Data, Block.data(), Block.size());
    return TRUE;
}

BOOL VerQueryValueA(LPCVOID Block, LPCSTR SubBlock, LPVOID* Buffer, PUINT Length) {
    if (!Block || !SubBlock || !Buffer) return FALSE;
    const auto* Bytes = static_cast<const std::uint8_t*>(Block);
    TNode Root;
    if (!ReadNode(Bytes, 0, ReadWord(Bytes), Root)) return FALSE;

    TNode Node = Root;
    std::string Path = SubBlock;
    std::size_t Start = 0;
    while (Start <= Path.size()) {
        std::size_t Stop = Path.find('\\', Start);
        if (Stop == std::string::npos) Stop = Path.size();
        const std::string Segment = Path.substr(Start, Stop - Start);
        Start = Stop + 1;
        if (Segment.empty()) continue;
        bool Found = false;
        ForEachChild(Bytes, Node, [&](const TNode& Child) {
            if (!KeyIs(Child, Segment)) return true;
            Node = Child;
            Found = true;
            return false;
        });
        if (!Found) return FALSE;
    }

    if (Node.Type == 1) {
        const char* Text = CopyOfText(Bytes, Root, Node);
        if (!Text) return FALSE;
        *Buffer = const_cast<char*>(Text);
        if (Length) *Length = Node.ValueSize == 0 ? 0 : static_cast<UINT>(std::strlen(Text) + 1);
        return TRUE;
    }
    if (Node.Offset == Root.Offset && Node.ValueSize == 0) return FALSE;  // no fixed file information
    *Buffer = const_cast<std::uint8_t*>(Bytes + Node.ValueOffset);
    if (Length) *Length = static_cast<UINT>(Node.ValueSize);
    return TRUE;
}
