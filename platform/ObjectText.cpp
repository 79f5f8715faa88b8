#include "platform/ObjectText.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/Filer.h"

namespace {

// ---------------------------------------------------- 80-bit extended values

AnsiString FormatExtended(const std::uint8_t* B) {
    std::uint64_t Mantissa = 0;
    for (int I = 7; I >= 0; --I) Mantissa = (Mantissa << 8) | B[I];
    const int SignExp = B[8] | (B[9] << 8);
    const bool Negative = SignExp & 0x8000;
    const int Exp = SignExp & 0x7FFF;
    if (Exp == 0x7FFF) return Mantissa << 1 ? AnsiString("Nan") : AnsiString(Negative ? "-Inf" : "+Inf");
    long double V = std::ldexp(static_cast<long double>(Mantissa), Exp - 16383 - 63);
    if (Negative) V = -V;
    char Text[64];
    std::snprintf(Text, sizeof Text, "%.20Le", V);
    // d.ddddE+xxxx with a blank where a minus sign would stand.
    AnsiString S = Text;
    const auto E = S.find('e');
    AnsiString Digits = S.substr(0, E);
    const char ExpSign = S[E + 1];
    const AnsiString ExpDigits = S.substr(E + 2);
    // Built front to back by appending: GCC 12 at -O3 reports a false
    // -Wrestrict for text inserted at the front of a std::string.
    AnsiString Result;
    if (Digits[0] != '-') Result += ' ';
    Result += Digits;
    Result += 'E';
    Result += ExpSign;
    if (ExpDigits.size() < 4) Result.append(4 - ExpDigits.size(), '0');
    Result += ExpDigits;
    return Result;
}

void EncodeExtended(long double V, std::uint8_t* B) {
    std::memset(B, 0, 10);
    if (V == 0) return;
    const bool Negative = V < 0;
    if (Negative) V = -V;
    int E = 0;
    const long double F = std::frexp(V, &E);  // V = F * 2^E, F in [0.5, 1)
    const auto Mantissa = static_cast<std::uint64_t>(std::ldexp(F, 64));
    for (int I = 0; I < 8; ++I) B[I] = static_cast<std::uint8_t>(Mantissa >> (8 * I));
    const int Exp = E - 1 + 16383;
    B[8] = static_cast<std::uint8_t>(Exp);
    B[9] = static_cast<std::uint8_t>(((Exp >> 8) & 0x7F) | (Negative ? 0x80 : 0));
}

// ------------------------------------------------------------ binary -> text

class TBinaryToText {
public:
    TBinaryToText(TStream* Input, TStream* Output) : FReader(Input), FOutput(Output) {}

    void Run() {
        FReader.ReadSignature();
        ConvertObject("", 0);
        Flush();
    }

private:
    void Out(const AnsiString& S) {
        FBuffer += S;
        if (FBuffer.size() >= 64 * 1024) Flush();
    }
    void Flush() {
        FOutput->WriteBuffer(FBuffer.data(), static_cast<std::int64_t>(FBuffer.size()));
        FBuffer.clear();
    }
    static void CheckDepth(int Depth) { CheckFilerNesting(Depth); }

    void ConvertObject(const AnsiString& Indent, int Depth) {
        CheckDepth(Depth);
        TFilerFlags Flags;
        int Pos = 0;
        FReader.ReadPrefix(Flags, Pos);
        const AnsiString ClassName = FReader.ReadStr();
        const AnsiString Name = FReader.ReadStr();
        Out(Indent);
        Out(Flags.Contains(ffInherited) ? "inherited " : Flags.Contains(ffInline) ? "inline " : "object ");
        if (!Name.empty()) Out(Name + ": ");
        Out(ClassName);
        if (Flags.Contains(ffChildPos)) Out("[" + std::to_string(Pos) + "]");
        Out("\n");
        while (!FReader.EndOfList()) ConvertProperty(Indent + "  ", Depth);
        FReader.ReadValue();
        while (!FReader.EndOfList()) ConvertObject(Indent + "  ", Depth + 1);
        FReader.ReadValue();
        Out(Indent + "end\n");
    }

    void ConvertProperty(const AnsiString& Indent, int Depth) {
        Out(Indent + FReader.ReadStr() + " = ");
        ConvertValue(Indent, Depth + 1);
        Out("\n");
    }

    static AnsiString QuoteBytes(const AnsiString& S) {
        std::vector<std::uint32_t> Units(S.begin(), S.end());
        for (auto& U : Units) U &= 0xFF;
        return Quote(Units);
    }

