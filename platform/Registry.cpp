#include "platform/Registry.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

// An open key handle, closed on every path.
class TKeyHolder {
public:
    explicit TKeyHolder(HKEY Key) : FKey(Key) {}
    ~TKeyHolder() {
        if (FKey) RegCloseKey(FKey);
    }
    TKeyHolder(const TKeyHolder&) = delete;
    TKeyHolder& operator=(const TKeyHolder&) = delete;
    HKEY Get() const { return FKey; }
    HKEY Release() {
        HKEY K = FKey;
        FKey = nullptr;
        return K;
    }

private:
    HKEY FKey;
};

bool IsRelative(const AnsiString& Key) { return Key.empty() || Key[0] != '\\'; }

AnsiString WithoutLeadingDelimiter(const AnsiString& Key) { return IsRelative(Key) ? Key : Key.substr(1); }

bool IsStoreFailure(LONG Code) {
    switch (Code) {
        case ERROR_SUCCESS:
        case ERROR_FILE_NOT_FOUND:
        case ERROR_ACCESS_DENIED:
        case ERROR_KEY_DELETED:
        case ERROR_INVALID_PARAMETER:
        case ERROR_MORE_DATA:
        case ERROR_NO_MORE_ITEMS: return false;
        default: return true;
    }
}

// A key that could not be created because the store failed: which root, and
// why (a store that stays locked, a damaged one), so that the message alone
// tells what went wrong.
ERegistryException CreateKeyFailure(HKEY Root, const AnsiString& Key, const ERegistryException& Cause) {
    const AnsiString RootName = Os::RegRootKeyName(Root);
    return ERegistryException("Failed to create key " + Key + (RootName.empty() ? AnsiString() : " under " + RootName) +
                                  ": " + Cause.GetMessage(),
                              Cause.GetErrorCode());
}

TRegDataType DataTypeOf(DWORD Type) {
    switch (Type) {
        case REG_SZ: return rdString;
        case REG_EXPAND_SZ: return rdExpandString;
        case REG_DWORD: return rdInteger;
        case REG_BINARY: return rdBinary;
        default: return rdUnknown;
    }
}

}  // namespace

// ------------------------------------------------------------- TRegistry

TRegistry::TRegistry() : TRegistry(KEY_ALL_ACCESS) {}

TRegistry::TRegistry(REGSAM Access) : FRootKey(HKEY_CURRENT_USER), FAccess(Access) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY Value) {
    CloseKey();
    FRootKey = Value;
}

void TRegistry::CheckStore(LONG Code) {
    if (IsStoreFailure(Code)) throw ERegistryException("Registry failure: " + Os::RegErrorText(Code), Code);
}

HKEY TRegistry::GetBaseKey(bool Relative) const {
    return FCurrentKey == nullptr || !Relative ? FRootKey : FCurrentKey;
}

HKEY TRegistry::GetKey(const AnsiString& Key, bool CanCreate, REGSAM Access) {
    const AnsiString Path = WithoutLeadingDelimiter(Key);
    HKEY Result = nullptr;
    LONG Code;
    if (CanCreate)
        Code = RegCreateKeyExA(GetBaseKey(IsRelative(Key)), Path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, Access,
                               nullptr, &Result, nullptr);
    else
        Code = RegOpenKeyExA(GetBaseKey(IsRelative(Key)), Path.c_str(), 0, Access, &Result);
    CheckStore(Code);
    return Code == ERROR_SUCCESS ? Result : nullptr;
}

void TRegistry::ChangeKey(HKEY Value, const AnsiString& Path) {
    CloseKey();
    FCurrentKey = Value;
    FCurrentPath = Path;
}

bool TRegistry::OpenKey(const AnsiString& Key, bool CanCreate) {
    const bool Relative = IsRelative(Key);
    HKEY Opened = GetKey(Key, CanCreate, FAccess);
    if (!Opened) return false;
    AnsiString Path = WithoutLeadingDelimiter(Key);
    if (Relative && FCurrentKey && !FCurrentPath.empty()) Path = Path.empty() ? FCurrentPath : FCurrentPath + "\\" + Path;
    ChangeKey(Opened, Path);
    return true;
}

