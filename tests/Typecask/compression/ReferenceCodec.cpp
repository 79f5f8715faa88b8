#include "tests/Typecask/compression/ReferenceCodec.h"

#include <algorithm>
#include <array>

namespace Reference {

namespace {

constexpr std::size_t BlockLimit = 32783;

unsigned Hash(const TBytes& In, std::size_t X) {
    const unsigned B0 = In[X];
    const unsigned B1 = X + 1 < In.size() ? In[X + 1] : 0;
    const unsigned B2 = X + 2 < In.size() ? In[X + 2] : 0;
    const unsigned V = ((B0 * 16) ^ B1) * 16 ^ B2;
    return (V * 40543u >> 4) & 0x0FFF;
}

}  // namespace

TBytes Compress(const TBytes& Input) {
    std::array<std::int16_t, 4096> Table;
    Table.fill(-1);
    const std::size_t Size = Input.size();
    TBytes Out(Size + 6);
    Out[0] = 0x40;
    std::size_t ControlPos = 1, Y = 3, X = 0, Items = 0;
    std::uint16_t Control = 0;
    while (X < Size && Y <= Size) {
        if (Items == 16) {
            Out[ControlPos] = static_cast<std::uint8_t>(Control >> 8);
            Out[ControlPos + 1] = static_cast<std::uint8_t>(Control);
            ControlPos = Y;
            Y += 2;
            Items = 0;
        }
        std::size_t N = 0;
        while (N < 4095 && X + N < Size && Input[X + N] == Input[X]) ++N;
        if (N >= 16) {
            Out[Y] = 0;
            Out[Y + 1] = static_cast<std::uint8_t>((N - 16) >> 8);
            Out[Y + 2] = static_cast<std::uint8_t>((N - 16) & 0xFF);
            Out[Y + 3] = Input[X];
            Y += 4;
            X += N;
            Control = static_cast<std::uint16_t>(Control * 2 + 1);
        } else {
            const unsigned H = Hash(Input, X);
            const int Q = Table[H];
            Table[H] = static_cast<std::int16_t>(static_cast<std::uint16_t>(X));
            std::size_t L = 0;
            if (Q != -1 && static_cast<int>(X) - Q < 4096) {
                while (L < 18 && X + L < Size && Input[X + L] == Input[static_cast<std::size_t>(Q) + L]) ++L;
            }
            if (L >= 3) {
                const unsigned Value = static_cast<unsigned>(X - static_cast<std::size_t>(Q)) * 16 + (L - 3);
                Out[Y] = static_cast<std::uint8_t>(Value >> 8);
                Out[Y + 1] = static_cast<std::uint8_t>(Value);
                Y += 2;
                X += L;
                Control = static_cast<std::uint16_t>(Control * 2 + 1);
            } else {
                Out[Y++] = Input[X++];
                Control = static_cast<std::uint16_t>(Control * 2);
            }
        }
        ++Items;
    }
    Control = static_cast<std::uint16_t>(Items == 0 ? 0 : Control << (16 - Items));
    Out[ControlPos] = static_cast<std::uint8_t>(Control >> 8);
    Out[ControlPos + 1] = static_cast<std::uint8_t>(Control);
    if (Y > Size) {
        TBytes Copied{0x80};
        Copied.insert(Copied.end(), Input.begin(), Input.end());
        return Copied;
    }
    Out.resize(Y);
    return Out;
}

TDecoded Decompress(const TBytes& Block) {
    TDecoded R;
    const std::size_t Size = Block.size();
    if (Size == 0 || Size > BlockLimit + 1) return R;
    if (Block[0] == 0x80) {
        R.Ok = true;
        R.Data.assign(Block.begin() + 1, Block.end());
        return R;
    }
    R.Ok = true;
    if (Size <= 3) return R;
    auto Fail = [&](std::size_t At) {
        R.Ok = false;
        R.Data.clear();
        R.Offset = At;
        return R;
    };
    unsigned Control = static_cast<unsigned>(Block[1] << 8 | Block[2]);
    int BitsLeft = 16;
    std::size_t P = 3;
    for (;;) {
        if (BitsLeft == 0) {
            if (P + 2 > Size) return Fail(P);
            Control = static_cast<unsigned>(Block[P] << 8 | Block[P + 1]);
            P += 2;
            BitsLeft = 16;
        }
        if ((Control & 0x8000) == 0) {
            if (P >= Size || R.Data.size() + 1 > BlockLimit) return Fail(P);
            R.Data.push_back(Block[P]);
            P += 1;
        } else {
            if (P + 2 > Size) return Fail(P);
            const unsigned D = Block[P] * 16u + (Block[P + 1] >> 4);
            if (D == 0) {
                if (P + 4 > Size) return Fail(P);
                const std::size_t N = (Block[P + 1] * 256u + Block[P + 2]) + 16;
                if (R.Data.size() + N > BlockLimit) return Fail(P);
                R.Data.insert(R.Data.end(), N, Block[P + 3]);
                P += 4;
            } else {
                const std::size_t L = (Block[P + 1] & 0x0F) + 3u;
                if (D > R.Data.size() || R.Data.size() + L > BlockLimit) return Fail(P);
                for (std::size_t I = 0; I < L; ++I) R.Data.push_back(R.Data[R.Data.size() - D]);
                P += 2;
            }
        }
        Control = (Control << 1) & 0xFFFF;
        --BitsLeft;
        if (P >= Size) return R;
    }
}

TBytes CompressStream(const TBytes& Input) {
    TBytes Out = {'L', 'Z', 'S', 't', 'r', 'e', 'a', 'm', 0, 0, 0, 0};
    auto Put32 = [&](std::size_t Value) {
        for (int I = 0; I < 4; ++I) Out.push_back(static_cast<std::uint8_t>(Value >> (8 * I)));
    };
    std::size_t Total = 0;
    for (std::size_t At = 0; At < Input.size(); At += BlockLimit) {
        const TBytes Piece(Input.begin() + static_cast<std::ptrdiff_t>(At),
                           Input.begin() + static_cast<std::ptrdiff_t>(std::min(Input.size(), At + BlockLimit)));
        const TBytes Coded = Compress(Piece);
        Put32(Coded.size());
        Out.insert(Out.end(), Coded.begin(), Coded.end());
        Total += 4 + Coded.size();
    }
    for (int I = 0; I < 4; ++I) Out[8 + static_cast<std::size_t>(I)] = static_cast<std::uint8_t>(Total >> (8 * I));
    return Out;
}

}  // namespace Reference
