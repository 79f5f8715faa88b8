// The registry helpers of the OS layer on advapi32. The Win32 functions
// themselves are the system's; on Windows no value is derived: the system
// keeps the installed fonts in its Fonts key itself.
#include <cstring>
#include <vector>

#include "platform/os/Files.h"
#include "platform/os/WinRegistry.h"
#include "platform/os/win32/WinApi.h"

namespace Os {

namespace {

const char* const RootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"};
const char* const RootShortNames[] = {"HKCR", "HKCU", "HKLM", "HKU"};
const HKEY Roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};

}  // namespace

std::vector<TRegValue> RegListValues(HKEY Key) {
    DWORD Count = 0, MaxName = 0, MaxData = 0;
    LONG Code = ::RegQueryInfoKeyA(Key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &Count, &MaxName,
                                   &MaxData, nullptr, nullptr);
    std::vector<TRegValue> Result;
    for (DWORD Index = 0; Code == ERROR_SUCCESS; ++Index) {
        std::vector<char> Name(MaxName + 1);
        std::vector<BYTE> Data(MaxData + 1);
        DWORD NameSize = MaxName + 1, DataSize = MaxData + 1, Type = REG_NONE;
        Code = ::RegEnumValueA(Key, Index, Name.data(), &NameSize, nullptr, &Type, Data.data(), &DataSize);
        if (Code == ERROR_MORE_DATA) {
            // A value grew since the sizes were taken: take them again.
            Code = ::RegQueryInfoKeyA(Key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &Count, &MaxName,
                                      &MaxData, nullptr, nullptr);
            --Index;
            continue;
        }
        if (Code != ERROR_SUCCESS) break;
        TRegValue Value;
        Value.Name.assign(Name.data(), NameSize);
        Value.Type = Type;
        std::size_t Size = DataSize;
        if ((Type == REG_SZ || Type == REG_EXPAND_SZ) && Size > 0 && Data[Size - 1] == 0) --Size;
        Value.Data.assign(reinterpret_cast<const char*>(Data.data()), Size);
        Result.push_back(std::move(Value));
    }
    if (Code != ERROR_NO_MORE_ITEMS && Code != ERROR_SUCCESS)
        throw EOSError("Cannot list the values of the key: " + RegErrorText(Code), Code);
    return Result;
}

bool RegIsDerivedValue(HKEY, const AnsiString&) { return false; }

AnsiString RegErrorText(LONG Code) { return OSErrorText(static_cast<int>(Code)) + "."; }

// GetVersion's high bit is clear on every system of the NT line.
bool IsWindowsNT() { return (::GetVersion() & 0x80000000u) == 0; }

AnsiString RegRootKeyName(HKEY Root) {
    for (int I = 0; I < 4; ++I)
        if (Root == Roots[I]) return RootNames[I];
    return {};
}

HKEY RegRootKeyFromName(const AnsiString& Name) {
    for (int I = 0; I < 4; ++I)
        if (::lstrcmpiA(Name.c_str(), RootNames[I]) == 0 || ::lstrcmpiA(Name.c_str(), RootShortNames[I]) == 0)
            return Roots[I];
    return nullptr;
}

}  // namespace Os
