// The registry on POSIX: its keys, values and handles on the SQLite store
// (RegistryStore.h), with a few values derived from the font configuration.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <unordered_set>

#include "platform/SysUtils.h"
#include "platform/os/Windows.h"
#include "platform/os/posix/OsState.h"
#include "platform/os/posix/RegistryStore.h"

namespace Os::Posix {

namespace {

constexpr std::uint32_t HandleMagic = 0x4B474552;  // "REGK"
constexpr int RootLocalMachine = 2;
constexpr int RootUsers = 3;

struct TKeyHandle {
    std::uint32_t Magic = HandleMagic;
    std::uint64_t Generation = 0;
    std::int64_t KeyId = 0;
    int Root = 0;
    std::vector<std::string> Path;  // folded components below the root
    REGSAM Access = 0;
    std::optional<std::vector<TRegValue>> Snapshot;  // the values RegEnumValueA walks
};

struct TRegistryState {
    std::unique_ptr<TStore> Store;
    std::uint64_t Generation = 1;
    std::set<TKeyHandle*> Handles;
};

TRegistryState& State() {
    static TRegistryState Instance;
    return Instance;
}

TStore& Store() {
    auto& S = State();
    if (S.Store && S.Store->Owner() != ::getpid()) {
        // After fork: the inherited connection must not be used (nor closed) here.
        (void)S.Store.release();
    }
    if (!S.Store) S.Store = std::make_unique<TStore>(Paths().RegistryFile);
    return *S.Store;
}

// The key a function works on: a root key or an open handle.
struct TKeyRef {
    std::int64_t KeyId;
    int Root;
    std::vector<std::string> Path;
    REGSAM Access;
    TKeyHandle* Handle;  // nullptr for a root key
};

int RootIndex(HKEY Key) {
    const auto Value = reinterpret_cast<ULONG_PTR>(Key);
    if (Value >= 0x80000000u && Value < 0x80000000u + RootCount) return static_cast<int>(Value - 0x80000000u);
    return -1;
}

TKeyRef Resolve(HKEY Key) {
    if (const int Root = RootIndex(Key); Root >= 0) {
        Store();
        return {Root + 1, Root, {}, KEY_ALL_ACCESS, nullptr};
    }
    auto* Handle = reinterpret_cast<TKeyHandle*>(Key);
    if (Key == nullptr || !State().Handles.contains(Handle) || Handle->Generation != State().Generation)
        Fail(ERROR_INVALID_HANDLE);
    Store();
    return {Handle->KeyId, Handle->Root, Handle->Path, Handle->Access, Handle};
}

void RequireAccess(const TKeyRef& Ref, REGSAM Right) {
    if ((Ref.Access & Right) != Right) Fail(ERROR_ACCESS_DENIED);
}

std::vector<std::string> SplitPath(LPCSTR SubKey) {
    std::vector<std::string> Parts;
    if (SubKey == nullptr) return Parts;
    std::string Part;
    for (const char* P = SubKey; *P; ++P) {
        if (*P == '\\') {
            if (!Part.empty()) Parts.push_back(std::move(Part));
            Part.clear();
        } else {
            Part += *P;
        }
    }
    if (!Part.empty()) Parts.push_back(std::move(Part));
    for (const auto& P : Parts)
        if (P.size() > MaxKeyNameLength) Fail(ERROR_INVALID_PARAMETER);
    return Parts;
}

bool PathEquals(const std::vector<std::string>& Folded, const std::vector<std::string>& Canonical, bool Prefix) {
    if (Prefix ? Folded.size() > Canonical.size() : Folded.size() != Canonical.size()) return false;
    for (std::size_t I = 0; I < Folded.size(); ++I)
        if (Folded[I] != FoldCase(Canonical[I])) return false;
    return true;
}

// The Fonts key: the installed TrueType fonts, named as Windows names them,
// in the order of their folded names.
std::vector<TRegValue> InstalledFontValues() {
    std::vector<TRegValue> Values;
    std::unordered_set<std::string> Seen;
    for (const auto& F : InstalledTrueTypeFiles()) {
        std::string Name = F.FullName + " (TrueType)";
        if (!Seen.insert(FoldCase(Name)).second) continue;
        Values.push_back({std::move(Name), REG_SZ, F.FileName, true});
    }
    std::sort(Values.begin(), Values.end(),
              [](const TRegValue& A, const TRegValue& B) { return FoldCase(A.Name) < FoldCase(B.Name); });
    return Values;
}

// The default user's Shell Folders key: the user font folder.
std::vector<TRegValue> ShellFolderValues() {
    const AnsiString Folder = Paths().UserFontsFolder;
    try {
        ForceFolders(Folder, 0755);
    } catch (const EOSError&) {
        // The value names the folder all the same; writing into it reports the problem.
    }
    return {{"Fonts", REG_SZ, Folder, true}};
}

// A key whose values are partly derived: where it is (its components with
// their canonical letter case) and what produces the derived values.
struct TDerivedKey {
    int Root;
    std::vector<std::string> Path;
    std::vector<TRegValue> (*Values)();
};

const TDerivedKey DerivedKeys[] = {
    {RootLocalMachine, {"Software", "Microsoft", "Windows", "CurrentVersion", "Fonts"}, InstalledFontValues},
    {RootUsers,
     {".Default", "Software", "Microsoft", "Windows", "CurrentVersion", "Explorer", "Shell Folders"},
     ShellFolderValues},
};

// The derived key when Folded is that key or, with Prefix, one of its
// ancestors too, so that opening it creates the missing keys.
const TDerivedKey* DerivedKeyFor(int Root, const std::vector<std::string>& Folded, bool Prefix = true) {
    for (const TDerivedKey& Key : DerivedKeys)
        if (Root == Key.Root && PathEquals(Folded, Key.Path, Prefix)) return &Key;
    return nullptr;
}

std::vector<TRegValue> DerivedValues(int Root, const std::vector<std::string>& Folded) {
    const TDerivedKey* Key = DerivedKeyFor(Root, Folded, false);
    return Key ? Key->Values() : std::vector<TRegValue>();
}

std::optional<TRegValue> StoredValue(std::int64_t KeyId, const std::string& Name) {
    TStatement S(Store().Db(), "SELECT Name, Type, Data FROM RegValue WHERE KeyId = ? AND Folded = ?");
    S.Bind(1, KeyId).Bind(2, FoldCase(Name));
    if (!S.Step()) return std::nullopt;
    return TRegValue{S.Text(0), static_cast<DWORD>(S.Int(1)), S.Text(2), false};
}

std::optional<TRegValue> FindValue(const TKeyRef& Ref, const std::string& Name) {
    if (!Store().KeyExists(Ref.KeyId)) Fail(ERROR_KEY_DELETED);
    if (auto Stored = StoredValue(Ref.KeyId, Name)) return Stored;
    const std::string Folded = FoldCase(Name);
    for (auto& V : DerivedValues(Ref.Root, Ref.Path))
        if (FoldCase(V.Name) == Folded) return V;
    return std::nullopt;
}

std::vector<TRegValue> AllValues(const TKeyRef& Ref) {
    if (!Store().KeyExists(Ref.KeyId)) Fail(ERROR_KEY_DELETED);
    std::vector<TRegValue> Values;
    std::unordered_set<std::string> Names;
    TStatement S(Store().Db(), "SELECT Name, Type, Data, Folded FROM RegValue WHERE KeyId = ? ORDER BY Seq");
    S.Bind(1, Ref.KeyId);
    while (S.Step()) {
        Values.push_back({S.Text(0), static_cast<DWORD>(S.Int(1)), S.Text(2), false});
        Names.insert(S.Text(3));
    }
    for (auto& V : DerivedValues(Ref.Root, Ref.Path))
        if (!Names.contains(FoldCase(V.Name))) Values.push_back(std::move(V));
    return Values;
}

// The bytes RegQueryValueExA hands out: strings with their terminating zero.
std::string ExternalData(const TRegValue& V) {
    if (V.Type == REG_SZ || V.Type == REG_EXPAND_SZ) return V.Data + '\0';
    return V.Data;
}

LONG CopyData(const TRegValue& V, LPDWORD Type, LPBYTE Data, LPDWORD DataSize) {
    if (Type) *Type = V.Type;
    if (Data && !DataSize) return ERROR_INVALID_PARAMETER;
    if (!DataSize) return ERROR_SUCCESS;
    const std::string Bytes = ExternalData(V);
    const DWORD Needed = static_cast<DWORD>(Bytes.size());
    const DWORD Available = *DataSize;
    *DataSize = Needed;
    if (!Data) return ERROR_SUCCESS;
    if (Available < Needed) return ERROR_MORE_DATA;
    std::memcpy(Data, Bytes.data(), Bytes.size());
    return ERROR_SUCCESS;
}

HKEY NewHandle(std::int64_t KeyId, int Root, std::vector<std::string> Path, REGSAM Access) {
    auto Handle = std::make_unique<TKeyHandle>();
    Handle->Generation = State().Generation;
    Handle->KeyId = KeyId;
    Handle->Root = Root;
    Handle->Path = std::move(Path);
    Handle->Access = Access == 0 ? KEY_READ : Access;
    State().Handles.insert(Handle.get());
    return reinterpret_cast<HKEY>(Handle.release());
}

// Walks Parts below Ref. Missing keys are created when Create is true (the
// caller holds a transaction); Created reports whether any was.
std::optional<std::int64_t> Walk(const TKeyRef& Ref, const std::vector<std::string>& Parts, bool Create,
                                 bool* Created = nullptr) {
    std::int64_t Id = Ref.KeyId;
    if (!Store().KeyExists(Id)) Fail(ERROR_KEY_DELETED);
    for (const auto& Part : Parts) {
        auto Child = Store().FindChild(Id, FoldCase(Part));
        if (!Child) {
            if (!Create) return std::nullopt;
            Child = Store().CreateChild(Id, Part);
            if (Created) *Created = true;
        }
        Id = *Child;
    }
    return Id;
}

std::vector<std::string> Joined(std::vector<std::string> Base, const std::vector<std::string>& Parts) {
    for (const auto& P : Parts) Base.push_back(FoldCase(P));
    return Base;
}

template <class TBody>
LONG Guarded(TBody&& Body) {
    std::lock_guard Lock(StateLock());
    LONG Result;
    try {
        Result = Body();
    } catch (const TRegError& E) {
        Result = E.Code;
    } catch (const std::bad_alloc&) {
        Result = ERROR_OUTOFMEMORY;
    } catch (const Exception& E) {
        StoreErrorText = E.GetMessage();
        Result = ERROR_CANTREAD;
    }
    SetError(static_cast<DWORD>(Result));
    return Result;
}

}  // namespace

void ResetRegistry() {
    auto& S = State();
    if (S.Store && S.Store->Owner() != ::getpid()) (void)S.Store.release();
    S.Store.reset();
    // Handles of the old store stay closable but refuse every other use.
    ++S.Generation;
}

}  // namespace Os::Posix

