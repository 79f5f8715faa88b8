// The characters a subset keeps (Typecask/component/SubsetCharacters.h).
#include "Typecask/component/SubsetCharacters.h"

#include <cctype>

#include "Typecask/component/FormFonts.h"
#include "platform/TextConv.h"

Os::TCodePoints RunTimeCharacters() {
    Os::TCodePoints Keep;
    for (char32_t C = 0x20; C <= 0x7E; ++C) Keep.insert(C);
    return Keep;
}

void AddTextCharacters(Os::TCodePoints& Keep, const AnsiString& Text) {
    for (const char32_t C : Utf8ToCodePoints(Text))
        if (C >= 0x20 && !(C >= 0x7F && C < 0xA0)) Keep.insert(C);
}

namespace {

// The code point of "U+XXXX" or "XXXX" (hexadecimal, at most U+10FFFF).
bool ParseCodePoint(std::string_view Text, char32_t& Out) {
    if (Text.size() > 2 && (Text[0] == 'U' || Text[0] == 'u') && Text[1] == '+') Text.remove_prefix(2);
    if (Text.empty() || Text.size() > 6) return false;
    std::uint32_t Value = 0;
    for (const char C : Text) {
        if (!std::isxdigit(static_cast<unsigned char>(C))) return false;
        Value = Value * 16 + static_cast<std::uint32_t>(std::isdigit(static_cast<unsigned char>(C))
                                                             ? C - '0'
                                                             : std::toupper(static_cast<unsigned char>(C)) - 'A' + 10);
    }
    Out = Value;
    return Value <= 0x10FFFF;
}

}  // namespace

void AddCharacterRanges(Os::TCodePoints& Keep, const AnsiString& List) {
    std::size_t Start = 0;
    while (Start < List.size()) {
        const std::size_t End = List.find_first_of(", \t\r\n", Start);
        const std::string_view Piece = std::string_view(List).substr(Start, End - Start);
        Start = End == AnsiString::npos ? List.size() : End + 1;
        if (Piece.empty()) continue;
        const std::size_t Dash = Piece.find('-');
        char32_t First = 0, Last = 0;
        const bool Valid = ParseCodePoint(Piece.substr(0, Dash), First) &&
                           (Dash == std::string_view::npos ? (Last = First, true)
                                                           : ParseCodePoint(Piece.substr(Dash + 1), Last)) &&
                           First <= Last;
        if (!Valid) throw EConvertError("\"" + AnsiString(Piece) + "\" is no range of characters such as U+0400-U+04FF");
        for (char32_t C = First; C <= Last; ++C) Keep.insert(C);
    }
}

void AddFormCharacters(Os::TCodePoints& Keep, TStream* FormData) {
    TMemoryStream Converted;
    TReader Reader(BinaryFormData(FormData, Converted));
    // Every string value, in lists and collection items too.
    TFormWalker Walk(Reader, TFormWalker::fsForm);
    for (TFormWalker::TStep Step; (Step = Walk.Next()) != TFormWalker::fwDone;)
        if (Step == TFormWalker::fwValue && GetValuePayload(Walk.ValueType()).Text)
            AddTextCharacters(Keep, Reader.ReadString());
}