bool TRegistry::OpenKeyReadOnly(const AnsiString& Key) {
    const REGSAM Saved = FAccess;
    FAccess = KEY_READ;
    bool Result = false;
    try {
        Result = OpenKey(Key, false);
    } catch (...) {
        FAccess = Saved;
        throw;
    }
    FAccess = Saved;
    return Result;
}

void TRegistry::CloseKey() {
    if (FCurrentKey) RegCloseKey(FCurrentKey);
    FCurrentKey = nullptr;
    FCurrentPath.clear();
}

bool TRegistry::CreateKey(const AnsiString& Key) {
    HKEY Created = nullptr;
    try {
        Created = GetKey(Key, true, KEY_ALL_ACCESS);
    } catch (const ERegistryException& E) {
        throw CreateKeyFailure(FRootKey, Key, E);
    }
    if (!Created) throw ERegistryException("Failed to create key " + Key);
    RegCloseKey(Created);
    return true;
}

bool TRegistry::DeleteKey(const AnsiString& Key) {
    const AnsiString Path = WithoutLeadingDelimiter(Key);
    HKEY Base = GetBaseKey(IsRelative(Key));
    {
        // Subkeys first, deepest first: the store deletes only keys without
        // subkeys. A loop over a stack of open keys, not a recursion, so that
        // however deep a store's keys go, the walk needs no more stack.
        TKeyHolder Target(GetKey(Key, false, KEY_ALL_ACCESS));
        if (!Target.Get()) return false;
        std::vector<std::unique_ptr<TKeyHolder>> Open;  // Target's subkeys on the way down
        std::vector<AnsiString> Names;
        for (;;) {
            HKEY Current = Open.empty() ? Target.Get() : Open.back()->Get();
            char Name[256];
            DWORD Size = sizeof Name;
            LONG Code = RegEnumKeyExA(Current, 0, Name, &Size, nullptr, nullptr, nullptr, nullptr);
            CheckStore(Code);
            if (Code == ERROR_SUCCESS) {
                HKEY Child = nullptr;
                Code = RegOpenKeyExA(Current, Name, 0, KEY_ALL_ACCESS, &Child);
                CheckStore(Code);
                if (Code != ERROR_SUCCESS) return false;
                Open.push_back(std::make_unique<TKeyHolder>(Child));
                Names.emplace_back(Name);
                continue;
            }
            if (Open.empty()) break;
            Open.pop_back();  // closed before it is deleted
            HKEY Parent = Open.empty() ? Target.Get() : Open.back()->Get();
            Code = RegDeleteKeyA(Parent, Names.back().c_str());
            CheckStore(Code);
            if (Code != ERROR_SUCCESS) return false;
            Names.pop_back();
        }
    }
    const LONG Code = RegDeleteKeyA(Base, Path.c_str());
    CheckStore(Code);
    return Code == ERROR_SUCCESS;
}

bool TRegistry::KeyExists(const AnsiString& Key) {
    TKeyHolder Opened(GetKey(Key, false, KEY_QUERY_VALUE));
    return Opened.Get() != nullptr;
}

bool TRegistry::HasSubKeys() {
    DWORD SubKeys = 0;
    const LONG Code = RegQueryInfoKeyA(GetBaseKey(true), nullptr, nullptr, nullptr, &SubKeys, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, nullptr);
    CheckStore(Code);
    return Code == ERROR_SUCCESS && SubKeys > 0;
}

bool TRegistry::ValueExists(const AnsiString& Name) {
    TRegDataInfo Info;
    return GetDataInfo(Name, Info);
}

bool TRegistry::DeleteValue(const AnsiString& Name) {
    const LONG Code = RegDeleteValueA(GetBaseKey(true), Name.c_str());
    CheckStore(Code);
    return Code == ERROR_SUCCESS;
}

