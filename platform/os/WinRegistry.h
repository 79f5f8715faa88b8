// The registry functions of the Win32 API.
//
// On Linux the registry is a persistent store (one database file, see
// Os::GetSystemPaths) shared by every process of the user. Key names are
// compared ignoring letter case and keep the case they were created with.
// Every write is one transaction; several processes may read and write at
// once. Key paths use backslashes; a leading backslash is ignored.
//
// Some values are derived from the system rather than stored:
//  - HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Fonts has,
//    besides its stored values, one value per TrueType font file that the
//    font configuration knows, named by the font's full name followed by
//    " (TrueType)" (faces of a collection joined with " & "), whose data is
//    the file's path. A stored value of the same name wins.
//  - "HKEY_USERS\.Default\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
//    has the value "Fonts", the user font folder, unless one is stored.
// Derived values can be overwritten (the stored value then wins) but not
// deleted; RegDeleteValueA on one returns ERROR_ACCESS_DENIED.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/System.h"
#include "platform/os/WinTypes.h"

#ifndef _WIN32
// On Windows these come from <windows.h> (through WinTypes.h).

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000003u)))

// Value types. REG_SZ and REG_DWORD are checked; the others are stored as
// the bytes given.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

// Access rights. A key opened without KEY_SET_VALUE or KEY_CREATE_SUB_KEY
// refuses the corresponding writes with ERROR_ACCESS_DENIED.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
using PFILETIME = FILETIME*;

// The functions return ERROR_SUCCESS or a Win32 error code:
// ERROR_FILE_NOT_FOUND for a missing key or value, ERROR_MORE_DATA (with the
// needed size stored) for a buffer that is too small, ERROR_NO_MORE_ITEMS at
// the end of an enumeration, ERROR_KEY_DELETED when the key of a handle was
// deleted meanwhile, ERROR_INVALID_HANDLE for a handle that is no key,
// ERROR_CANTOPEN / ERROR_CANTREAD / ERROR_CANTWRITE when the store fails.
LONG RegOpenKeyExA(HKEY Key, LPCSTR SubKey, DWORD Options, REGSAM Desired, PHKEY Result);
LONG RegCreateKeyExA(HKEY Key, LPCSTR SubKey, DWORD Reserved, LPSTR Class, DWORD Options, REGSAM Desired,
                     const void* SecurityAttributes, PHKEY Result, LPDWORD Disposition);
LONG RegCloseKey(HKEY Key);
// Data of REG_SZ values is returned with its terminating zero, counted in
// the size.
LONG RegQueryValueExA(HKEY Key, LPCSTR ValueName, LPDWORD Reserved, LPDWORD Type, LPBYTE Data, LPDWORD DataSize);
LONG RegSetValueExA(HKEY Key, LPCSTR ValueName, DWORD Reserved, DWORD Type, const BYTE* Data, DWORD DataSize);
LONG RegDeleteValueA(HKEY Key, LPCSTR ValueName);
// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED otherwise), with
// its values.
LONG RegDeleteKeyA(HKEY Key, LPCSTR SubKey);
// Enumerates stored values in the order they were first set, then derived
// values in name order. NameSize is in characters, without the zero.
LONG RegEnumValueA(HKEY Key, DWORD Index, LPSTR ValueName, LPDWORD ValueNameSize, LPDWORD Reserved, LPDWORD Type,
                   LPBYTE Data, LPDWORD DataSize);
// Enumerates subkeys in name order (ignoring letter case).
LONG RegEnumKeyExA(HKEY Key, DWORD Index, LPSTR Name, LPDWORD NameSize, LPDWORD Reserved, LPSTR Class,
                   LPDWORD ClassSize, PFILETIME LastWriteTime);
LONG RegQueryInfoKeyA(HKEY Key, LPSTR Class, LPDWORD ClassSize, LPDWORD Reserved, LPDWORD SubKeys,
                      LPDWORD MaxSubKeyLen, LPDWORD MaxClassLen, LPDWORD Values, LPDWORD MaxValueNameLen,
                      LPDWORD MaxValueLen, LPDWORD SecurityDescriptor, PFILETIME LastWriteTime);
LONG RegFlushKey(HKEY Key);

#endif  // _WIN32

namespace Os {

// The registry's limits, as on Windows: a key's name has at most
// MaxKeyNameLength characters, and keys nest at most MaxKeyDepth deep, the
// root key counting as none.
inline constexpr std::size_t MaxKeyNameLength = 255;
inline constexpr std::size_t MaxKeyDepth = 512;

// One value of a key as RegListValues reports it.
struct TRegValue {
    AnsiString Name;
    DWORD Type = REG_NONE;
    std::string Data;      // the bytes, for REG_SZ without the terminating zero
    bool Derived = false;  // computed from the system, not stored
};

// All values of an open key, stored ones first, derived ones after them, in
// the order RegEnumValueA reports them. Raises EOSError when the store fails.
std::vector<TRegValue> RegListValues(HKEY Key);
// Whether the value Name of the open key is derived rather than stored.
bool RegIsDerivedValue(HKEY Key, const AnsiString& Name);
// The text of a registry error code, with the store's own reason for
// failures of the store.
AnsiString RegErrorText(LONG Code);
// Whether the system is of the NT line of Windows, which keeps its installed
// fonts under HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\Fonts
// (the 9x line: ...\Windows\CurrentVersion\Fonts). On Linux false: the
// registry shows the installed fonts under the 9x key.
bool IsWindowsNT();
// The readable name of a root key ("HKEY_LOCAL_MACHINE"), or empty.
AnsiString RegRootKeyName(HKEY Root);
// The root key for a name such as "HKLM" or "HKEY_USERS" (letter case
// ignored), or nullptr.
HKEY RegRootKeyFromName(const AnsiString& Name);

}  // namespace Os
