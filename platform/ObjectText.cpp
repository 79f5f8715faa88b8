#include "platform/ObjectText.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/Filer.h"
#include "platform/TextConv.h"

namespace {

// ---------------------------------------------------- 80-bit extended values

AnsiString FormatExtended(const std::uint8_t* B) {
    std::uint64_t Mantissa = 0;
    for (int I = 7; I >= 0; --I) Mantissa = (Mantissa << 8) | B[I];
    const int SignExp = B[8] | (B[9] << 8);
    const bool Negative = SignExp & 0x8000;
    const int Exp = SignExp & 0x7FFF;
    if (Exp == 0x7FFF)
        return Mantissa << 1 ? AnsiString(Negative ? "-Nan" : "Nan") : AnsiString(Negative ? "-Inf" : "+Inf");
    // An exponent field of 0 (denormals) counts as 1.
    long double V = std::ldexp(static_cast<long double>(Mantissa), std::max(Exp, 1) - 16383 - 63);
    if (Negative) V = -V;
    char Text[64];
    std::snprintf(Text, sizeof Text, "%.20Le", V);
    // d.ddddE+xxxx with a blank where a minus sign would stand.
    AnsiString S = Text;
    const auto E = S.find('e');
    AnsiString Digits = S.substr(0, E);
    const char ExpSign = S[E + 1];
    const AnsiString ExpDigits = S.substr(E + 2);
    if (Digits[0] != '-') Digits.insert(0, 1, ' ');
    AnsiString Result = Digits + 'E' + ExpSign;
    if (ExpDigits.size() < 4) Result.append(4 - ExpDigits.size(), '0');
    Result += ExpDigits;
    return Result;
}

void EncodeExtended(long double V, std::uint8_t* B) {
    std::memset(B, 0, 10);
    const bool Negative = std::signbit(V);
    if (std::isnan(V) || std::isinf(V)) {
        // Infinity, or the quiet NaN that arithmetic produces.
        B[7] = std::isnan(V) ? 0xC0 : 0x80;
        B[8] = 0xFF;
        B[9] = Negative ? 0xFF : 0x7F;
        return;
    }
    if (V == 0) {
        B[9] = Negative ? 0x80 : 0;
        return;
    }
    if (Negative) V = -V;
    int E = 0;
    const long double F = std::frexp(V, &E);  // V = F * 2^E, F in [0.5, 1)
    int Exp = E - 1 + 16383;
    // Too small for the exponent: a denormal, exponent field 0 (counting as 1).
    const auto Mantissa = static_cast<std::uint64_t>(Exp > 0 ? std::ldexp(F, 64) : std::ldexp(V, 16382 + 63));
    if (Exp < 0) Exp = 0;
    for (int I = 0; I < 8; ++I) B[I] = static_cast<std::uint8_t>(Mantissa >> (8 * I));
    B[8] = static_cast<std::uint8_t>(Exp);
    B[9] = static_cast<std::uint8_t>(((Exp >> 8) & 0x7F) | (Negative ? 0x80 : 0));
}

// ------------------------------------------------------------ binary -> text

class TBinaryToText {
public:
    TBinaryToText(TStream* Input, TStream* Output) : FReader(Input), FOutput(Output) {}

    void Run() {
        TFormWalker Walk(FReader, TFormWalker::fsForm);
        for (;;) {
            switch (Walk.Next()) {
                case TFormWalker::fwComponent: Component(Walk.Header()); break;
                case TFormWalker::fwProperty:
                    FValueIndent = FOpen.back().Inner;
                    Out(FValueIndent + Ident(Walk.PropName()) + " = ");
                    break;
                case TFormWalker::fwValue: Value(Walk.ValueType()); break;
                case TFormWalker::fwItem: {
                    const AnsiString Indent = FOpen.back().Inner;
                    Out("  \n" + Indent + "item");
                    if (Walk.HasIndex()) Out(" [" + std::to_string(Walk.Index()) + "]");
                    Out("\n");
                    FOpen.push_back({Indent + "  ", Indent, true});
                    break;
                }
                case TFormWalker::fwEndOfList: EndOfList(Walk.Ended()); break;
                case TFormWalker::fwStart: break;
                case TFormWalker::fwDone: Flush(); return;
            }
        }
    }

private:
    // An open component, list, collection or item: the indent of what it
    // holds and its own.
    struct TOpen {
        AnsiString Inner;
        AnsiString Outer;
        bool HoldsProperties;  // a component or an item; else values or items
    };

