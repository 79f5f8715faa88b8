// typecask reg: shows and edits the registry, stored and derived values
// alike, so that a user can see what an installation registered.
#include <cstdio>
#include <iostream>

#include "platform/Registry.h"
#include "tools/typecask/Command.h"

namespace Tool {

namespace {

struct TKeyName {
    HKEY Root;
    AnsiString Path;  // below the root, without a leading backslash
    AnsiString Full;  // as shown: root name, backslash, path
};

// "HKLM\Software\X", "HKEY_LOCAL_MACHINE\Software\X" or "HKLM".
TKeyName ParseKey(const AnsiString& Text) {
    const auto Slash = Text.find('\\');
    const AnsiString RootName = Text.substr(0, Slash);
    HKEY Root = Os::RegRootKeyFromName(RootName);
    if (!Root)
        throw EUsage("\"" + RootName + "\" is no root key; use HKLM, HKU, HKCU or HKCR (or their long names)");
    AnsiString Path = Slash == AnsiString::npos ? AnsiString() : Text.substr(Slash + 1);
    while (!Path.empty() && Path.back() == '\\') Path.pop_back();
    const AnsiString Full = Os::RegRootKeyName(Root) + (Path.empty() ? "" : "\\" + Path);
    return {Root, Path, Full};
}

AnsiString TypeName(DWORD Type) {
    switch (Type) {
        case REG_NONE: return "REG_NONE";
        case REG_SZ: return "REG_SZ";
        case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
        case REG_BINARY: return "REG_BINARY";
        case REG_DWORD: return "REG_DWORD";
        case REG_MULTI_SZ: return "REG_MULTI_SZ";
        case REG_QWORD: return "REG_QWORD";
        default: return "type " + std::to_string(Type);
    }
}

AnsiString DataText(const Os::TRegValue& V) {
    switch (V.Type) {
        case REG_SZ:
        case REG_EXPAND_SZ: return V.Data;
        case REG_DWORD:
            if (V.Data.size() == 4) {
                std::uint32_t N = 0;
                for (int I = 3; I >= 0; --I) N = (N << 8) | static_cast<unsigned char>(V.Data[static_cast<std::size_t>(I)]);
                return Format("0x%.8x (%u)", {N, N});
            }
            break;
        case REG_MULTI_SZ: {
            AnsiString Out;
            for (const char C : V.Data) Out += C == '\0' ? AnsiString("\\0") : AnsiString(1, C);
            return Out;
        }
        default: break;
    }
    AnsiString Hex;
    for (const char C : V.Data) Hex += Format("%.2x ", {static_cast<unsigned char>(C)});
    if (!Hex.empty()) Hex.pop_back();
    return Hex;
}

// Opens the key for reading, or raises naming it.
void OpenExisting(TRegistry& Reg, const TKeyName& Key) {
    Reg.SetRootKey(Key.Root);
    if (!Reg.OpenKeyReadOnly("\\" + Key.Path)) throw Exception("The key " + Key.Full + " does not exist");
}

int List(const std::vector<std::string>& Words) {
    if (Words.size() != 2) throw EUsage(Words.size() < 2 ? "missing argument" : "too many arguments");
    const TKeyName Key = ParseKey(Words[1]);
    TRegistry Reg(KEY_READ);
    OpenExisting(Reg, Key);
    std::vector<Os::TRegValue> Values;
    try {
        Values = Os::RegListValues(Reg.GetCurrentKey());
    } catch (const EOSError& E) {
        throw ERegistryException(Key.Full + ": " + E.GetMessage(), E.GetErrorCode());
    }
    std::size_t NameWidth = 0;
    for (const auto& V : Values) NameWidth = std::max(NameWidth, V.Name.empty() ? 9 : V.Name.size());
    std::cout << Key.Full << '\n';
    for (const auto& V : Values) {
        const AnsiString Name = V.Name.empty() ? AnsiString("(Default)") : V.Name;
        std::cout << "    " << Name << AnsiString(NameWidth - Name.size(), ' ') << "  " << TypeName(V.Type) << "  "
                  << DataText(V) << (V.Derived ? "  [derived]" : "") << '\n';
    }
    for (const auto& Sub : Reg.GetKeyNames()) std::cout << "    " << Sub << "\\\n";
    return 0;
}

int Get(const std::vector<std::string>& Words) {
    if (Words.size() != 3) throw EUsage(Words.size() < 3 ? "missing argument" : "too many arguments");
    const TKeyName Key = ParseKey(Words[1]);
    TRegistry Reg(KEY_READ);
    OpenExisting(Reg, Key);
    Os::TRegValue V;
    V.Name = Words[2];
    DWORD Size = 0;
    LONG Code = RegQueryValueExA(Reg.GetCurrentKey(), V.Name.c_str(), nullptr, &V.Type, nullptr, &Size);
    if (Code == ERROR_SUCCESS) {
        V.Data.assign(Size, '\0');
        Code = RegQueryValueExA(Reg.GetCurrentKey(), V.Name.c_str(), nullptr, &V.Type,
                                reinterpret_cast<BYTE*>(V.Data.data()), &Size);
        V.Data.resize(Size);
    }
    if (Code == ERROR_FILE_NOT_FOUND) throw Exception("The key " + Key.Full + " has no value \"" + V.Name + "\"");
    if (Code != ERROR_SUCCESS)
        throw ERegistryException("Failed to get data for '" + V.Name + "': " + Os::RegErrorText(Code), Code);
    if ((V.Type == REG_SZ || V.Type == REG_EXPAND_SZ) && !V.Data.empty() && V.Data.back() == '\0') V.Data.pop_back();
    std::cout << DataText(V) << '\n';
    return 0;
}

int Set(const std::vector<std::string>& Words) {
    if (Words.size() != 4) throw EUsage(Words.size() < 4 ? "missing argument" : "too many arguments");
    const TKeyName Key = ParseKey(Words[1]);
    TRegIniFile Ini("");
    Ini.SetRootKey(Key.Root);
    Ini.WriteString("\\" + Key.Path, Words[2], Words[3]);
    return 0;
}

int Delete(const std::vector<std::string>& Words) {
    if (Words.size() < 2 || Words.size() > 3) throw EUsage(Words.size() < 2 ? "missing argument" : "too many arguments");
    const TKeyName Key = ParseKey(Words[1]);
    TRegistry Reg;
    Reg.SetRootKey(Key.Root);
    if (Words.size() == 2) {
        if (Key.Path.empty()) throw Exception("A root key cannot be deleted");
        if (!Reg.DeleteKey("\\" + Key.Path)) throw Exception("The key " + Key.Full + " could not be deleted");
        return 0;
    }
    if (!Reg.OpenKey("\\" + Key.Path, false)) throw Exception("The key " + Key.Full + " does not exist");
    const LONG Code = RegDeleteValueA(Reg.GetCurrentKey(), Words[2].c_str());
    if (Code == ERROR_FILE_NOT_FOUND) throw Exception("The key " + Key.Full + " has no value \"" + Words[2] + "\"");
    if (Code == ERROR_ACCESS_DENIED && Os::RegIsDerivedValue(Reg.GetCurrentKey(), Words[2]))
        throw ERegistryException("\"" + Words[2] + "\" is derived from the installed fonts and cannot be deleted; "
                                 "remove the font file instead",
                                 Code);
    if (Code != ERROR_SUCCESS)
        throw ERegistryException("Failed to delete value '" + Words[2] + "': " + Os::RegErrorText(Code), Code);
    return 0;
}

int RunReg(TArgs& Args) {
    const auto Words = Args.Positional(1, 4);
    const std::string& Mode = Words[0];
    if (Mode == "list") return List(Words);
    if (Mode == "get") return Get(Words);
    if (Mode == "set") return Set(Words);
    if (Mode == "delete") return Delete(Words);
    throw EUsage("unknown mode \"" + Mode + "\"");
}

const TCommandRegistration Registration({
    "reg",
    "show or change registry values (stored and derived)",
    "Usage: typecask reg list KEY\n"
    "       typecask reg get KEY NAME\n"
    "       typecask reg set KEY NAME TEXT\n"
    "       typecask reg delete KEY [NAME]\n"
    "KEY starts with a root key, HKLM, HKU, HKCU or HKCR (or HKEY_LOCAL_MACHINE\n"
    "and the like), followed by the key path with backslashes; quote it in the\n"
    "shell, e.g. 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Fonts'.\n\n"
    "list   prints the values of KEY (name, type, data) and then its subkeys.\n"
    "       Values computed from the system rather than stored are marked\n"
    "       [derived]: the installed TrueType fonts under the Fonts key, and the\n"
    "       user font folder under HKU\\.Default\\...\\Explorer\\Shell Folders.\n"
    "get    prints the data of one value.\n"
    "set    stores a string value, creating the key as needed.\n"
    "delete deletes the value NAME, or without NAME the key with everything\n"
    "       below it. Derived values cannot be deleted.\n\n"
    "The registry lives in $TYPECASK_SYSROOT/registry.db when TYPECASK_SYSROOT is\n"
    "set, otherwise in $XDG_CONFIG_HOME/typecask/registry.db\n"
    "(~/.config/typecask/registry.db). Key names ignore letter case.\n",
    RunReg,
});

}  // namespace

}  // namespace Tool