using namespace Os::Posix;
using Os::TRegValue;

LONG RegOpenKeyExA(HKEY Key, LPCSTR SubKey, DWORD, REGSAM Desired, PHKEY Result) {
    if (!Result) return ERROR_INVALID_PARAMETER;
    *Result = nullptr;
    return Guarded([&]() -> LONG {
        const TKeyRef Ref = Resolve(Key);
        const auto Parts = SplitPath(SubKey);
        auto Path = Joined(Ref.Path, Parts);
        auto Id = Walk(Ref, Parts, false);
        if (!Id) {
            // The keys that carry derived values exist whenever they are asked for.
            if (!DerivedKeyFor(Ref.Root, Path)) return ERROR_FILE_NOT_FOUND;
            TTransaction T(Store());
            Id = Walk(Ref, Parts, true);
            T.Commit();
        }
        *Result = NewHandle(*Id, Ref.Root, std::move(Path), Desired);
        return ERROR_SUCCESS;
    });
}

LONG RegCreateKeyExA(HKEY Key, LPCSTR SubKey, DWORD, LPSTR, DWORD, REGSAM Desired, const void*, PHKEY Result,
                     LPDWORD Disposition) {
    if (!Result) return ERROR_INVALID_PARAMETER;
    *Result = nullptr;
    return Guarded([&]() -> LONG {
        const TKeyRef Ref = Resolve(Key);
        const auto Parts = SplitPath(SubKey);
        // Keys nest at most this deep, as on Windows; a walk of the tree may
        // then rely on a bounded depth.
        if (Ref.Path.size() + Parts.size() > Os::MaxKeyDepth) return ERROR_INVALID_PARAMETER;
        bool Created = false;
        std::optional<std::int64_t> Id = Walk(Ref, Parts, false);
        if (!Id) {
            RequireAccess(Ref, KEY_CREATE_SUB_KEY);
            TTransaction T(Store());
            Id = Walk(Ref, Parts, true, &Created);
            T.Commit();
        }
        if (Disposition) *Disposition = Created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        *Result = NewHandle(*Id, Ref.Root, Joined(Ref.Path, Parts), Desired);
        return ERROR_SUCCESS;
    });
}