bool TRegistry::GetDataInfo(const AnsiString& ValueName, TRegDataInfo& Value) {
    DWORD Type = REG_NONE;
    DWORD Size = 0;
    const LONG Code = RegQueryValueExA(GetBaseKey(true), ValueName.c_str(), nullptr, &Type, nullptr, &Size);
    CheckStore(Code);
    if (Code != ERROR_SUCCESS) {
        Value = TRegDataInfo{};
        return false;
    }
    Value.RegData = DataTypeOf(Type);
    Value.DataSize = static_cast<int>(Size);
    return true;
}

TRegDataType TRegistry::GetDataType(const AnsiString& ValueName) {
    TRegDataInfo Info;
    GetDataInfo(ValueName, Info);
    return Info.RegData;
}

int TRegistry::GetDataSize(const AnsiString& ValueName) {
    TRegDataInfo Info;
    return GetDataInfo(ValueName, Info) ? Info.DataSize : -1;
}

std::vector<AnsiString> TRegistry::GetKeyNames() {
    std::vector<AnsiString> Names;
    for (DWORD I = 0;; ++I) {
        char Name[256];
        DWORD Size = sizeof Name;
        const LONG Code = RegEnumKeyExA(GetBaseKey(true), I, Name, &Size, nullptr, nullptr, nullptr, nullptr);
        CheckStore(Code);
        if (Code != ERROR_SUCCESS) break;
        Names.emplace_back(Name, Size);
    }
    return Names;
}

std::vector<AnsiString> TRegistry::GetValueNames() {
    std::vector<AnsiString> Names;
    try {
        for (const auto& V : Os::RegListValues(GetBaseKey(true))) Names.push_back(V.Name);
    } catch (const EOSError& E) {
        if (E.GetErrorCode() == ERROR_FILE_NOT_FOUND || E.GetErrorCode() == ERROR_KEY_DELETED) return Names;
        throw ERegistryException(E.GetMessage(), E.GetErrorCode());
    }
    return Names;
}

bool TRegistry::GetData(const AnsiString& Name, DWORD& Type, std::string& Data) {
    HKEY Key = GetBaseKey(true);
    for (;;) {
        DWORD Size = 0;
        LONG Code = RegQueryValueExA(Key, Name.c_str(), nullptr, &Type, nullptr, &Size);
        CheckStore(Code);
        if (Code == ERROR_FILE_NOT_FOUND || Code == ERROR_KEY_DELETED) return false;
        if (Code != ERROR_SUCCESS) throw ERegistryException("Failed to get data for '" + Name + "'", Code);
        Data.assign(Size, '\0');
        Code = RegQueryValueExA(Key, Name.c_str(), nullptr, &Type, reinterpret_cast<BYTE*>(Data.data()), &Size);
        if (Code == ERROR_MORE_DATA) continue;  // the value grew meanwhile
        CheckStore(Code);
        if (Code == ERROR_FILE_NOT_FOUND || Code == ERROR_KEY_DELETED) return false;
        if (Code != ERROR_SUCCESS) throw ERegistryException("Failed to get data for '" + Name + "'", Code);
        Data.resize(Size);
        return true;
    }
}

void TRegistry::PutData(const AnsiString& Name, DWORD Type, const void* Data, DWORD Size) {
    const LONG Code = RegSetValueExA(GetBaseKey(true), Name.c_str(), 0, Type, static_cast<const BYTE*>(Data), Size);
    if (Code != ERROR_SUCCESS)
        throw ERegistryException("Failed to set data for '" + Name + "': " + Os::RegErrorText(Code), Code);
}

AnsiString TRegistry::ReadString(const AnsiString& Name) {
    DWORD Type = REG_NONE;
    std::string Data;
    if (!GetData(Name, Type, Data)) return {};
    if (Type != REG_SZ && Type != REG_EXPAND_SZ) throw ERegistryException("Invalid data type for '" + Name + "'");
    const auto Zero = Data.find('\0');
    return Zero == std::string::npos ? Data : Data.substr(0, Zero);
}

void TRegistry::WriteString(const AnsiString& Name, const AnsiString& Value) {
    PutData(Name, REG_SZ, Value.c_str(), static_cast<DWORD>(Value.size() + 1));
}

