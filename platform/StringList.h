// String lists: TStrings, the abstract list that controls publish, and
// TStringList, the list kept in memory, optionally sorted.
#pragma once

#include <vector>

#include "platform/Persistent.h"

class TReader;
class TWriter;

class EStringListError : public Exception {
public:
    using Exception::Exception;
};

// Compares by the user's locale collation, ignoring the case of every letter
// (CompareStringA with NORM_IGNORECASE): negative, 0 or positive.
int AnsiCompareText(const AnsiString& A, const AnsiString& B);
inline bool AnsiSameText(const AnsiString& A, const AnsiString& B) { return AnsiCompareText(A, B) == 0; }

class TStrings : public TPersistent {
    TYPECASK_CLASS(TStrings, TPersistent)

public:
    TStrings() = default;
    ~TStrings() override;

    virtual int Count() const = 0;
    virtual AnsiString Get(int Index) const = 0;
    virtual void Put(int Index, const AnsiString& S);
    virtual void Insert(int Index, const AnsiString& S) = 0;
    virtual void Delete(int Index) = 0;
    virtual void Clear() = 0;
    // Appends S (a sorted list puts it in its place) and returns its index.
    virtual int Add(const AnsiString& S);
    void AddStrings(const TStrings* Strings);
    // The index of S, letter case ignored; -1 when absent.
    virtual int IndexOf(const AnsiString& S) const;

    AnsiString Strings(int Index) const { return Get(Index); }
    AnsiString operator[](int Index) const { return Get(Index); }
    // The lines, each followed by a line feed; SetText splits at line feeds
    // (a carriage return before one is dropped).
    AnsiString GetText() const;
    void SetText(const AnsiString& Value);
    // The items separated by commas, quoted where needed.
    AnsiString GetCommaText() const;

    bool Equals(const TStrings* Other) const;
    void Assign(TPersistent* Source) override;
    // Streams the items as the property "Strings", a list of texts.
    void DefineProperties(TFiler* Filer) override;

protected:
    void Error(const char* Msg, int Index) const;

private:
    void ReadData(TReader* Reader);
    void WriteData(TWriter* Writer);
};

enum TDuplicates { dupIgnore, dupAccept, dupError };
TYPECASK_ENUM(TDuplicates, dupIgnore, dupAccept, dupError)

class TStringList : public TStrings {
    TYPECASK_CLASS(TStringList, TStrings)

public:
    TStringList() = default;
    ~TStringList() override;

    int Count() const override { return static_cast<int>(FList.size()); }
    AnsiString Get(int Index) const override;
    void Put(int Index, const AnsiString& S) override;
    void Insert(int Index, const AnsiString& S) override;
    void Delete(int Index) override;
    void Clear() override;
    int Add(const AnsiString& S) override;
    int IndexOf(const AnsiString& S) const override;

    // In a sorted list: true and the index of S when it is there, else false
    // and the index where it belongs.
    bool Find(const AnsiString& S, int& Index) const;
    void Sort();

    bool GetSorted() const { return FSorted; }
    // A sorted list keeps its items in AnsiCompareText order; Insert is then
    // refused (EStringListError "Operation not allowed on sorted list").
    void SetSorted(bool Value);
    TDuplicates GetDuplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }

private:
    std::vector<AnsiString> FList;
    bool FSorted = false;
    TDuplicates FDuplicates = dupAccept;
};
