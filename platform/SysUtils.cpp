#include "platform/SysUtils.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/os/Files.h"

// ---------------------------------------------------------------- Variant

AnsiString Variant::AsString() const {
    if (IsInteger()) return std::to_string(std::get<std::int64_t>(FValue));
    if (IsString()) return std::get<AnsiString>(FValue);
    return {};
}

std::int64_t Variant::AsInteger() const {
    if (IsInteger()) return std::get<std::int64_t>(FValue);
    if (IsEmpty()) return 0;
    const AnsiString& S = std::get<AnsiString>(FValue);
    std::int64_t Result = 0;
    const char* First = S.data();
    const char* Last = S.data() + S.size();
    if (First != Last && *First == '+') ++First;
    auto [Ptr, Ec] = std::from_chars(First, Last, Result);
    if (Ec != std::errc() || Ptr != Last || First == Last)
        throw EVariantError("Could not convert variant of type (String) into type (Integer)");
    return Result;
}

// -------------------------------------------------------------- Exception

Exception::Exception(const AnsiString& Msg) : FMessage(Msg) {}

Exception::Exception(const AnsiString& Msg, std::initializer_list<TVarRec> Args)
    : FMessage(Format(Msg, Args)) {}

Exception::Exception(int Ident) : FMessage(LoadStr(Ident)) {}

Exception::Exception(int Ident, std::initializer_list<TVarRec> Args)
    : FMessage(Format(LoadStr(Ident), Args)) {}

Exception::~Exception() = default;

// ----------------------------------------------------------------- Format

namespace {

[[noreturn]] void FormatError(const AnsiString& Fmt) {
    throw EConvertError("Format '" + Fmt + "' invalid or incompatible with argument");
}

std::int64_t ArgInteger(const TVarRec& Arg, const AnsiString& Fmt) {
    switch (Arg.Kind()) {
        case TVarRec::vtInteger: return Arg.Integer();
        case TVarRec::vtVariant:
            try {
                return Arg.AsVariant().AsInteger();
            } catch (const EVariantError&) {
                FormatError(Fmt);
            }
        default: FormatError(Fmt);
    }
}

AnsiString ArgString(const TVarRec& Arg, const AnsiString& Fmt) {
    switch (Arg.Kind()) {
        case TVarRec::vtString:
        case TVarRec::vtChar: return Arg.String();
        case TVarRec::vtVariant: return Arg.AsVariant().AsString();
        default: FormatError(Fmt);
    }
}

void Pad(AnsiString& Out, const AnsiString& Text, bool LeftJustify, int Width) {
    const int Fill = Width > static_cast<int>(Text.size()) ? Width - static_cast<int>(Text.size()) : 0;
    if (!LeftJustify) Out.append(static_cast<std::size_t>(Fill), ' ');
    Out += Text;
    if (LeftJustify) Out.append(static_cast<std::size_t>(Fill), ' ');
}

}  // namespace

AnsiString Format(const AnsiString& Fmt, std::initializer_list<TVarRec> Args) {
    return Format(Fmt, Args.begin(), Args.size());
}

AnsiString Format(const AnsiString& Fmt, const TVarRec* Args, std::size_t Count) {
    AnsiString Out;
    Out.reserve(Fmt.size() + 16);
    std::size_t NextArg = 0;
    std::size_t I = 0;
    const std::size_t N = Fmt.size();

    auto TakeArg = [&]() -> const TVarRec& {
        if (NextArg >= Count) FormatError(Fmt);
        return Args[NextArg++];
    };
    // A number, or "*" for the next argument; -1 when absent.
    auto ReadNumber = [&]() -> std::int64_t {
        if (I < N && Fmt[I] == '*') {
            ++I;
            return ArgInteger(TakeArg(), Fmt);
        }
        if (I >= N || Fmt[I] < '0' || Fmt[I] > '9') return -1;
        std::int64_t V = 0;
        while (I < N && Fmt[I] >= '0' && Fmt[I] <= '9') {
            V = V * 10 + (Fmt[I++] - '0');
            if (V > 1'000'000) FormatError(Fmt);
        }
        return V;
    };

    while (I < N) {
        const char C = Fmt[I++];
        if (C != '%') {
            Out += C;
            continue;
        }
        if (I < N && Fmt[I] == '%') {
            Out += '%';
            ++I;
            continue;
        }
        std::int64_t Width = ReadNumber();
        if (I < N && Fmt[I] == ':') {  // the number was an argument index
            ++I;
            if (Width < 0) Width = 0;
            NextArg = static_cast<std::size_t>(Width);
            Width = -1;
        }
        bool LeftJustify = false;
        if (I < N && Fmt[I] == '-') {
            LeftJustify = true;
            ++I;
        }
        if (Width < 0) Width = ReadNumber();
        std::int64_t Precision = -1;
        if (I < N && Fmt[I] == '.') {
            ++I;
            Precision = ReadNumber();
            if (Precision < 0) Precision = 0;
        }
        if (I >= N) FormatError(Fmt);
        const char Type = static_cast<char>(Fmt[I++] | 0x20);  // letter case does not matter
        AnsiString Text;
        switch (Type) {
            case 'd': {
                const std::int64_t V = ArgInteger(TakeArg(), Fmt);
                AnsiString Digits = std::to_string(V < 0 ? -static_cast<unsigned long long>(V)
                                                         : static_cast<unsigned long long>(V));
                if (Precision > static_cast<std::int64_t>(Digits.size()))
                    Digits.insert(0, static_cast<std::size_t>(Precision) - Digits.size(), '0');
                Text = (V < 0 ? "-" : "") + Digits;
                break;
            }
            case 'u': {
                const std::int64_t V = ArgInteger(TakeArg(), Fmt);
                Text = std::to_string(static_cast<std::uint32_t>(V));
                break;
            }
            case 'x': {
                const std::int64_t V = ArgInteger(TakeArg(), Fmt);
                char Buffer[32];
                std::snprintf(Buffer, sizeof Buffer, "%llX", static_cast<unsigned long long>(V));
                Text = Buffer;
                if (Precision > static_cast<std::int64_t>(Text.size()))
                    Text.insert(0, static_cast<std::size_t>(Precision) - Text.size(), '0');
                break;
            }
            case 's':
            case 'c': {
                Text = ArgString(TakeArg(), Fmt);
                if (Precision >= 0 && Precision < static_cast<std::int64_t>(Text.size()))
                    Text.resize(static_cast<std::size_t>(Precision));
                break;
            }
            case 'p': {
                const TVarRec& Arg = TakeArg();
                if (Arg.Kind() != TVarRec::vtPointer) FormatError(Fmt);
                char Buffer[32];
                std::snprintf(Buffer, sizeof Buffer, "%016llX",
                              static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(Arg.Pointer())));
                Text = Buffer;
                break;
            }
            default: FormatError(Fmt);
        }
        Pad(Out, Text, LeftJustify, static_cast<int>(Width));
    }
    return Out;
}

