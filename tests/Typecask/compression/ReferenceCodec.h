// A plain, step-by-step coder and decoder of the block format, kept beside
// the tests as the oracle for TLZStream's fast one: no word loads, no
// overcopying, one byte and one item at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Reference {

using TBytes = std::vector<std::uint8_t>;

// Codes Input (at most 32783 bytes) as one block.
TBytes Compress(const TBytes& Input);

struct TDecoded {
    bool Ok = false;
    TBytes Data;             // the decoded bytes when Ok
    std::size_t Offset = 0;  // where in the block the fault is, when not Ok
};

// Decodes one coded block, refusing a malformed one (empty, longer than
// 32784 bytes, an item or control word cut off, a match before the start,
// more than 32783 bytes of output).
TDecoded Decompress(const TBytes& Block);

// The whole stream: signature, total and block records, one block per
// 32783 bytes of Input.
TBytes CompressStream(const TBytes& Input);

}  // namespace Reference