    void Out(const AnsiString& S) {
        FBuffer += S;
        if (FBuffer.size() >= 64 * 1024) Flush();
    }
    void Flush() {
        FOutput->WriteBuffer(FBuffer.data(), static_cast<std::int64_t>(FBuffer.size()));
        FBuffer.clear();
    }

    void Component(const TComponentHeader& Header) {
        const AnsiString Indent = FOpen.empty() ? AnsiString() : FOpen.back().Inner;
        Out(Indent);
        Out(Header.Flags.Contains(ffInherited) ? "inherited " : Header.Flags.Contains(ffInline) ? "inline " : "object ");
        if (!Header.Name.empty()) Out(Ident(Header.Name) + ": ");
        Out(Ident(Header.ClassName));
        if (Header.Flags.Contains(ffChildPos)) Out("[" + std::to_string(Header.ChildPos) + "]");
        Out("\n");
        FOpen.push_back({Indent + "  ", Indent, true});
    }

    void EndOfList(TFormWalker::TList Ended) {
        const AnsiString Outer = FOpen.back().Outer;
        switch (Ended) {
            case TFormWalker::flProperties: return;  // the children follow at the same indent
            case TFormWalker::flComponents: Out(Outer + "end\n"); break;
            case TFormWalker::flValues: Out("\n" + Outer + ")"); break;
            case TFormWalker::flItems: Out(">"); break;
            case TFormWalker::flItemProperties: Out(Outer + "end"); break;
        }
        FOpen.pop_back();
        if (Ended == TFormWalker::flValues || Ended == TFormWalker::flItems) EndOfValue();
    }

    // A property's value ends its line; a list's values start theirs.
    void EndOfValue() {
        if (FOpen.back().HoldsProperties) Out("\n");
    }