LONG RegCloseKey(HKEY Key) {
    if (RootIndex(Key) >= 0) return ERROR_SUCCESS;
    std::lock_guard Lock(StateLock());
    auto* Handle = reinterpret_cast<TKeyHandle*>(Key);
    if (Key == nullptr || !State().Handles.erase(Handle)) return ERROR_INVALID_HANDLE;
    delete Handle;
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY Key, LPCSTR ValueName, LPDWORD, LPDWORD Type, LPBYTE Data, LPDWORD DataSize) {
    return Guarded([&]() -> LONG {
        const TKeyRef Ref = Resolve(Key);
        RequireAccess(Ref, KEY_QUERY_VALUE);
        const auto Value = FindValue(Ref, ValueName ? ValueName : "");
        if (!Value) return ERROR_FILE_NOT_FOUND;
        return CopyData(*Value, Type, Data, DataSize);
    });
}

LONG RegSetValueExA(HKEY Key, LPCSTR ValueName, DWORD, DWORD Type, const BYTE* Data, DWORD DataSize) {
    return Guarded([&]() -> LONG {
        const TKeyRef Ref = Resolve(Key);
        RequireAccess(Ref, KEY_SET_VALUE);
        if (!Data && DataSize > 0) return ERROR_INVALID_PARAMETER;
        std::string Bytes(reinterpret_cast<const char*>(Data), Data ? DataSize : 0);
        if (Type == REG_SZ || Type == REG_EXPAND_SZ) {
            // A string ends at its first zero.
            Bytes = Bytes.substr(0, Bytes.find('\0'));
        } else if (Type == REG_DWORD && DataSize != 4) {
            return ERROR_INVALID_PARAMETER;
        } else if (Type == REG_QWORD && DataSize != 8) {
            return ERROR_INVALID_PARAMETER;
        }
        const std::string Name = ValueName ? ValueName : "";
        TTransaction T(Store());
        if (!Store().KeyExists(Ref.KeyId)) return ERROR_KEY_DELETED;
        TStatement(Store().Db(),
                   "INSERT INTO RegValue(KeyId, Name, Folded, Type, Data) VALUES(?, ?, ?, ?, ?) "
                   "ON CONFLICT(KeyId, Folded) DO UPDATE SET Type = excluded.Type, Data = excluded.Data")
            .Bind(1, Ref.KeyId)
            .Bind(2, Name)
            .Bind(3, FoldCase(Name))
            .Bind(4, static_cast<std::int64_t>(Type))
            .BindBlob(5, Bytes)
            .Run();
        T.Commit();
        if (Ref.Handle) Ref.Handle->Snapshot.reset();
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteValueA(HKEY Key, LPCSTR ValueName) {
    return Guarded([&]() -> LONG {
        const TKeyRef Ref = Resolve(Key);
        RequireAccess(Ref, KEY_SET_VALUE);
        const std::string Name = ValueName ? ValueName : "";
        TTransaction T(Store());
        if (!Store().KeyExists(Ref.KeyId)) return ERROR_KEY_DELETED;
        TStatement(Store().Db(), "DELETE FROM RegValue WHERE KeyId = ? AND Folded = ?")
            .Bind(1, Ref.KeyId)
            .Bind(2, FoldCase(Name))
            .Run();
        const int Deleted = sqlite3_changes(Store().Db());
        T.Commit();
        if (Ref.Handle) Ref.Handle->Snapshot.reset();
        if (Deleted > 0) return ERROR_SUCCESS;
        // What is derived from the system cannot be deleted here.
        const std::string Folded = FoldCase(Name);
        for (const auto& V : DerivedValues(Ref.Root, Ref.Path))
            if (FoldCase(V.Name) == Folded) return ERROR_ACCESS_DENIED;
        return ERROR_FILE_NOT_FOUND;
    });
}

LONG RegDeleteKeyA(HKEY Key, LPCSTR SubKey) {
    return Guarded([&]() -> LONG {
        const TKeyRef Ref = Resolve(Key);
        const auto Parts = SplitPath(SubKey);
        TTransaction T(Store());
        const auto Id = Walk(Ref, Parts, false);
        if (!Id) return ERROR_FILE_NOT_FOUND;
        if (*Id <= RootCount) return ERROR_ACCESS_DENIED;
        TStatement Children(Store().Db(), "SELECT 1 FROM RegKey WHERE Parent = ? LIMIT 1");
        Children.Bind(1, *Id);
        if (Children.Step()) return ERROR_ACCESS_DENIED;
        TStatement(Store().Db(), "DELETE FROM RegValue WHERE KeyId = ?").Bind(1, *Id).Run();
        TStatement(Store().Db(), "DELETE FROM RegKey WHERE Id = ?").Bind(1, *Id).Run();
        T.Commit();
        return ERROR_SUCCESS;
    });
}

LONG RegEnumValueA(HKEY Key, DWORD Index, LPSTR ValueName, LPDWORD ValueNameSize, LPDWORD, LPDWORD Type,
                   LPBYTE Data, LPDWORD DataSize) {
    if (!ValueName || !ValueNameSize) return ERROR_INVALID_PARAMETER;
    return Guarded([&]() -> LONG {
        const TKeyRef Ref = Resolve(Key);
        RequireAccess(Ref, KEY_QUERY_VALUE);
        std::vector<TRegValue> Fresh;
        const std::vector<TRegValue>* Values = &Fresh;
        if (Ref.Handle) {
            // One enumeration walks one snapshot, taken when it starts at index 0.
            if (Index == 0 || !Ref.Handle->Snapshot) Ref.Handle->Snapshot = AllValues(Ref);
            Values = &*Ref.Handle->Snapshot;
        } else {
            Fresh = AllValues(Ref);
        }
        if (Index >= Values->size()) return ERROR_NO_MORE_ITEMS;
        const TRegValue& V = (*Values)[Index];
        if (*ValueNameSize < V.Name.size() + 1) return ERROR_MORE_DATA;
        std::memcpy(ValueName, V.Name.c_str(), V.Name.size() + 1);
        *ValueNameSize = static_cast<DWORD>(V.Name.size());
        return CopyData(V, Type, Data, DataSize);
    });
}

LONG RegEnumKeyExA(HKEY Key, DWORD Index, LPSTR Name, LPDWORD NameSize, LPDWORD, LPSTR Class, LPDWORD ClassSize,
                   PFILETIME LastWriteTime) {
    if (!Name || !NameSize) return ERROR_INVALID_PARAMETER;
    return Guarded([&]() -> LONG {
        const TKeyRef Ref = Resolve(Key);
        RequireAccess(Ref, KEY_ENUMERATE_SUB_KEYS);
        if (!Store().KeyExists(Ref.KeyId)) return ERROR_KEY_DELETED;
        TStatement S(Store().Db(), "SELECT Name FROM RegKey WHERE Parent = ? ORDER BY Folded LIMIT 1 OFFSET ?");
        S.Bind(1, Ref.KeyId).Bind(2, static_cast<std::int64_t>(Index));
        if (!S.Step()) return ERROR_NO_MORE_ITEMS;
        const std::string Sub = S.Text(0);
        if (*NameSize < Sub.size() + 1) return ERROR_MORE_DATA;
        std::memcpy(Name, Sub.c_str(), Sub.size() + 1);
        *NameSize = static_cast<DWORD>(Sub.size());
        if (Class && ClassSize && *ClassSize > 0) Class[0] = '\0';
        if (ClassSize) *ClassSize = 0;
        if (LastWriteTime) *LastWriteTime = FILETIME{0, 0};
        return ERROR_SUCCESS;
    });
}

LONG RegQueryInfoKeyA(HKEY Key, LPSTR Class, LPDWORD ClassSize, LPDWORD, LPDWORD SubKeys, LPDWORD MaxSubKeyLen,
                      LPDWORD MaxClassLen, LPDWORD Values, LPDWORD MaxValueNameLen, LPDWORD MaxValueLen,
                      LPDWORD SecurityDescriptor, PFILETIME LastWriteTime) {
    return Guarded([&]() -> LONG {
        const TKeyRef Ref = Resolve(Key);
        RequireAccess(Ref, KEY_QUERY_VALUE);
        const auto All = AllValues(Ref);
        TStatement S(Store().Db(), "SELECT COUNT(*), COALESCE(MAX(LENGTH(CAST(Name AS BLOB))), 0) FROM RegKey "
                                   "WHERE Parent = ?");
        S.Bind(1, Ref.KeyId);
        S.Step();
        if (SubKeys) *SubKeys = static_cast<DWORD>(S.Int(0));
        if (MaxSubKeyLen) *MaxSubKeyLen = static_cast<DWORD>(S.Int(1));
        if (Class && ClassSize && *ClassSize > 0) Class[0] = '\0';
        if (ClassSize) *ClassSize = 0;
        if (MaxClassLen) *MaxClassLen = 0;
        if (Values) *Values = static_cast<DWORD>(All.size());
        DWORD MaxName = 0, MaxData = 0;
        for (const auto& V : All) {
            MaxName = std::max(MaxName, static_cast<DWORD>(V.Name.size()));
            MaxData = std::max(MaxData, static_cast<DWORD>(ExternalData(V).size()));
        }
        if (MaxValueNameLen) *MaxValueNameLen = MaxName;
        if (MaxValueLen) *MaxValueLen = MaxData;
        if (SecurityDescriptor) *SecurityDescriptor = 0;
        if (LastWriteTime) *LastWriteTime = FILETIME{0, 0};
        return ERROR_SUCCESS;
    });
}

LONG RegFlushKey(HKEY Key) {
    // Every write is committed (and synced) when its function returns.
    return Guarded([&]() -> LONG {
        Resolve(Key);
        return ERROR_SUCCESS;
    });
}

namespace Os {

std::vector<TRegValue> RegListValues(HKEY Key) {
    std::vector<TRegValue> Result;
    const LONG Code = Guarded([&]() -> LONG {
        const TKeyRef Ref = Resolve(Key);
        RequireAccess(Ref, KEY_QUERY_VALUE);
        Result = AllValues(Ref);
        return ERROR_SUCCESS;
    });
    if (Code != ERROR_SUCCESS) throw EOSError("Cannot list the values of the key: " + RegErrorText(Code), Code);
    return Result;
}

bool RegIsDerivedValue(HKEY Key, const AnsiString& Name) {
    bool Derived = false;
    Guarded([&]() -> LONG {
        const TKeyRef Ref = Resolve(Key);
        const auto V = FindValue(Ref, Name);
        Derived = V && V->Derived;
        return ERROR_SUCCESS;
    });
    return Derived;
}

bool IsWindowsNT() { return false; }

AnsiString RegRootKeyName(HKEY Root) {
    const int Index = RootIndex(Root);
    return Index >= 0 ? AnsiString(RootNames[Index]) : AnsiString();
}

HKEY RegRootKeyFromName(const AnsiString& Name) {
    static const char* const Short[RootCount] = {"HKCR", "HKCU", "HKLM", "HKU"};
    const std::string Folded = FoldCase(Name);
    for (int I = 0; I < RootCount; ++I)
        if (Folded == Short[I] || Folded == RootNames[I])
            return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u + static_cast<unsigned>(I)));
    return nullptr;
}

AnsiString RegErrorText(LONG Code) {
    std::string Text;
    switch (Code) {
        case ERROR_SUCCESS: return "The operation completed successfully.";
        case ERROR_FILE_NOT_FOUND: return "The system cannot find the file specified.";
        case ERROR_ACCESS_DENIED: return "Access is denied.";
        case ERROR_INVALID_HANDLE: return "The handle is invalid.";
        case ERROR_OUTOFMEMORY: return "Not enough memory.";
        case ERROR_INVALID_PARAMETER: return "The parameter is incorrect.";
        case ERROR_MORE_DATA: return "More data is available.";
        case ERROR_NO_MORE_ITEMS: return "No more data is available.";
        case ERROR_KEY_DELETED: return "The key has been marked for deletion.";
        case ERROR_BADDB: Text = "The registry store is corrupt or of an unknown format."; break;
        case ERROR_CANTOPEN: Text = "The registry store could not be opened."; break;
        case ERROR_CANTREAD: Text = "The registry store could not be read."; break;
        case ERROR_CANTWRITE: Text = "The registry store could not be written."; break;
        default: return "Registry error " + std::to_string(Code) + ".";
    }
    if (!Posix::StoreErrorText.empty()) Text += " (" + Posix::StoreErrorText + ")";
    return Text;
}

}  // namespace Os
