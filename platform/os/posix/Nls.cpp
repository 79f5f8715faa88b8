// Comparing texts by the user's locale and classifying characters, through
// the C library's locales: the user's for collation, C.UTF-8 for the
// Unicode character data.
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <locale.h>
#include <mutex>
#include <string>
#include <wchar.h>

#include "platform/TextConv.h"
#include "platform/SysUtils.h"
#include "platform/os/Windows.h"
#include "platform/os/posix/OsState.h"

namespace Os::Posix {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char32_t), "wide characters hold code points");

constexpr locale_t NoLocale = static_cast<locale_t>(nullptr);

// The Unicode character data (case mappings, classes); NoLocale when the
// system lacks C.UTF-8.
locale_t UnicodeLocale() {
    static const locale_t Instance = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", NoLocale);
    return Instance;
}

// The locale name the environment gives for collation.
std::string CollationName() {
    for (const char* Name : {"LC_ALL", "LC_COLLATE", "LANG"})
        if (const char* Value = std::getenv(Name); Value && *Value) return Value;
    return "C";
}

bool OrdersByCodePoint(const std::string& Name) {
    return Name == "C" || Name == "POSIX" || Name.rfind("C.", 0) == 0;
}

// The user's collation locale, made again when the environment names
// another one; NoLocale where it orders by code point or is not installed.
class TCollation {
public:
    ~TCollation() {
        if (FLocale != NoLocale) ::freelocale(FLocale);
    }
    locale_t Get() {
        const std::string Name = CollationName();
        if (!FMade || Name != FName) {
            if (FLocale != NoLocale) ::freelocale(FLocale);
            FLocale = OrdersByCodePoint(Name) ? NoLocale
                                              : ::newlocale(LC_COLLATE_MASK | LC_CTYPE_MASK, Name.c_str(), NoLocale);
            FName = Name;
            FMade = true;
        }
        return FLocale;
    }
    std::mutex Lock;

private:
    locale_t FLocale = NoLocale;
    std::string FName;
    bool FMade = false;
};

TCollation& Collation() {
    static TCollation Instance;
    return Instance;
}

// Letters fold to small ones, so that punctuation below the small letters
// (as '_') sorts before every letter.
char32_t Lower(char32_t C) {
    if (C < 0x80) return C >= 'A' && C <= 'Z' ? C + 0x20 : C;
    const locale_t U = UnicodeLocale();
    return U == NoLocale ? C : static_cast<char32_t>(::towlower_l(static_cast<wint_t>(C), U));
}

// The base letters of the accented Latin letters U+00C0 to U+017F (a blank
// for those that are no accented letter).
constexpr const char* LatinBases =
    "AAAAAAACEEEEIIII"
    "DNOOOOO OUUUUY s"
    "aaaaaaaceeeeiiii"
    "dnooooo ouuuuy y"
    "AaAaAaCcCcCcCcDd"
    "DdEeEeEeEeEeGgGg"
    "GgGgHhHhIiIiIiIi"
    "IiIiJjKkkLlLlLlL"
    "lLlNnNnNnnNnOoOo"
    "OoOoRrRrRrSsSsSs"
    "SsTtTtTtUuUuUuUu"
    "UuUuWwYyYZzZzZzs";

// The language-neutral primary weight of a character: accented Latin
// letters weigh as their base letter, letters ignore their case.
char32_t PrimaryWeight(char32_t C) {
    if (C >= 0xC0 && C <= 0x17F && LatinBases[C - 0xC0] != ' ') C = static_cast<unsigned char>(LatinBases[C - 0xC0]);
    return Lower(C);
}

int Sign(int V) { return V < 0 ? -1 : V > 0 ? 1 : 0; }

int CompareCodePoints(const std::u32string& A, const std::u32string& B) { return Sign(A.compare(B)); }

// Base letters first, then accents (the letters as they are, case ignored).
int NeutralCompare(const std::u32string& A, const std::u32string& B) {
    const std::size_t N = std::min(A.size(), B.size());
    for (std::size_t I = 0; I < N; ++I) {
        const char32_t X = PrimaryWeight(A[I]), Y = PrimaryWeight(B[I]);
        if (X != Y) return X < Y ? -1 : 1;
    }
    if (A.size() != B.size()) return A.size() < B.size() ? -1 : 1;
    std::u32string FoldedA, FoldedB;
    for (char32_t C : A) FoldedA += Lower(C);
    for (char32_t C : B) FoldedB += Lower(C);
    return CompareCodePoints(FoldedA, FoldedB);
}

}  // namespace