    // What the text reader takes as one identifier: letters, digits and
    // underscores, not starting with a digit, dotted for the properties of
    // sub-objects.
    static bool IsIdentifier(const AnsiString& S) {
        auto Alpha = [](char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_'; };
        if (S.empty() || !Alpha(S[0])) return false;
        for (std::size_t I = 1; I < S.size(); ++I)
            if (!Alpha(S[I]) && !(S[I] >= '0' && S[I] <= '9') && !(S[I] == '.' && I + 1 < S.size() && Alpha(S[I + 1])))
                return false;
        return true;
    }
    // Names stand as they are when they are identifiers other than the words
    // that start or end a component; any other name (empty ones included) is
    // quoted, which the text reader takes for names.
    static bool IsIdent(const AnsiString& S) {
        if (!IsIdentifier(S)) return false;
        for (const char* Word : {"end", "object", "inherited", "inline"})
            if (SameIdent(S, Word)) return false;
        return true;
    }
    // Identifier values and set elements have no quoted form: one that is no
    // identifier, or a value that would read as a number (Nan, Inf; inside a
    // set they are plain names), is refused rather than written as text that
    // does not convert back.
    static const AnsiString& ValueIdent(const AnsiString& S, bool InSet = false) {
        if (!IsIdentifier(S) || (!InSet && (S == "Nan" || S == "Inf")))
            throw EReadError("Invalid stream format: the identifier '%s' has no text form", {S});
        return S;
    }
    static AnsiString Ident(const AnsiString& S) { return IsIdent(S) ? S : QuoteBytes(S); }

    static AnsiString QuoteBytes(const AnsiString& S) {
        std::u16string Units;
        for (char C : S) Units += static_cast<char16_t>(static_cast<std::uint8_t>(C));
        return Quote(Units);
    }

    // Printable ASCII in quotes, everything else as #code: one code per byte
    // of a byte string, one per UTF-16 unit of a wide one, so that the text
    // converts back to exactly the units it came from.
    static AnsiString Quote(std::u16string_view Units) {
        if (Units.empty()) return "''";
        AnsiString Result;
        bool InQuote = false;
        for (char16_t C : Units) {
            if (C >= 32 && C < 127) {
                if (!InQuote) Result += '\'';
                InQuote = true;
                Result += static_cast<char>(C);
                if (C == '\'') Result += '\'';
            } else {
                if (InQuote) Result += '\'';
                InQuote = false;
                Result += "#" + std::to_string(static_cast<unsigned>(C));
            }
        }
        if (InQuote) Result += '\'';
        return Result;
    }

    void Value(TValueType V) {
        if (!FOpen.back().HoldsProperties) {
            FValueIndent = FOpen.back().Inner;
            Out("\n" + FValueIndent);
        }
        const AnsiString Indent = FValueIndent;
        switch (V) {
            case vaList:
                Out("(");
                FOpen.push_back({Indent + "  ", Indent, false});
                return;
            case vaCollection:
                Out("<");
                FOpen.push_back({Indent + "  ", Indent, false});
                return;
            case vaInt8:
            case vaInt16:
            case vaInt32:
            case vaInt64: Out(std::to_string(FReader.ReadInt64())); break;
            case vaQWord: Out(std::to_string(FReader.ReadFixed().Bits())); break;
            case vaExtended: Out(FormatExtended(FReader.ReadFixed().Bytes)); break;
            case vaSingle:
            case vaDouble:
            case vaCurrency:
            case vaDate: {
                const std::uint64_t Bits = FReader.ReadFixed().Bits();
                long double X;
                if (V == vaSingle) {
                    const auto Single = static_cast<std::uint32_t>(Bits);
                    float F;
                    std::memcpy(&F, &Single, 4);
                    X = F;
                } else if (V == vaCurrency) {
                    X = static_cast<long double>(static_cast<std::int64_t>(Bits)) / 10000;
                } else {
                    double D;
                    std::memcpy(&D, &Bits, 8);
                    X = D;
                }
                std::uint8_t B[10];
                EncodeExtended(X, B);
                Out(FormatExtended(B));
                break;
            }
            case vaString:
            case vaLString: Out(QuoteBytes(FReader.ReadString())); break;
            case vaWString:
            case vaUString:
            case vaUTF8String: Out(Quote(FReader.ReadWideString())); break;
            case vaIdent:
            case vaFalse:
            case vaTrue:
            case vaNil:
            case vaNull: Out(ValueIdent(FReader.ReadIdent())); break;
            case vaBinary: {
                TMemoryStream Data;
                FReader.ReadBinary(&Data);
                Out("{");
                const std::uint8_t* P = Data.GetMemory();
                for (std::int64_t I = 0; I < Data.GetSize(); I += 32) {
                    Out("\n" + Indent + "  ");
                    Out(BytesToHex(P + I, static_cast<std::size_t>(std::min<std::int64_t>(32, Data.GetSize() - I))));
                }
                Out("\n" + Indent + "}");
                break;
            }
            case vaSet: {
                AnsiString S = "[";
                for (const auto& N : FReader.ReadSet()) S += (S.size() > 1 ? ", " : "") + ValueIdent(N, true);
                Out(S + "]");
                break;
            }
        }
        EndOfValue();
    }

    TReader FReader;
    TStream* FOutput;
    AnsiString FBuffer;
    std::vector<TOpen> FOpen;
    AnsiString FValueIndent;  // of the value at hand
};

// ------------------------------------------------------------ text -> binary

class TTextToBinary {
public:
    TTextToBinary(TStream* Input, TStream* Output) : FWriter(&FBuffer), FOutput(Output) {
        TMemoryStream Text;
        Text.LoadFromStream(Input);
        FText.assign(reinterpret_cast<const char*>(Text.GetMemory()), static_cast<std::size_t>(Text.GetSize()));
    }