void TRegistry::WriteExpandString(const AnsiString& Name, const AnsiString& Value) {
    PutData(Name, REG_EXPAND_SZ, Value.c_str(), static_cast<DWORD>(Value.size() + 1));
}

int TRegistry::ReadInteger(const AnsiString& Name) {
    DWORD Type = REG_NONE;
    std::string Data;
    if (!GetData(Name, Type, Data)) throw ERegistryException("Failed to get data for '" + Name + "'");
    if (Type != REG_DWORD || Data.size() != 4) throw ERegistryException("Invalid data type for '" + Name + "'");
    std::uint32_t Value = 0;
    std::memcpy(&Value, Data.data(), 4);
    return static_cast<int>(Value);
}

void TRegistry::WriteInteger(const AnsiString& Name, int Value) {
    const auto V = static_cast<std::uint32_t>(Value);
    PutData(Name, REG_DWORD, &V, 4);
}

bool TRegistry::ReadBool(const AnsiString& Name) { return ReadInteger(Name) != 0; }

void TRegistry::WriteBool(const AnsiString& Name, bool Value) { WriteInteger(Name, Value ? 1 : 0); }

int TRegistry::ReadBinaryData(const AnsiString& Name, void* Buffer, int BufSize) {
    DWORD Type = REG_NONE;
    std::string Data;
    if (!GetData(Name, Type, Data)) throw ERegistryException("Failed to get data for '" + Name + "'");
    if (Type != REG_BINARY) throw ERegistryException("Invalid data type for '" + Name + "'");
    if (BufSize < 0 || Data.size() > static_cast<std::size_t>(BufSize))
        throw ERegistryException("Failed to get data for '" + Name + "'", ERROR_MORE_DATA);
    std::memcpy(Buffer, Data.data(), Data.size());
    return static_cast<int>(Data.size());
}

void TRegistry::WriteBinaryData(const AnsiString& Name, const void* Buffer, int BufSize) {
    if (BufSize < 0) throw ERegistryException("Failed to set data for '" + Name + "'", ERROR_INVALID_PARAMETER);
    PutData(Name, REG_BINARY, Buffer, static_cast<DWORD>(BufSize));
}

// ----------------------------------------------------------- TRegIniFile

TRegIniFile::TRegIniFile(const AnsiString& FileName) : TRegIniFile(FileName, KEY_ALL_ACCESS) {}

TRegIniFile::TRegIniFile(const AnsiString& FileName, REGSAM Access) : TRegistry(Access), FFileName(FileName) {
    if (!FileName.empty() && !OpenKey(FileName, true)) throw ERegistryException("Failed to create key " + FileName);
}

AnsiString TRegIniFile::ReadString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Default) {
    TKeyHolder Key(GetKey(Section, false, KEY_READ));
    if (!Key.Get()) return Default;
    DWORD Type = REG_NONE;
    DWORD Size = 0;
    LONG Code = RegQueryValueExA(Key.Get(), Ident.c_str(), nullptr, &Type, nullptr, &Size);
    CheckStore(Code);
    if (Code != ERROR_SUCCESS) return Default;
    if (Type != REG_SZ && Type != REG_EXPAND_SZ) throw ERegistryException("Invalid data type for '" + Ident + "'");
    std::string Data(Size, '\0');
    Code = RegQueryValueExA(Key.Get(), Ident.c_str(), nullptr, &Type, reinterpret_cast<BYTE*>(Data.data()), &Size);
    CheckStore(Code);
    if (Code == ERROR_FILE_NOT_FOUND) return Default;
    if (Code != ERROR_SUCCESS) throw ERegistryException("Failed to get data for '" + Ident + "'", Code);
    Data.resize(Size);
    const auto Zero = Data.find('\0');
    return Zero == std::string::npos ? Data : Data.substr(0, Zero);
}