std::string FoldCase(const std::string& Text) {
    // The C.UTF-8 locale knows the Unicode case mappings; without it only
    // ASCII letters are folded.
    static const locale_t Utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    std::string Out;
    Out.reserve(Text.size());
    std::size_t I = 0;
    const std::size_t N = Text.size();
    while (I < N) {
        const auto C = static_cast<unsigned char>(Text[I]);
        if (C < 0x80) {
            Out += UpperCase(static_cast<char>(C));
            ++I;
            continue;
        }
        // Decode one UTF-8 sequence; anything malformed is kept byte for byte.
        std::size_t Next = I;
        bool Malformed = false;
        const char32_t Cp = DecodeUtf8(Text, Next, &Malformed);
        if (Malformed || Utf8 == static_cast<locale_t>(nullptr)) {
            Out.append(Text, I, Next - I);
        } else {
            AppendUtf8(Out, static_cast<char32_t>(::towupper_l(static_cast<wint_t>(Cp), Utf8)));
        }
        I = Next;
    }
    return Out;
}

}  // namespace Os::Posix

using namespace Os::Posix;

int CompareStringA(LCID Locale, DWORD Flags, LPCSTR String1, int Count1, LPCSTR String2, int Count2) {
    if (Locale != LOCALE_USER_DEFAULT || !String1 || !String2 || (Flags & ~NORM_IGNORECASE) != 0) {
        SetError(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        return 0;
    }
    const AnsiString Raw1(String1, Count1 < 0 ? std::strlen(String1) : static_cast<std::size_t>(Count1));
    const AnsiString Raw2(String2, Count2 < 0 ? std::strlen(String2) : static_cast<std::size_t>(Count2));
    std::u32string A = Utf8ToCodePoints(Raw1), B = Utf8ToCodePoints(Raw2);
    const bool IgnoreCase = (Flags & NORM_IGNORECASE) != 0;
    if (IgnoreCase) {
        for (char32_t& C : A) C = Lower(C);
        for (char32_t& C : B) C = Lower(C);
    }
    int Result = 0;
    {
        TCollation& C = Collation();
        std::lock_guard Lock(C.Lock);
        if (const locale_t L = C.Get(); L != NoLocale) {
            // wcscoll stops at a zero, which the decoded texts do not hold.
            const std::wstring WA(A.begin(), A.end()), WB(B.begin(), B.end());
            Result = Sign(::wcscoll_l(WA.c_str(), WB.c_str(), L));
        } else {
            Result = NeutralCompare(A, B);
        }
    }
    if (Result == 0) Result = IgnoreCase ? CompareCodePoints(A, B) : Sign(Raw1.compare(Raw2));
    return Result < 0 ? CSTR_LESS_THAN : Result > 0 ? CSTR_GREATER_THAN : CSTR_EQUAL;
}

namespace Os {

// The texts are UTF-8 here whatever the locale: CompareStringA's own reading.
int CompareUtf8(DWORD Flags, std::string_view A, std::string_view B) {
    return CompareStringA(LOCALE_USER_DEFAULT, Flags, A.data(), static_cast<int>(A.size()), B.data(),
                          static_cast<int>(B.size()));
}

WORD GetCharTypeW(DWORD InfoType, char32_t Char) {
    const bool PrivateUse =
        (Char >= 0xE000 && Char <= 0xF8FF) || (Char >= 0xF0000 && Char <= 0x10FFFD && (Char & 0xFFFF) < 0xFFFE);
    const locale_t U = UnicodeLocale();
    const auto W = static_cast<wint_t>(Char);
    if (InfoType == CT_CTYPE3) {
        if (Char < 0x300 || PrivateUse || U == NoLocale) return 0;
        // Marks and other characters that take no room of their own.
        const locale_t Old = ::uselocale(U);
        const int Width = ::wcwidth(static_cast<wchar_t>(Char));
        ::uselocale(Old);
        return Width == 0 ? C3_NONSPACING : 0;
    }
    if (InfoType != CT_CTYPE1) return 0;
    if (PrivateUse) return C1_PUNCT | C1_DEFINED;
    if (U == NoLocale && Char >= 0x80) return 0;
    WORD Type = 0;
    static const locale_t Plain = ::newlocale(LC_CTYPE_MASK, "C", NoLocale);
    const locale_t L = U == NoLocale ? Plain : U;
    if (::iswupper_l(W, L)) Type |= C1_UPPER;
    if (::iswlower_l(W, L)) Type |= C1_LOWER;
    if (::iswdigit_l(W, L)) Type |= C1_DIGIT;
    if (::iswspace_l(W, L)) Type |= C1_SPACE;
    if (::iswpunct_l(W, L)) Type |= C1_PUNCT;
    if (::iswcntrl_l(W, L)) Type |= C1_CNTRL;
    if (::iswblank_l(W, L)) Type |= C1_BLANK;
    if (::iswalpha_l(W, L)) Type |= C1_ALPHA;
    if (Type != 0 || ::iswprint_l(W, L)) Type |= C1_DEFINED;
    return Type;
}

}  // namespace Os