    void Run() {
        FWriter.WriteSignature();
        Next();
        ParseObject(0);
        if (FKind != tkEof) Error("end of text expected after the last 'end'");
        FBuffer.SetPosition(0);
        FOutput->CopyFrom(&FBuffer, FBuffer.GetSize());
    }

private:
    enum TTokenKind { tkEof, tkIdent, tkString, tkInteger, tkFloat, tkSymbol };

    [[noreturn]] void Error(const AnsiString& Msg) {
        throw EParserError("Line %d: %s", {FTokenLine, Msg});
    }
    [[noreturn]] void Expected(const AnsiString& What) {
        Error(What + " expected but " + Describe() + " found");
    }
    AnsiString Describe() const {
        switch (FKind) {
            case tkEof: return "end of text";
            case tkString: return "a string";
            case tkSymbol: return "'" + FToken + "'";
            default: return "'" + FToken + "'";
        }
    }
    bool IsSymbol(char C) const { return FKind == tkSymbol && FToken.size() == 1 && FToken[0] == C; }
    bool IsKeyword(const char* K) const { return FKind == tkIdent && SameIdent(FToken, K); }
    void Expect(char C) {
        if (!IsSymbol(C)) Expected(AnsiString("'") + C + "'");
        Next();
    }
    AnsiString ExpectIdent(const char* What) {
        if (FKind != tkIdent) Expected(What);
        AnsiString Result = FToken;
        Next();
        return Result;
    }
    // A name: an identifier, or quoted bytes for a name that is not one.
    bool IsName() const { return FKind == tkString || (FKind == tkIdent && !IsKeyword("end") && !IsKeyword("object") &&
                                                        !IsKeyword("inherited") && !IsKeyword("inline")); }
    AnsiString ExpectName(const char* What) {
        AnsiString Result;
        if (FKind == tkString && !FWide)
            for (const auto& U : FUnits) Result += static_cast<char>(U.Code);
        else if (FKind == tkIdent)
            Result = FToken;
        else
            Expected(What);
        if (Result.size() > MaxShortString) Error(AnsiString(What) + " too long");
        Next();
        return Result;
    }
    static bool Alpha(char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_'; }
    static bool Digit(char C) { return C >= '0' && C <= '9'; }

    void SkipBlanks() {
        while (FPos < FText.size()) {
            const char C = FText[FPos];
            if (C == '\n') ++FLine;
            if (C != ' ' && C != '\t' && C != '\r' && C != '\n') break;
            ++FPos;
        }
    }

    void Next() {
        SkipBlanks();
        FTokenLine = FLine;
        FToken.clear();
        FUnits.clear();
        if (FPos >= FText.size()) {
            FKind = tkEof;
            return;
        }
        const char C = FText[FPos];
        if (Alpha(C)) {
            // Identifiers, dotted for the properties of sub-objects.
            while (FPos < FText.size() && (Alpha(FText[FPos]) || Digit(FText[FPos]) ||
                                           (FText[FPos] == '.' && FPos + 1 < FText.size() && Alpha(FText[FPos + 1]))))
                FToken += FText[FPos++];
            FKind = tkIdent;
        } else if (C == '\'' || C == '#') {
            ReadStringToken();
        } else if (Digit(C) || ((C == '-' || C == '+') && FPos + 1 < FText.size() && Digit(FText[FPos + 1]))) {
            FToken += FText[FPos++];
            FKind = tkInteger;
            while (FPos < FText.size()) {
                const char D = FText[FPos];
                if (Digit(D)) {
                    FToken += D;
                } else if (D == '.' || D == 'e' || D == 'E') {
                    FKind = tkFloat;
                    FToken += D;
                    if ((D == 'e' || D == 'E') && FPos + 1 < FText.size() &&
                        (FText[FPos + 1] == '-' || FText[FPos + 1] == '+'))
                        FToken += FText[++FPos];
                } else {
                    break;
                }
                ++FPos;
            }
        } else if (C == '$') {
            ++FPos;
            while (FPos < FText.size() && std::isxdigit(static_cast<unsigned char>(FText[FPos]))) FToken += FText[FPos++];
            if (FToken.empty() || FToken.size() > 16) Error("invalid hexadecimal number");
            FToken = std::to_string(static_cast<std::int64_t>(std::stoull(FToken, nullptr, 16)));
            FKind = tkInteger;
        } else {
            FToken = AnsiString(1, C);
            ++FPos;
            FKind = tkSymbol;
        }
    }

    // 'quoted' and #nn parts, joined by + across lines. The characters are
    // kept as bytes (quoted text) and as character codes (#nn).
    void ReadStringToken() {
        FKind = tkString;
        FWide = false;
        for (;;) {
            if (FPos < FText.size() && FText[FPos] == '\'') {
                ++FPos;
                for (;;) {
                    if (FPos >= FText.size() || FText[FPos] == '\n') Error("unterminated string");
                    if (FText[FPos] == '\'') {
                        if (FPos + 1 < FText.size() && FText[FPos + 1] == '\'') {
                            FUnits.push_back({'\'', false});
                            FPos += 2;
                            continue;
                        }
                        ++FPos;
                        break;
                    }
                    FUnits.push_back({static_cast<std::uint8_t>(FText[FPos++]), false});
                }
            } else if (FPos < FText.size() && FText[FPos] == '#') {
                ++FPos;
                std::uint32_t Code = 0;
                std::size_t Digits = 0;
                const bool HexCode = FPos < FText.size() && FText[FPos] == '$';
                if (HexCode) ++FPos;
                while (FPos < FText.size() &&
                       (HexCode ? std::isxdigit(static_cast<unsigned char>(FText[FPos])) != 0 : Digit(FText[FPos]))) {
                    const char D = FText[FPos++];
                    Code = Code * (HexCode ? 16 : 10) +
                           static_cast<std::uint32_t>(Digit(D) ? D - '0' : (std::tolower(D) - 'a' + 10));
                    if (++Digits > 7 || Code > 0x10FFFF) Error("invalid character code");
                }
                if (Digits == 0) Error("character code expected after #");
                // Codes up to 255 stay bytes, so that texts of any byte
                // content convert back to exactly the bytes they came from.
                if (Code > 255) FWide = true;
                FUnits.push_back({Code, true});
            } else {
                // A + joins the next part, also on the next line. A + before
                // anything but a string is not a join: it signs the next
                // value, as "+Inf" after a string item in a list.
                const std::size_t Save = FPos;
                const int SaveLine = FLine;
                SkipBlanks();
                if (FPos < FText.size() && FText[FPos] == '+') {
                    ++FPos;
                    SkipBlanks();
                    if (FPos < FText.size() && (FText[FPos] == '\'' || FText[FPos] == '#')) continue;
                }
                FPos = Save;
                FLine = SaveLine;
                return;
            }
        }
    }

    void WriteStringValue() {
        if (!FWide) {
            AnsiString Bytes;
            for (const auto& U : FUnits) Bytes += static_cast<char>(U.Code);
            FWriter.WriteString(Bytes);
            return;
        }
        // Wide: quoted text is UTF-8 (malformed pieces become U+FFFD), #nn
        // are UTF-16 units or, past U+FFFF, characters; stored as UTF-16.
        std::u16string Units;
        for (std::size_t I = 0; I < FUnits.size();) {
            if (FUnits[I].IsCode) {
                const std::uint32_t C = FUnits[I++].Code;
                if (C > 0xFFFF)
                    AppendUtf16(Units, C);
                else
                    Units += static_cast<char16_t>(C);
                continue;
            }
            AnsiString Run;
            for (; I < FUnits.size() && !FUnits[I].IsCode; ++I) Run += static_cast<char>(FUnits[I].Code);
            Units += Utf8ToUtf16(Run);
        }
        FWriter.WriteValue(vaWString);
        FWriter.WriteDWord(static_cast<std::uint32_t>(Units.size()));
        for (char16_t U : Units) {
            FWriter.WriteByte(static_cast<std::uint8_t>(U));
            FWriter.WriteByte(static_cast<std::uint8_t>(U >> 8));
        }
    }

    void CheckDepth(int Depth) {
        if (Depth > FilerNestingLimit) Error(Format("values nest more than %d deep", {FilerNestingLimit}));
    }

    void ParseObject(int Depth) {
        CheckDepth(Depth);
        TFilerFlags Flags;
        if (IsKeyword("inherited"))
            Flags << ffInherited;
        else if (IsKeyword("inline"))
            Flags << ffInline;
        else if (!IsKeyword("object"))
            Expected("'object'");
        Next();
        AnsiString Name;
        AnsiString ClassName = ExpectName("component name");
        if (IsSymbol(':')) {
            Next();
            Name = ClassName;
            ClassName = ExpectName("class name");
        }
        int Pos = 0;
        if (IsSymbol('[')) {
            Next();
            if (FKind != tkInteger) Expected("child position");
            Pos = ToInt();
            Flags << ffChildPos;
            Next();
            Expect(']');
        }
        FWriter.WriteHeader(Flags, Pos, ClassName, Name);
        while (IsName()) ParseProperty(Depth);
        FWriter.WriteListEnd();
        while (IsKeyword("object") || IsKeyword("inherited") || IsKeyword("inline")) ParseObject(Depth + 1);
        FWriter.WriteListEnd();
        if (!IsKeyword("end")) Expected("'end'");
        Next();
    }

    void ParseProperty(int Depth) {
        // Stored, an empty name would read as the end of the property list.
        if (FKind == tkString && FUnits.empty()) Error("empty property name");
        FWriter.WriteStr(ExpectName("property name"));
        Expect('=');
        ParseValue(Depth + 1);
    }

    int ToInt() {
        try {
            return std::stoi(FToken);
        } catch (const std::logic_error&) {
            Error("integer out of range: " + FToken);
        }
    }

    void ParseValue(int Depth) {
        CheckDepth(Depth);
        switch (FKind) {
            case tkInteger: {
                // Past the signed 64-bit range, an unsigned value as vaQWord
                // holds it.
                errno = 0;
                char* End = nullptr;
                const std::int64_t V = std::strtoll(FToken.c_str(), &End, 10);
                if (errno != ERANGE) {
                    FWriter.WriteInteger(V);
                } else {
                    errno = 0;
                    const std::uint64_t U = std::strtoull(FToken.c_str(), &End, 10);
                    if (errno == ERANGE || FToken[0] == '-') Error("integer out of range: " + FToken);
                    FWriter.WriteValue(vaQWord);
                    FWriter.WriteQWord(U);
                }
                Next();
                return;
            }
            case tkFloat: {
                // Values too small for a normal number stay denormals;
                // those too large for any are refused.
                errno = 0;
                char* End = nullptr;
                const long double V = std::strtold(FToken.c_str(), &End);
                if (End != FToken.c_str() + FToken.size() || (errno == ERANGE && std::isinf(V)))
                    Error("invalid number: " + FToken);
                WriteExtended(V);
                Next();
                return;
            }
            case tkString:
                WriteStringValue();
                Next();
                return;
            case tkIdent:
                if (FToken == "Nan" || FToken == "Inf")
                    WriteExtended(FToken == "Nan" ? std::numeric_limits<long double>::quiet_NaN()
                                                  : std::numeric_limits<long double>::infinity());
                else
                    FWriter.WriteIdent(FToken);
                Next();
                return;
            case tkEof: Expected("value");
            case tkSymbol: break;
        }
        if (IsSymbol('+') || IsSymbol('-')) {
            // A signed infinity or NaN, as extended values are written.
            const bool Negative = IsSymbol('-');
            Next();
            if (FKind != tkIdent || (FToken != "Inf" && FToken != "Nan")) Expected("'Inf' or 'Nan'");
            const long double V = FToken == "Nan" ? std::numeric_limits<long double>::quiet_NaN()
                                                  : std::numeric_limits<long double>::infinity();
            WriteExtended(Negative ? -V : V);
            Next();
        } else if (IsSymbol('[')) {
            Next();
            std::vector<AnsiString> Names;
            while (!IsSymbol(']')) {
                Names.push_back(ExpectIdent("set element"));
                if (IsSymbol(',')) {
                    Next();
                    if (IsSymbol(']')) Expected("set element");
                } else if (!IsSymbol(']')) {
                    Expected("',' or ']'");
                }
            }
            Next();
            FWriter.WriteSet(Names);
        } else if (IsSymbol('(')) {
            Next();
            FWriter.WriteListBegin();
            while (!IsSymbol(')')) ParseValue(Depth + 1);
            Next();
            FWriter.WriteListEnd();
        } else if (IsSymbol('{')) {
            ParseBinary();
        } else if (IsSymbol('<')) {
            Next();
            FWriter.WriteValue(vaCollection);
            while (!IsSymbol('>')) {
                if (!IsKeyword("item")) Expected("'item'");
                Next();
                if (IsSymbol('[')) {
                    Next();
                    if (FKind != tkInteger) Expected("item index");
                    FWriter.WriteInteger(ToInt());
                    Next();
                    Expect(']');
                }
                FWriter.WriteListBegin();
                while (IsName()) ParseProperty(Depth);
                FWriter.WriteListEnd();
                if (!IsKeyword("end")) Expected("'end'");
                Next();
            }
            Next();
            FWriter.WriteListEnd();
        } else {
            Expected("value");
        }
    }

    void WriteExtended(long double V) {
        std::uint8_t B[10];
        EncodeExtended(V, B);
        FWriter.WriteValue(vaExtended);
        FWriter.Write(B, 10);
    }

    // The token is '{': hex digits up to '}', blanks and line breaks ignored.
    void ParseBinary() {
        std::vector<std::uint8_t> Data;
        int High = -1;
        for (;;) {
            if (FPos >= FText.size()) Error("'}' expected at the end of a binary value");
            const char C = FText[FPos++];
            if (C == '}') break;
            if (C == '\n') ++FLine;
            if (C == ' ' || C == '\t' || C == '\r' || C == '\n') continue;
            if (!std::isxdigit(static_cast<unsigned char>(C))) {
                FTokenLine = FLine;
                Error(AnsiString("invalid character '") + C + "' in a binary value");
            }
            const int Nibble = Digit(C) ? C - '0' : std::tolower(C) - 'a' + 10;
            if (High < 0) {
                High = Nibble;
            } else {
                Data.push_back(static_cast<std::uint8_t>((High << 4) | Nibble));
                High = -1;
            }
        }
        if (High >= 0) Error("odd number of hexadecimal digits in a binary value");
        if (Data.size() > UINT32_MAX) Error("binary value too large");
        FWriter.WriteBinary(Data.data(), static_cast<std::uint32_t>(Data.size()));
        Next();
    }

    struct TUnit {
        std::uint32_t Code;
        bool IsCode;
    };

    TMemoryStream FBuffer;
    TWriter FWriter;
    TStream* FOutput;
    AnsiString FText;
    std::size_t FPos = 0;
    int FLine = 1;
    int FTokenLine = 1;
    TTokenKind FKind = tkEof;
    AnsiString FToken;
    std::vector<TUnit> FUnits;
    bool FWide = false;
};

}  // namespace

void ObjectBinaryToText(TStream* Input, TStream* Output) { TBinaryToText(Input, Output).Run(); }

void ObjectTextToBinary(TStream* Input, TStream* Output) { TTextToBinary(Input, Output).Run(); }