void TRegIniFile::WriteString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Value) {
    HKEY Opened = nullptr;
    try {
        Opened = GetKey(Section, true, KEY_ALL_ACCESS);
    } catch (const ERegistryException& E) {
        throw CreateKeyFailure(GetRootKey(), Section, E);
    }
    if (!Opened) throw ERegistryException("Failed to create key " + Section);
    TKeyHolder Key(Opened);
    const LONG Code = RegSetValueExA(Key.Get(), Ident.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                                     static_cast<DWORD>(Value.size() + 1));
    if (Code != ERROR_SUCCESS)
        throw ERegistryException("Failed to set data for '" + Ident + "': " + Os::RegErrorText(Code), Code);
}

int TRegIniFile::ReadInteger(const AnsiString& Section, const AnsiString& Ident, int Default) {
    TKeyHolder Key(GetKey(Section, false, KEY_READ));
    if (!Key.Get()) return Default;
    DWORD Type = REG_NONE;
    std::uint32_t Value = 0;
    DWORD Size = sizeof Value;
    const LONG Code = RegQueryValueExA(Key.Get(), Ident.c_str(), nullptr, &Type, reinterpret_cast<BYTE*>(&Value), &Size);
    CheckStore(Code);
    if (Code == ERROR_FILE_NOT_FOUND) return Default;
    if (Code == ERROR_SUCCESS && Type == REG_DWORD && Size == 4) return static_cast<int>(Value);
    // Integers written as text by other programs are read as well.
    const AnsiString Text = ReadString(Section, Ident, "");
    try {
        return static_cast<int>(Variant(Text).AsInteger());
    } catch (const EVariantError&) {
        return Default;
    }
}

void TRegIniFile::WriteInteger(const AnsiString& Section, const AnsiString& Ident, int Value) {
    WriteString(Section, Ident, std::to_string(Value));
}

bool TRegIniFile::ReadBool(const AnsiString& Section, const AnsiString& Ident, bool Default) {
    return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TRegIniFile::WriteBool(const AnsiString& Section, const AnsiString& Ident, bool Value) {
    WriteString(Section, Ident, Value ? "1" : "0");
}

std::vector<AnsiString> TRegIniFile::ReadSection(const AnsiString& Section) {
    TKeyHolder Key(GetKey(Section, false, KEY_READ));
    if (!Key.Get()) return {};
    std::vector<AnsiString> Names;
    try {
        for (const auto& V : Os::RegListValues(Key.Get())) Names.push_back(V.Name);
    } catch (const EOSError& E) {
        throw ERegistryException(E.GetMessage(), E.GetErrorCode());
    }
    return Names;
}

std::vector<std::pair<AnsiString, AnsiString>> TRegIniFile::ReadSectionValues(const AnsiString& Section) {
    TKeyHolder Key(GetKey(Section, false, KEY_READ));
    if (!Key.Get()) return {};
    std::vector<std::pair<AnsiString, AnsiString>> Values;
    try {
        for (auto& V : Os::RegListValues(Key.Get())) {
            if (V.Type != REG_SZ && V.Type != REG_EXPAND_SZ) continue;
            // The text ends at its first zero, as ReadString reads it.
            if (const auto Zero = V.Data.find('\0'); Zero != std::string::npos) V.Data.resize(Zero);
            Values.emplace_back(std::move(V.Name), std::move(V.Data));
        }
    } catch (const EOSError& E) {
        throw ERegistryException(E.GetMessage(), E.GetErrorCode());
    }
    return Values;
}

void TRegIniFile::DeleteKey(const AnsiString& Section, const AnsiString& Ident) {
    TKeyHolder Key(GetKey(Section, false, KEY_ALL_ACCESS));
    if (!Key.Get()) return;
    const LONG Code = RegDeleteValueA(Key.Get(), Ident.c_str());
    if (Code == ERROR_SUCCESS || Code == ERROR_FILE_NOT_FOUND || Code == ERROR_KEY_DELETED) return;
    throw ERegistryException("Failed to delete value '" + Ident + "': " + Os::RegErrorText(Code), Code);
}

void TRegIniFile::EraseSection(const AnsiString& Section) { TRegistry::DeleteKey(Section); }