    static AnsiString Quote(const std::vector<std::uint32_t>& Units) {
        if (Units.empty()) return "''";
        AnsiString Result;
        bool InQuote = false;
        for (std::uint32_t C : Units) {
            if (C >= 32 && C < 127) {
                if (!InQuote) Result += '\'';
                InQuote = true;
                Result += static_cast<char>(C);
                if (C == '\'') Result += '\'';
            } else {
                if (InQuote) Result += '\'';
                InQuote = false;
                Result += '#';  // appended apart: "#" + text trips GCC 12's false -Wrestrict at -O3
                Result += std::to_string(C);
            }
        }
        if (InQuote) Result += '\'';
        return Result;
    }

    static std::vector<std::uint32_t> Utf8ToUtf16(const AnsiString& S) {
        std::vector<std::uint32_t> Units;
        for (std::size_t I = 0; I < S.size();) {
            const auto B = static_cast<std::uint8_t>(S[I]);
            std::uint32_t C = B;
            int More = B >= 0xF0 ? 3 : B >= 0xE0 ? 2 : B >= 0xC0 ? 1 : 0;
            if (B >= 0x80 && B < 0xC0) More = -1;
            if (More > 0) C = B & (0x3F >> More);
            ++I;
            for (int K = 0; K < More; ++K, ++I) {
                if (I >= S.size() || (static_cast<std::uint8_t>(S[I]) & 0xC0) != 0x80) {
                    More = -1;
                    break;
                }
                C = (C << 6) | (static_cast<std::uint8_t>(S[I]) & 0x3F);
            }
            if (More < 0) C = 0xFFFD;
            if (C >= 0x10000) {
                Units.push_back(0xD800 + ((C - 0x10000) >> 10));
                Units.push_back(0xDC00 + ((C - 0x10000) & 0x3FF));
            } else {
                Units.push_back(C);
            }
        }
        return Units;
    }

