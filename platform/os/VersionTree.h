// The tree of a version resource (VS_VERSIONINFO), read from its bytes on
// every platform. The tree is made of nodes
//   WORD wLength, WORD wValueLength, WORD wType, WCHAR szKey[], (pad to 4),
//   value (wValueLength bytes, or UTF-16 characters when wType is 1),
//   (pad to 4), children
// whose root holds the VS_FIXEDFILEINFO as its value. Used only by the OS
// layer's version functions.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/System.h"

namespace Os::VersionTree {

inline std::uint16_t ReadWord(const std::uint8_t* P) { return static_cast<std::uint16_t>(P[0] | (P[1] << 8)); }

inline std::size_t AlignUp4(std::size_t Value) { return (Value + 3) & ~std::size_t{3}; }

struct TNode {
    std::size_t Offset = 0;  // from the start of the block
    std::size_t End = 0;
    std::uint16_t Type = 0;
    const std::uint8_t* Key = nullptr;  // UTF-16, KeyLength characters
    std::size_t KeyLength = 0;
    std::size_t ValueOffset = 0;
    std::size_t ValueSize = 0;  // bytes
    std::size_t ChildrenOffset = 0;
};

// The node at Offset, which must end by Limit; false when it is malformed.
bool ReadNode(const std::uint8_t* Block, std::size_t Offset, std::size_t Limit, TNode& Node);

template <typename TVisit>
void ForEachChild(const std::uint8_t* Block, const TNode& Parent, TVisit&& Visit) {
    std::size_t Offset = Parent.ChildrenOffset;
    TNode Child;
    while (ReadNode(Block, Offset, Parent.End, Child)) {
        if (!Visit(Child)) return;
        Offset = AlignUp4(Child.End);
    }
}

// Every text node below and including Node, in tree order.
template <typename TVisit>
void ForEachTextNode(const std::uint8_t* Block, const TNode& Node, TVisit& Visit, int Depth = 0) {
    if (Node.Type == 1) Visit(Node);
    if (Depth > 16) return;  // deeper than any real tree; stops hostile nesting
    ForEachChild(Block, Node, [&](const TNode& Child) {
        ForEachTextNode(Block, Child, Visit, Depth + 1);
        return true;
    });
}

// Whether the node's key is Segment (ASCII letters in any case).
bool KeyIs(const TNode& Node, const std::string& Segment);

// The node's key as UTF-8.
AnsiString KeyOf(const TNode& Node);

// The text of a text node's value up to its first zero character.
AnsiString TextOf(const std::uint8_t* Block, const TNode& Node);

}  // namespace Os::VersionTree
