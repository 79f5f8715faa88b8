// The tree of a version resource, read from its bytes (platform/os/VersionTree.h).
#include "platform/os/VersionTree.h"

#include <set>

#include "platform/SysUtils.h"
#include "platform/TextConv.h"
#include "platform/os/WinResources.h"

namespace Os::VersionTree {

bool ReadNode(const std::uint8_t* Block, std::size_t Offset, std::size_t Limit, TNode& Node) {
    if (Offset + 6 > Limit) return false;
    const std::size_t Length = ReadWord(Block + Offset);
    if (Length < 6 || Length > Limit - Offset) return false;
    Node.Offset = Offset;
    Node.End = Offset + Length;
    const std::uint16_t ValueLength = ReadWord(Block + Offset + 2);
    Node.Type = ReadWord(Block + Offset + 4);
    Node.Key = Block + Offset + 6;
    std::size_t P = Offset + 6;
    while (P + 2 <= Node.End && ReadWord(Block + P) != 0) P += 2;
    if (P + 2 > Node.End) return false;
    Node.KeyLength = (P - Offset - 6) / 2;
    Node.ValueOffset = std::min(AlignUp4(P + 2), Node.End);
    // Some compilers count a text value in bytes rather than characters; a
    // value is never taken beyond its node.
    Node.ValueSize = std::min<std::size_t>(Node.Type == 1 ? ValueLength * 2u : ValueLength, Node.End - Node.ValueOffset);
    Node.ChildrenOffset = std::min(AlignUp4(Node.ValueOffset + Node.ValueSize), Node.End);
    return true;
}

bool KeyIs(const TNode& Node, const std::string& Segment) {
    return SameText(Utf16LEToUtf8(Node.Key, Node.KeyLength), Segment);
}

AnsiString KeyOf(const TNode& Node) { return Utf16LEToUtf8(Node.Key, Node.KeyLength); }

AnsiString TextOf(const std::uint8_t* Block, const TNode& Node) {
    std::size_t Count = 0;
    while (Count < Node.ValueSize / 2 && ReadWord(Block + Node.ValueOffset + 2 * Count) != 0) ++Count;
    return Utf16LEToUtf8(Block + Node.ValueOffset, Count);
}

}  // namespace Os::VersionTree

namespace Os {

std::vector<TVersionString> ListVersionStrings(LPCVOID Block) {
    using namespace VersionTree;
    std::vector<TVersionString> Result;
    if (!Block) return Result;
    const auto* Bytes = static_cast<const std::uint8_t*>(Block);
    TNode Root;
    if (!ReadNode(Bytes, 0, ReadWord(Bytes), Root)) return Result;
    std::set<std::pair<AnsiString, AnsiString>> Seen;
    ForEachChild(Bytes, Root, [&](const TNode& Info) {
        if (!KeyIs(Info, "StringFileInfo")) return true;
        ForEachChild(Bytes, Info, [&](const TNode& Table) {
            const AnsiString TableName = KeyOf(Table);
            ForEachChild(Bytes, Table, [&](const TNode& String) {
                // Only texts, once, that a query by the listed names finds: a
                // malformed block may hold names that do not lead back to
                // their node (a repeated name, one with a backslash or a
                // code unit that has no UTF-8 form, a second StringFileInfo).
                if (String.Type != 1) return true;
                TVersionString Entry{TableName, KeyOf(String), TextOf(Bytes, String)};
                const std::string Sub = "\\StringFileInfo\\" + Entry.Table + "\\" + Entry.Key;
                LPVOID Found = nullptr;
                UINT Length = 0;
                if (Entry.Key.find('\\') == AnsiString::npos && Seen.insert({Entry.Table, Entry.Key}).second &&
                    ::VerQueryValueA(Block, Sub.c_str(), &Found, &Length) && Found &&
                    AnsiString(static_cast<const char*>(Found)) == Entry.Value)
                    Result.push_back(std::move(Entry));
                return true;
            });
            return true;
        });
        return true;
    });
    return Result;
}

}  // namespace Os
