// Small helpers shared by the codec's tests.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "Typecask/compression/LZStream.h"
#include "platform/SysUtils.h"

namespace CodecTest {

using TBytes = std::vector<std::uint8_t>;

// "40 10 00 61" -> the bytes.
inline TBytes Hex(const std::string& Text) {
    TBytes Out;
    std::istringstream In(Text);
    std::string Word;
    while (In >> Word) Out.push_back(static_cast<std::uint8_t>(std::stoul(Word, nullptr, 16)));
    return Out;
}

inline TBytes Text(const std::string& S) { return TBytes(S.begin(), S.end()); }

inline TBytes Repeat(const std::string& S, std::size_t Times) {
    TBytes Out;
    for (std::size_t I = 0; I < Times; ++I) Out.insert(Out.end(), S.begin(), S.end());
    return Out;
}

inline TBytes Concat(std::initializer_list<TBytes> Parts) {
    TBytes Out;
    for (const auto& P : Parts) Out.insert(Out.end(), P.begin(), P.end());
    return Out;
}

inline std::string ToHex(const TBytes& Data) {
    std::string Out;
    for (std::size_t I = 0; I < Data.size(); ++I) Out += (I ? " " : "") + BytesToHex(&Data[I], 1);
    return Out;
}

// One block through TLZStream::Compression, trimmed to its coded length.
inline TBytes CodeBlock(TLZStream& Codec, const TBytes& Input) {
    TBytes Out(Input.size() + TLZStream::OutputMargin);
    const auto L = Codec.Compression(Input.data(), Out.data(), static_cast<std::uint16_t>(Input.size()));
    Out.resize(L);
    return Out;
}

// One block through TLZStream::DeCompression, with an output area of
// exactly the block limit (no slack, so that any overrun shows).
inline TBytes DecodeBlock(TLZStream& Codec, const TBytes& Block) {
    TBytes Out(TLZStream::BlockLimit);
    const auto N = Codec.DeCompression(Block.data(), Out.data(), static_cast<std::uint16_t>(Block.size()));
    Out.resize(N);
    return Out;
}

}  // namespace CodecTest
