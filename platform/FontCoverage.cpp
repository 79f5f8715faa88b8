// Which characters an installed family draws, from its character map in the
// font table.
#include "platform/Graphics.h"

#include <algorithm>
#include <map>

#include "platform/TextConv.h"
#include "platform/os/Windows.h"

// --------------------------------------------------------- font coverage

namespace {

bool Covers(const std::vector<Os::TUnicodeRange>& Ranges, char32_t C) {
    auto It = std::upper_bound(Ranges.begin(), Ranges.end(), C,
                               [](char32_t Code, const Os::TUnicodeRange& R) { return Code < R.First; });
    return It != Ranges.begin() && std::prev(It)->Last >= C;
}

// Characters that need no glyph of the face's own to be shown.
bool IsBlankOrControl(char32_t C) {
    return (Os::GetCharTypeW(CT_CTYPE1, C) & (C1_SPACE | C1_CNTRL | C1_BLANK)) != 0 ||
           (Os::GetCharTypeW(CT_CTYPE1, C) & C1_DEFINED) == 0;
}

// A character that shows something by itself: no blank, control or mark.
bool IsVisible(char32_t C) {
    return C > 0x20 && !IsBlankOrControl(C) && (Os::GetCharTypeW(CT_CTYPE3, C) & C3_NONSPACING) == 0;
}

bool IsLetter(char32_t C) { return IsVisible(C) && (Os::GetCharTypeW(CT_CTYPE1, C) & C1_ALPHA) != 0; }

}  // namespace

bool FontCoversText(const AnsiString& Family, const AnsiString& Text) {
    const auto Ranges = Os::GetFamilyUnicodeRanges(Family.c_str());
    if (Ranges.empty()) return false;
    for (char32_t C : Utf8ToCodePoints(Text))
        if (!IsBlankOrControl(C) && !Covers(Ranges, C)) return false;
    return true;
}

AnsiString FontSampleText(const AnsiString& Family, int Count) {
    if (Count <= 0) return {};
    // Blocks of 128 code points, fullest first: letters outside the Latin
    // blocks (a script's own letters), else anything visible, else what
    // there is.
    constexpr char32_t Block = 128, LatinEnd = 0x250;
    std::map<char32_t, std::u32string> Letters, Visible;
    for (const auto& R : Os::GetFamilyUnicodeRanges(Family.c_str())) {
        for (char32_t C = R.First; C <= R.Last && C <= 0x10FFFF; ++C) {
            if (!IsVisible(C)) continue;
            auto& V = Visible[C / Block];
            if (V.size() < static_cast<std::size_t>(Count) || C >= LatinEnd) V += C;
            if (C >= LatinEnd && IsLetter(C)) Letters[C / Block] += C;
        }
    }
    auto Fullest = [](const std::map<char32_t, std::u32string>& Blocks, char32_t From) -> const std::u32string* {
        const std::u32string* Best = nullptr;
        for (const auto& [Index, Chars] : Blocks)
            if (Index * Block >= From && (!Best || Chars.size() > Best->size())) Best = &Chars;
        return Best;
    };
    const std::u32string* Chosen = Fullest(Letters, LatinEnd);
    if (!Chosen || Chosen->size() < static_cast<std::size_t>(Count)) {
        const std::u32string* Symbols = Fullest(Visible, 0x100);
        if (Symbols && (!Chosen || Symbols->size() > Chosen->size())) Chosen = Symbols;
    }
    if (!Chosen) Chosen = Fullest(Visible, 0);
    if (!Chosen) return {};
    return CodePointsToUtf8(std::u32string_view(*Chosen).substr(0, static_cast<std::size_t>(Count)));
}