// ------------------------------------------------------- String resources

namespace {

struct TResStringSources {
    std::mutex Lock;
    std::vector<std::pair<int, TResStringSource>> Sources;
    int NextCookie = 1;
};

TResStringSources& ResStringSources() {
    static TResStringSources Instance;
    return Instance;
}

}  // namespace

AnsiString LoadStr(int Ident) {
    auto& S = ResStringSources();
    std::vector<TResStringSource> Snapshot;
    {
        std::lock_guard Guard(S.Lock);
        for (auto It = S.Sources.rbegin(); It != S.Sources.rend(); ++It) Snapshot.push_back(It->second);
    }
    for (const auto& Source : Snapshot)
        if (auto Text = Source(Ident)) return *Text;
    return {};
}

int AddResStringSource(TResStringSource Source) {
    auto& S = ResStringSources();
    std::lock_guard Guard(S.Lock);
    const int Cookie = S.NextCookie++;
    S.Sources.emplace_back(Cookie, std::move(Source));
    return Cookie;
}

void RemoveResStringSource(int Cookie) {
    auto& S = ResStringSources();
    std::lock_guard Guard(S.Lock);
    std::erase_if(S.Sources, [Cookie](const auto& Entry) { return Entry.first == Cookie; });
}

// ------------------------------------------------------------ letter case

AnsiString UpperCase(const AnsiString& S) {
    AnsiString Result = S;
    for (char& C : Result) C = UpperCase(C);
    return Result;
}

AnsiString LowerCase(const AnsiString& S) {
    AnsiString Result = S;
    for (char& C : Result) C = LowerCase(C);
    return Result;
}

int CompareText(const AnsiString& A, const AnsiString& B) {
    const std::size_t Common = std::min(A.size(), B.size());
    for (std::size_t I = 0; I < Common; ++I) {
        const auto X = static_cast<unsigned char>(LowerCase(A[I])), Y = static_cast<unsigned char>(LowerCase(B[I]));
        if (X != Y) return X < Y ? -1 : 1;
    }
    return A.size() == B.size() ? 0 : A.size() < B.size() ? -1 : 1;
}

bool SameText(const AnsiString& A, const AnsiString& B) { return A.size() == B.size() && CompareText(A, B) == 0; }

AnsiString BytesToHex(const void* Bytes, std::size_t Count) {
    static const char Digits[] = "0123456789ABCDEF";
    AnsiString Result;
    Result.reserve(2 * Count);
    for (std::size_t I = 0; I < Count; ++I) {
        const auto B = static_cast<const unsigned char*>(Bytes)[I];
        Result += Digits[B >> 4];
        Result += Digits[B & 15];
    }
    return Result;
}

// ------------------------------------------------------------------ Files

bool FileExists(const AnsiString& FileName) { return Os::FileExists(FileName); }

bool DeleteFile(const AnsiString& FileName) { return Os::DeleteFile(FileName); }

bool RemoveDir(const AnsiString& Dir) { return Os::RemoveDir(Dir); }

const char* AnsiLastChar(const AnsiString& S) {
    if (S.empty()) return nullptr;
    // Step back over UTF-8 continuation bytes to the lead byte of the last
    // character.
    std::size_t I = S.size() - 1;
    while (I > 0 && (static_cast<unsigned char>(S[I]) & 0xC0) == 0x80 && S.size() - I < 4) --I;
    return S.data() + I;
}

AnsiString IncludeTrailingPathDelimiter(const AnsiString& S) {
    const char* Last = AnsiLastChar(S);
    if (Last && *Last == PathDelim) return S;
    return S + PathDelim;
}

AnsiString ExtractFilePath(const AnsiString& FileName) {
    const auto Pos = FileName.rfind(PathDelim);
    return Pos == AnsiString::npos ? AnsiString() : FileName.substr(0, Pos + 1);
}

AnsiString ExtractFileName(const AnsiString& FileName) {
    const auto Pos = FileName.rfind(PathDelim);
    return Pos == AnsiString::npos ? FileName : FileName.substr(Pos + 1);
}

AnsiString SysErrorMessage(int ErrorCode) { return Os::OSErrorText(ErrorCode); }

