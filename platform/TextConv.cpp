#include "platform/TextConv.h"

#include <algorithm>

namespace {

bool IsSurrogate(char32_t C) { return C >= 0xD800 && C <= 0xDFFF; }

}  // namespace

char32_t DecodeUtf8(std::string_view Text, std::size_t& Pos, bool* Malformed) {
    const auto Byte = [&](std::size_t I) { return static_cast<std::uint8_t>(Text[I]); };
    const std::uint8_t Lead = Byte(Pos++);
    if (Lead < 0x80) return Lead;
    // The well-formed sequences: the lead byte fixes the length and the range
    // of the second byte, which is what keeps out overlong forms (C0, C1, E0
    // 80-9F, F0 80-8F), surrogates (ED A0-BF) and values past U+10FFFF (F4
    // 90-BF, F5 and up). Every further byte is 80-BF.
    int More = 0;
    std::uint8_t Low = 0x80, High = 0xBF;
    char32_t C = 0;
    if (Lead >= 0xC2 && Lead <= 0xDF) {
        More = 1;
        C = Lead & 0x1F;
    } else if (Lead >= 0xE0 && Lead <= 0xEF) {
        More = 2;
        C = Lead & 0x0F;
        if (Lead == 0xE0) Low = 0xA0;
        if (Lead == 0xED) High = 0x9F;
    } else if (Lead >= 0xF0 && Lead <= 0xF4) {
        More = 3;
        C = Lead & 0x07;
        if (Lead == 0xF0) Low = 0x90;
        if (Lead == 0xF4) High = 0x8F;
    }
    for (int K = 0; K < More; ++K) {
        if (Pos >= Text.size() || Byte(Pos) < Low || Byte(Pos) > High) {
            More = 0;  // malformed: what was read so far is the piece replaced
            break;
        }
        C = (C << 6) | (Byte(Pos++) & 0x3F);
        Low = 0x80;
        High = 0xBF;
    }
    if (More == 0) {
        if (Malformed) *Malformed = true;
        return ReplacementChar;
    }
    return C;
}

void AppendUtf8(AnsiString& Out, char32_t C) {
    if (IsSurrogate(C) || C > 0x10FFFF) C = ReplacementChar;
    if (C < 0x80) {
        Out += static_cast<char>(C);
    } else if (C < 0x800) {
        Out += static_cast<char>(0xC0 | (C >> 6));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    } else if (C < 0x10000) {
        Out += static_cast<char>(0xE0 | (C >> 12));
        Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    } else {
        Out += static_cast<char>(0xF0 | (C >> 18));
        Out += static_cast<char>(0x80 | ((C >> 12) & 0x3F));
        Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    }
}

void AppendUtf16(std::u16string& Out, char32_t C) {
    if (IsSurrogate(C) || C > 0x10FFFF) C = ReplacementChar;
    if (C < 0x10000) {
        Out += static_cast<char16_t>(C);
    } else {
        Out += static_cast<char16_t>(0xD800 + ((C - 0x10000) >> 10));
        Out += static_cast<char16_t>(0xDC00 + ((C - 0x10000) & 0x3FF));
    }
}

std::size_t Utf8PrefixLength(std::string_view Text, std::size_t Max) {
    std::size_t Length = std::min(Text.size(), Max);
    if (Length == Text.size()) {
        // Nothing follows the cut: a lead byte whose sequence is incomplete
        // ends the prefix before it.
        std::size_t Start = Length;
        while (Start > 0 && Length - Start < 3 && (static_cast<unsigned char>(Text[Start - 1]) & 0xC0) == 0x80) --Start;
        if (Start == 0) return Length;
        const auto Lead = static_cast<unsigned char>(Text[Start - 1]);
        const std::size_t Needed = Lead >= 0xF0 ? 4 : Lead >= 0xE0 ? 3 : Lead >= 0xC0 ? 2 : 1;
        return Length - (Start - 1) < Needed ? Start - 1 : Length;
    }
    while (Length > 0 && (static_cast<unsigned char>(Text[Length]) & 0xC0) == 0x80) --Length;
    return Length;
}

bool IsValidUtf8(std::string_view Text) {
    bool Malformed = false;
    for (std::size_t I = 0; I < Text.size() && !Malformed;) DecodeUtf8(Text, I, &Malformed);
    return !Malformed;
}

AnsiString ValidUtf8(std::string_view Text) {
    AnsiString Out;
    Out.reserve(Text.size());
    for (std::size_t I = 0; I < Text.size();) AppendUtf8(Out, DecodeUtf8(Text, I));
    return Out;
}

std::u16string Utf8ToUtf16(std::string_view Text) {
    std::u16string Out;
    Out.reserve(Text.size());
    for (std::size_t I = 0; I < Text.size();) AppendUtf16(Out, DecodeUtf8(Text, I));
    return Out;
}

namespace {

template <typename TUnitAt>
AnsiString Utf16ToUtf8(std::size_t Count, TUnitAt UnitAt) {
    AnsiString Out;
    Out.reserve(Count);
    for (std::size_t I = 0; I < Count; ++I) {
        char32_t C = UnitAt(I);
        if (C >= 0xD800 && C <= 0xDBFF && I + 1 < Count) {
            const char32_t Low = UnitAt(I + 1);
            if (Low >= 0xDC00 && Low <= 0xDFFF) {
                C = 0x10000 + ((C - 0xD800) << 10) + (Low - 0xDC00);
                ++I;
            }
        }
        AppendUtf8(Out, C);  // a surrogate left alone here is unpaired: U+FFFD
    }
    return Out;
}

}  // namespace

AnsiString Utf16ToUtf8(std::u16string_view Text) {
    return Utf16ToUtf8(Text.size(), [&](std::size_t I) { return static_cast<char32_t>(Text[I]); });
}

AnsiString Utf16LEToUtf8(const std::uint8_t* Data, std::size_t Count) {
    return Utf16ToUtf8(Count, [&](std::size_t I) { return static_cast<char32_t>(Data[2 * I] | (Data[2 * I + 1] << 8)); });
}

std::u32string Utf8ToCodePoints(std::string_view Text) {
    std::u32string Out;
    Out.reserve(Text.size());
    for (std::size_t Pos = 0; Pos < Text.size();) Out += DecodeUtf8(Text, Pos);
    return Out;
}

AnsiString CodePointsToUtf8(std::u32string_view Text) {
    AnsiString Out;
    Out.reserve(Text.size());
    for (char32_t C : Text) AppendUtf8(Out, C);
    return Out;
}
