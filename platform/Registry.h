// The class library's registry access: TRegistry, a current key below a
// root key with typed reads and writes, and TRegIniFile, which reads and
// writes values addressed like an INI file (section = key path, ident =
// value name).
//
// Key paths use backslashes. A path that starts with a backslash is taken
// from the root key, any other from the current key (from the root key when
// no key is open).
//
// A missing key or value is an ordinary result (false, or the default);
// failures to write, and failures of the registry store itself, raise
// ERegistryException.
#pragma once

#include <vector>

#include "platform/SysUtils.h"
#include "platform/os/WinRegistry.h"

class ERegistryException : public Exception {
public:
    explicit ERegistryException(const AnsiString& Msg, LONG ErrorCode = ERROR_SUCCESS)
        : Exception(Msg), FErrorCode(ErrorCode) {}
    // The Win32 error code of the failed call, ERROR_SUCCESS when there was none.
    LONG GetErrorCode() const { return FErrorCode; }

private:
    LONG FErrorCode;
};

enum class TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };
using enum TRegDataType;

struct TRegDataInfo {
    TRegDataType RegData = rdUnknown;
    int DataSize = 0;
};

class TRegistry {
public:
    // Root key HKEY_CURRENT_USER, no key open, access KEY_ALL_ACCESS.
    TRegistry();
    explicit TRegistry(REGSAM Access);
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;
    virtual ~TRegistry();

    HKEY GetRootKey() const { return FRootKey; }
    // Closes the current key and switches to another root key.
    void SetRootKey(HKEY Value);
    // The open key, or nullptr.
    HKEY GetCurrentKey() const { return FCurrentKey; }
    // The path of the open key below the root key, without a leading backslash.
    const AnsiString& GetCurrentPath() const { return FCurrentPath; }
    REGSAM GetAccess() const { return FAccess; }
    void SetAccess(REGSAM Value) { FAccess = Value; }

    // Makes Key the current key; false when it does not exist (and CanCreate
    // is false) or access is denied.
    bool OpenKey(const AnsiString& Key, bool CanCreate);
    bool OpenKeyReadOnly(const AnsiString& Key);
    void CloseKey();
    // Creates Key (with missing parents); raises ERegistryException when it
    // cannot ("Failed to create key X").
    bool CreateKey(const AnsiString& Key);
    // Deletes Key with its values and, first, its subkeys; false when it does
    // not exist or cannot be deleted.
    bool DeleteKey(const AnsiString& Key);
    bool KeyExists(const AnsiString& Key);
    bool HasSubKeys();
    bool ValueExists(const AnsiString& Name);
    bool DeleteValue(const AnsiString& Name);
    bool GetDataInfo(const AnsiString& ValueName, TRegDataInfo& Value);
    TRegDataType GetDataType(const AnsiString& ValueName);
    // -1 when the value does not exist.
    int GetDataSize(const AnsiString& ValueName);
    std::vector<AnsiString> GetKeyNames();
    std::vector<AnsiString> GetValueNames();

    // The string value Name; empty when it does not exist. Raises
    // ERegistryException for a value of another type.
    AnsiString ReadString(const AnsiString& Name);
    void WriteString(const AnsiString& Name, const AnsiString& Value);
    void WriteExpandString(const AnsiString& Name, const AnsiString& Value);
    // Reads raise ERegistryException ("Failed to get data for 'X'") when the
    // value does not exist, and ("Invalid data type for 'X'") when it has
    // another type.
    int ReadInteger(const AnsiString& Name);
    void WriteInteger(const AnsiString& Name, int Value);
    bool ReadBool(const AnsiString& Name);
    void WriteBool(const AnsiString& Name, bool Value);
    // Copies the value's bytes into Buffer; returns their count.
    int ReadBinaryData(const AnsiString& Name, void* Buffer, int BufSize);
    void WriteBinaryData(const AnsiString& Name, const void* Buffer, int BufSize);

protected:
    // The key a path is taken from: the root key, or the current key when
    // the path is relative and a key is open.
    HKEY GetBaseKey(bool Relative) const;
    // Opens Key (relative or absolute) for this object's use; nullptr when it
    // does not exist or access is denied. The caller closes it.
    HKEY GetKey(const AnsiString& Key, bool CanCreate, REGSAM Access);
    // Makes Value (an open key, owned from now on) the current key.
    void ChangeKey(HKEY Value, const AnsiString& Path);
    // Raises ERegistryException for a failure of the store itself.
    static void CheckStore(LONG Code);

private:
    void PutData(const AnsiString& Name, DWORD Type, const void* Data, DWORD Size);
    // The value's type and bytes; false when it does not exist.
    bool GetData(const AnsiString& Name, DWORD& Type, std::string& Data);

    HKEY FRootKey;
    HKEY FCurrentKey = nullptr;
    AnsiString FCurrentPath;
    REGSAM FAccess;
};

class TRegIniFile : public TRegistry {
public:
    // Opens (creating it) the key FileName below HKEY_CURRENT_USER; with an
    // empty file name no key is opened and sections are taken from the root
    // key.
    explicit TRegIniFile(const AnsiString& FileName);
    TRegIniFile(const AnsiString& FileName, REGSAM Access);

    const AnsiString& GetFileName() const { return FFileName; }

    using TRegistry::DeleteKey;
    using TRegistry::ReadBool;
    using TRegistry::ReadInteger;
    using TRegistry::ReadString;
    using TRegistry::WriteBool;
    using TRegistry::WriteInteger;
    using TRegistry::WriteString;

    // The string value Ident of key Section; Default when the key or the
    // value does not exist.
    AnsiString ReadString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Default);
    // Writes the string value Ident of key Section, creating the key as
    // needed. Raises ERegistryException when it cannot.
    void WriteString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Value);
    int ReadInteger(const AnsiString& Section, const AnsiString& Ident, int Default);
    void WriteInteger(const AnsiString& Section, const AnsiString& Ident, int Value);
    bool ReadBool(const AnsiString& Section, const AnsiString& Ident, bool Default);
    void WriteBool(const AnsiString& Section, const AnsiString& Ident, bool Value);
    // The value names of key Section (none when it does not exist).
    std::vector<AnsiString> ReadSection(const AnsiString& Section);
    // The string values of key Section as name and text, in one pass over
    // the key (none when it does not exist); values of other types are left
    // out.
    std::vector<std::pair<AnsiString, AnsiString>> ReadSectionValues(const AnsiString& Section);
    // Deletes the value Ident of key Section. A missing key or value is no
    // error; any other failure raises ERegistryException.
    void DeleteKey(const AnsiString& Section, const AnsiString& Ident);
    // Deletes key Section with everything below it.
    void EraseSection(const AnsiString& Section);

private:
    AnsiString FFileName;
};