    void ConvertValue(const AnsiString& Indent, int Depth) {
        CheckDepth(Depth);
        const TValueType V = FReader.NextValue();
        switch (V) {
            case vaList: {
                FReader.ReadValue();
                Out("(");
                while (!FReader.EndOfList()) {
                    Out("\n" + Indent + "  ");
                    ConvertValue(Indent + "  ", Depth + 1);
                }
                FReader.ReadValue();
                Out("\n" + Indent + ")");
                break;
            }
            case vaInt8:
            case vaInt16:
            case vaInt32:
            case vaInt64: Out(std::to_string(FReader.ReadInt64())); break;
            case vaQWord:
                FReader.ReadValue();
                Out(std::to_string(FReader.ReadQWord()));
                break;
            case vaExtended: {
                FReader.ReadValue();
                std::uint8_t B[10];
                FReader.Read(B, 10);
                Out(FormatExtended(B));
                break;
            }
            case vaSingle:
            case vaDouble:
            case vaCurrency:
            case vaDate: {
                FReader.ReadValue();
                long double X;
                if (V == vaSingle) {
                    const std::uint32_t Bits = FReader.ReadDWord();
                    float F;
                    std::memcpy(&F, &Bits, 4);
                    X = F;
                } else {
                    const std::uint64_t Bits = FReader.ReadQWord();
                    if (V == vaCurrency) {
                        X = static_cast<long double>(static_cast<std::int64_t>(Bits)) / 10000;
                    } else {
                        double D;
                        std::memcpy(&D, &Bits, 8);
                        X = D;
                    }
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
            case vaUTF8String: Out(Quote(Utf8ToUtf16(FReader.ReadString()))); break;
            case vaIdent:
            case vaFalse:
            case vaTrue:
            case vaNil:
            case vaNull: Out(FReader.ReadIdent()); break;
            case vaBinary: {
                FReader.ReadValue();
                TMemoryStream Data;
                FReader.ReadBinaryData(&Data);
                Out("{");
                static const char Hex[] = "0123456789ABCDEF";
                const std::uint8_t* P = Data.GetMemory();
                for (std::int64_t I = 0; I < Data.GetSize(); I += 32) {
                    Out("\n" + Indent + "  ");
                    AnsiString Line;
                    for (std::int64_t J = I; J < std::min<std::int64_t>(I + 32, Data.GetSize()); ++J) {
                        Line += Hex[P[J] >> 4];
                        Line += Hex[P[J] & 15];
                    }
                    Out(Line);
                }
                Out("\n" + Indent + "}");
                break;
            }
            case vaSet: {
                FReader.ReadValue();
                AnsiString S = "[";
                for (const auto& N : FReader.ReadSetNames()) S += (S.size() > 1 ? ", " : "") + N;
                Out(S + "]");
                break;
            }
            case vaCollection: {
                FReader.ReadValue();
                Out("<");
                while (!FReader.EndOfList()) {
                    Out("  \n" + Indent + "  item");
                    const TValueType Item = FReader.NextValue();
                    if (Item == vaInt8 || Item == vaInt16 || Item == vaInt32)
                        Out(" [" + std::to_string(FReader.ReadInteger()) + "]");
                    Out("\n");
                    FReader.ReadListBegin();
                    while (!FReader.EndOfList()) ConvertProperty(Indent + "    ", Depth + 1);
                    FReader.ReadListEnd();
                    Out(Indent + "  end");
                }
                FReader.ReadValue();
                Out(">");
                break;
            }
        }
    }

    TReader FReader;
    TStream* FOutput;
    AnsiString FBuffer;
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
                // A + joins the next part, also on the next line.
                const std::size_t Save = FPos;
                const int SaveLine = FLine;
                SkipBlanks();
                if (FPos < FText.size() && FText[FPos] == '+') {
                    ++FPos;
                    SkipBlanks();
                    if (FPos < FText.size() && (FText[FPos] == '\'' || FText[FPos] == '#')) continue;
                    Error("string expected after '+'");
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
        // Wide: quoted text is UTF-8, #nn are character codes; stored as UTF-16.
        std::vector<std::uint16_t> Units;
        auto Push = [&](std::uint32_t C) {
            if (C >= 0x10000) {
                Units.push_back(static_cast<std::uint16_t>(0xD800 + ((C - 0x10000) >> 10)));
                Units.push_back(static_cast<std::uint16_t>(0xDC00 + ((C - 0x10000) & 0x3FF)));
            } else {
                Units.push_back(static_cast<std::uint16_t>(C));
            }
        };
        for (std::size_t I = 0; I < FUnits.size();) {
            if (FUnits[I].IsCode || FUnits[I].Code < 0x80) {
                Push(FUnits[I++].Code);
                continue;
            }
            const std::uint32_t B = FUnits[I].Code;
            const int More = B >= 0xF0 ? 3 : B >= 0xE0 ? 2 : B >= 0xC0 ? 1 : 0;
            std::uint32_t C = More ? (B & (0x3F >> More)) : 0xFFFD;
            ++I;
            for (int K = 0; K < More; ++K, ++I) {
                if (I >= FUnits.size() || FUnits[I].IsCode || (FUnits[I].Code & 0xC0) != 0x80) {
                    C = 0xFFFD;
                    break;
                }
                C = (C << 6) | (FUnits[I].Code & 0x3F);
            }
            Push(C);
        }
        FWriter.WriteValue(vaWString);
        FWriter.WriteDWord(static_cast<std::uint32_t>(Units.size()));
        for (std::uint16_t U : Units) {
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
        AnsiString ClassName = ExpectIdent("component name");
        if (IsSymbol(':')) {
            Next();
            Name = ClassName;
            ClassName = ExpectIdent("class name");
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
        FWriter.WritePrefix(Flags, Pos);
        FWriter.WriteStr(ClassName);
        FWriter.WriteStr(Name);
        while (FKind == tkIdent && !IsKeyword("end") && !IsKeyword("object") && !IsKeyword("inherited") &&
               !IsKeyword("inline"))
            ParseProperty(Depth);
        FWriter.WriteListEnd();
        while (IsKeyword("object") || IsKeyword("inherited") || IsKeyword("inline")) ParseObject(Depth + 1);
        FWriter.WriteListEnd();
        if (!IsKeyword("end")) Expected("'end'");
        Next();
    }

    void ParseProperty(int Depth) {
        const AnsiString Name = FToken;
        if (Name.size() > 255) Error("property name too long");
        Next();
        FWriter.WriteStr(Name);
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
                std::int64_t V;
                try {
                    V = std::stoll(FToken);
                } catch (const std::logic_error&) {
                    Error("integer out of range: " + FToken);
                }
                FWriter.WriteInteger(V);
                Next();
                return;
            }
            case tkFloat: {
                long double V;
                try {
                    V = std::stold(FToken);
                } catch (const std::logic_error&) {
                    Error("invalid number: " + FToken);
                }
                std::uint8_t B[10];
                EncodeExtended(V, B);
                FWriter.WriteValue(vaExtended);
                FWriter.Write(B, 10);
                Next();
                return;
            }
            case tkString:
                WriteStringValue();
                Next();
                return;
            case tkIdent:
                FWriter.WriteIdent(FToken);
                Next();
                return;
            case tkEof: Expected("value");
            case tkSymbol: break;
        }
        if (IsSymbol('[')) {
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
                while (FKind == tkIdent && !IsKeyword("end")) ParseProperty(Depth);
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
