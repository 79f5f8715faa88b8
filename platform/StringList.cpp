#include "platform/StringList.h"

#include <algorithm>

#include "platform/Filer.h"
#include "platform/os/Windows.h"

int AnsiCompareText(const AnsiString& A, const AnsiString& B) {
    const int Result = Os::CompareUtf8(NORM_IGNORECASE, A, B);
    if (Result == 0) throw EOSError("Texts cannot be compared", static_cast<int>(GetLastError()));
    return Result - CSTR_EQUAL;
}

// ---------------------------------------------------------------- TStrings

TYPECASK_IMPLEMENT_CLASS(TStrings)
void TStrings::Publish(TPublisher<TStrings>&) {}

TStrings::~TStrings() = default;

void TStrings::Error(const char* Msg, int Index) const { throw EStringListError(Msg, {Index}); }

void TStrings::Put(int Index, const AnsiString& S) {
    Delete(Index);
    Insert(Index, S);
}

int TStrings::Add(const AnsiString& S) {
    const int Index = Count();
    Insert(Index, S);
    return Index;
}

void TStrings::AddStrings(const TStrings* Strings) {
    for (int I = 0; I < Strings->Count(); ++I) Add(Strings->Get(I));
}

int TStrings::IndexOf(const AnsiString& S) const {
    for (int I = 0; I < Count(); ++I)
        if (AnsiCompareText(Get(I), S) == 0) return I;
    return -1;
}

AnsiString TStrings::GetText() const {
    AnsiString Result;
    for (int I = 0; I < Count(); ++I) Result += Get(I) + "\n";
    return Result;
}

void TStrings::SetText(const AnsiString& Value) {
    Clear();
    std::size_t Start = 0;
    while (Start < Value.size()) {
        std::size_t End = Value.find('\n', Start);
        if (End == AnsiString::npos) End = Value.size();
        AnsiString Line = Value.substr(Start, End - Start);
        if (!Line.empty() && Line.back() == '\r') Line.pop_back();
        Add(Line);
        Start = End + 1;
    }
}

AnsiString TStrings::GetCommaText() const {
    AnsiString Result;
    for (int I = 0; I < Count(); ++I) {
        const AnsiString S = Get(I);
        if (I) Result += ',';
        if (S.empty() || S.find_first_of(" ,\"'\t\r\n") != AnsiString::npos) {
            Result += '"';
            for (char C : S) Result += C == '"' ? AnsiString("\"\"") : AnsiString(1, C);
            Result += '"';
        } else {
            Result += S;
        }
    }
    return Result;
}

bool TStrings::Equals(const TStrings* Other) const {
    if (Count() != Other->Count()) return false;
    for (int I = 0; I < Count(); ++I)
        if (Get(I) != Other->Get(I)) return false;
    return true;
}

void TStrings::Assign(TPersistent* Source) {
    if (auto* S = dynamic_cast<TStrings*>(Source)) {
        if (S == this) return;
        Clear();
        AddStrings(S);
        return;
    }
    TPersistent::Assign(Source);
}

void TStrings::DefineProperties(TFiler* Filer) {
    Filer->DefineProperty(
        "Strings", [this](TReader* R) { ReadData(R); }, [this](TWriter* W) { WriteData(W); }, Count() > 0);
}

void TStrings::ReadData(TReader* Reader) {
    Clear();
    Reader->ReadListBegin();
    while (!Reader->EndOfList()) Add(Reader->ReadString());
    Reader->ReadListEnd();
}

void TStrings::WriteData(TWriter* Writer) {
    Writer->WriteListBegin();
    for (int I = 0; I < Count(); ++I) Writer->WriteString(Get(I));
    Writer->WriteListEnd();
}

// ------------------------------------------------------------- TStringList

TYPECASK_IMPLEMENT_CLASS(TStringList)
void TStringList::Publish(TPublisher<TStringList>&) {}

TStringList::~TStringList() = default;

AnsiString TStringList::Get(int Index) const {
    if (Index < 0 || Index >= Count()) Error("List index out of bounds (%d)", Index);
    return FList[static_cast<std::size_t>(Index)];
}

void TStringList::Put(int Index, const AnsiString& S) {
    if (FSorted) throw EStringListError("Operation not allowed on sorted list");
    if (Index < 0 || Index >= Count()) Error("List index out of bounds (%d)", Index);
    FList[static_cast<std::size_t>(Index)] = S;
}

void TStringList::Insert(int Index, const AnsiString& S) {
    if (FSorted) throw EStringListError("Operation not allowed on sorted list");
    if (Index < 0 || Index > Count()) Error("List index out of bounds (%d)", Index);
    FList.insert(FList.begin() + Index, S);
}

void TStringList::Delete(int Index) {
    if (Index < 0 || Index >= Count()) Error("List index out of bounds (%d)", Index);
    FList.erase(FList.begin() + Index);
}

void TStringList::Clear() { FList.clear(); }

int TStringList::Add(const AnsiString& S) {
    if (!FSorted) {
        FList.push_back(S);
        return Count() - 1;
    }
    int Index = 0;
    if (Find(S, Index)) {
        if (FDuplicates == dupIgnore) return Index;
        if (FDuplicates == dupError) throw EStringListError("String list does not allow duplicates");
        // Equal items keep the order in which they came.
        while (Index < Count() && AnsiCompareText(FList[static_cast<std::size_t>(Index)], S) == 0) ++Index;
    }
    FList.insert(FList.begin() + Index, S);
    return Index;
}

int TStringList::IndexOf(const AnsiString& S) const {
    if (!FSorted) return TStrings::IndexOf(S);
    int Index = 0;
    return Find(S, Index) ? Index : -1;
}

bool TStringList::Find(const AnsiString& S, int& Index) const {
    auto It = std::lower_bound(FList.begin(), FList.end(), S,
                               [](const AnsiString& A, const AnsiString& B) { return AnsiCompareText(A, B) < 0; });
    Index = static_cast<int>(It - FList.begin());
    return It != FList.end() && AnsiCompareText(*It, S) == 0;
}

void TStringList::Sort() {
    std::stable_sort(FList.begin(), FList.end(),
                     [](const AnsiString& A, const AnsiString& B) { return AnsiCompareText(A, B) < 0; });
}

void TStringList::SetSorted(bool Value) {
    if (Value && !FSorted) Sort();
    FSorted = Value;
}
