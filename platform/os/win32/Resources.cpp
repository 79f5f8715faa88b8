// Modules and resources on kernel32 and version.dll. The Win32 functions are
// the system's; the module list and the resource images of the OS layer are
// built over them: a module's resources are read from its mapped image
// (or from the .res image it registers) into a TResourceImage.
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "platform/Streams.h"
#include "platform/os/Files.h"
#include "platform/TextConv.h"
#include "platform/os/VersionTree.h"
#include "platform/os/WinResources.h"
#include "platform/os/win32/WinApi.h"

namespace Os {

namespace {

void PutWord(std::vector<std::uint8_t>& Out, WORD Value) {
    Out.push_back(static_cast<std::uint8_t>(Value));
    Out.push_back(static_cast<std::uint8_t>(Value >> 8));
}
void PutDword(std::vector<std::uint8_t>& Out, DWORD Value) {
    PutWord(Out, static_cast<WORD>(Value));
    PutWord(Out, static_cast<WORD>(Value >> 16));
}
void Pad4(std::vector<std::uint8_t>& Out) {
    while (Out.size() % 4) Out.push_back(0);
}
void PutId(std::vector<std::uint8_t>& Out, LPCSTR Id) {
    if (IS_INTRESOURCE(Id)) {
        PutWord(Out, 0xFFFF);
        PutWord(Out, static_cast<WORD>(reinterpret_cast<ULONG_PTR>(Id)));
        return;
    }
    for (const char16_t Unit : Utf8ToUtf16(Id)) PutWord(Out, static_cast<WORD>(Unit));
    PutWord(Out, 0);
}

struct TEntryRef {
    AnsiString Type, Name;  // "#n" for ordinals
    WORD TypeId = 0, NameId = 0;
    WORD Language = 0;
};

LPCSTR AsId(const AnsiString& Text, WORD Id) { return Text.empty() ? MAKEINTRESOURCEA(Id) : Text.c_str(); }

// Collects the entries of a module's resources, type by type, name by name,
// language by language.
struct TWalk {
    std::vector<TEntryRef>* Entries;
    TEntryRef Current;
};

BOOL CALLBACK AddLanguage(HMODULE, LPCSTR, LPCSTR, WORD Language, LONG_PTR Data) {
    auto& W = *reinterpret_cast<TWalk*>(Data);
    TEntryRef Entry = W.Current;
    Entry.Language = Language;
    W.Entries->push_back(std::move(Entry));
    return TRUE;
}

BOOL CALLBACK AddName(HMODULE Module, LPCSTR Type, LPSTR Name, LONG_PTR Data) {
    auto& W = *reinterpret_cast<TWalk*>(Data);
    W.Current.Name.clear();
    W.Current.NameId = 0;
    if (IS_INTRESOURCE(Name)) W.Current.NameId = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(Name));
    else W.Current.Name = Name;
    ::EnumResourceLanguagesA(Module, Type, Name, AddLanguage, Data);
    return TRUE;
}

BOOL CALLBACK AddType(HMODULE Module, LPSTR Type, LONG_PTR Data) {
    auto& W = *reinterpret_cast<TWalk*>(Data);
    W.Current = {};
    if (IS_INTRESOURCE(Type)) W.Current.TypeId = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(Type));
    else W.Current.Type = Type;
    ::EnumResourceNamesA(Module, Type, AddName, Data);
    return TRUE;
}

// The resources of a loaded (or data-mapped) module as a .res image.
std::vector<std::uint8_t> ResImageOfModule(HMODULE Module) {
    std::vector<TEntryRef> Entries;
    TWalk Walk{&Entries, {}};
    ::EnumResourceTypesA(Module, AddType, reinterpret_cast<LONG_PTR>(&Walk));

    // The empty entry that starts every .res image.
    std::vector<std::uint8_t> Out = {0, 0, 0, 0, 0x20, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0,
                                     0, 0, 0, 0, 0,    0, 0, 0, 0,    0,    0, 0, 0,    0,    0, 0};
    for (const auto& E : Entries) {
        const LPCSTR Type = AsId(E.Type, E.TypeId), Name = AsId(E.Name, E.NameId);
        const HRSRC Info = ::FindResourceExA(Module, Type, Name, E.Language);
        const HGLOBAL Handle = Info ? ::LoadResource(Module, Info) : nullptr;
        const auto* Data = Handle ? static_cast<const std::uint8_t*>(::LockResource(Handle)) : nullptr;
        if (!Data) continue;
        const DWORD Size = ::SizeofResource(Module, Info);
        std::vector<std::uint8_t> Header;
        PutId(Header, Type);
        PutId(Header, Name);
        Pad4(Header);
        PutDword(Header, 0);       // data version
        PutWord(Header, 0x1030);   // memory flags
        PutWord(Header, E.Language);
        PutDword(Header, 0);       // version
        PutDword(Header, 0);       // characteristics
        PutDword(Out, Size);
        PutDword(Out, static_cast<DWORD>(Header.size() + 8));
        Out.insert(Out.end(), Header.begin(), Header.end());
        Out.insert(Out.end(), Data, Data + Size);
        Pad4(Out);
    }
    return Out;
}

std::shared_ptr<const TResourceImage> ReadResources(HINSTANCE Instance, const void* Memory, std::size_t Size) {
    try {
        if (Memory) return std::make_shared<TResourceImage>(Memory, Size, true);
        const auto Bytes = ResImageOfModule(Instance);
        return std::make_shared<TResourceImage>(Bytes.data(), Bytes.size());
    } catch (const Exception&) {
        return nullptr;  // unreadable resources read as none
    }
}

struct TModuleRecord {
    HINSTANCE Instance = nullptr;
    int Count = 0;
    const void* Memory = nullptr;
    std::size_t MemorySize = 0;
    bool Loaded = false;
    std::shared_ptr<const TResourceImage> Resources;
};

struct TModuleList {
    std::recursive_mutex Lock;
    std::vector<TModuleRecord> Modules;
    bool MainLoaded = false;
    std::shared_ptr<const TResourceImage> MainResources;
};

// Never destroyed: modules unregister themselves from static destructors that
// may run after this file's own.
TModuleList& List() {
    static TModuleList& Instance = *new TModuleList;
    return Instance;
}

}  // namespace

std::shared_ptr<const TResourceImage> TResourceImage::FromFile(const AnsiString& FileName) {
    {
        TFileStream File(FileName, fmOpenRead | fmShareDenyNone);
        if (auto Image = ReadResFile(File)) return Image;
        char Start[2] = {};
        File.SetPosition(0);
        if (File.Read(Start, 2) != 2 || Start[0] != 'M' || Start[1] != 'Z')
            throw EResourceError(Format("%s is neither a Windows module nor a resource file", {FileName}));
    }
    const HMODULE Module = ::LoadLibraryExA(FileName.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!Module)
        throw EResourceError(Format("%s: malformed Windows module (%s)",
                                    {FileName, OSErrorText(static_cast<int>(::GetLastError()))}));
    try {
        const auto Bytes = ResImageOfModule(Module);
        auto Image = std::make_shared<TResourceImage>(Bytes.data(), Bytes.size());
        ::FreeLibrary(Module);
        return Image;
    } catch (...) {
        ::FreeLibrary(Module);
        throw;
    }
}

HINSTANCE FindHInstance(const void* Address) {
    HMODULE Module = nullptr;
    if (!Address || !::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                          static_cast<LPCSTR>(Address), &Module))
        return nullptr;
    return Module;
}

HMODULE LoadModule(const AnsiString& FileName) {
    const HMODULE Module = ::LoadLibraryA(FileName.c_str());
    if (!Module) {
        const int Code = static_cast<int>(::GetLastError());
        throw EOSError(FileName + ": " + OSErrorText(Code), Code);
    }
    RegisterModule(Module);
    return Module;
}

void RegisterModule(HINSTANCE Instance, const void* Resources, std::size_t ResourcesSize) {
    auto& L = List();
    std::lock_guard Guard(L.Lock);
    for (auto& Record : L.Modules) {
        if (Record.Instance != Instance) continue;
        ++Record.Count;
        if (Resources && !Record.Memory && !Record.Loaded) {
            Record.Memory = Resources;
            Record.MemorySize = ResourcesSize;
        }
        return;
    }
    TModuleRecord Record;
    Record.Instance = Instance;
    Record.Count = 1;
    Record.Memory = Resources;
    Record.MemorySize = ResourcesSize;
    L.Modules.push_back(std::move(Record));
}

void UnregisterModule(HINSTANCE Instance) {
    auto& L = List();
    std::lock_guard Guard(L.Lock);
    for (auto It = L.Modules.begin(); It != L.Modules.end(); ++It) {
        if (It->Instance != Instance) continue;
        if (--It->Count == 0) L.Modules.erase(It);
        return;
    }
}

std::vector<HINSTANCE> EnumModules() {
    auto& L = List();
    std::lock_guard Guard(L.Lock);
    std::vector<HINSTANCE> Result;
    for (const auto& Record : L.Modules) Result.push_back(Record.Instance);
    return Result;
}

std::shared_ptr<const TResourceImage> GetModuleResources(HINSTANCE Instance) {
    auto& L = List();
    std::lock_guard Guard(L.Lock);
    for (auto& Record : L.Modules) {
        if (Record.Instance != Instance) continue;
        if (!Record.Loaded) {
            Record.Resources = ReadResources(Instance, Record.Memory, Record.MemorySize);
            Record.Loaded = true;
        }
        return Record.Resources;
    }
    const HMODULE Main = ::GetModuleHandleA(nullptr);
    if (Instance != nullptr && Instance != Main) return nullptr;
    if (!L.MainLoaded) {
        L.MainResources = ReadResources(Main, nullptr, 0);
        L.MainLoaded = true;
    }
    return L.MainResources;
}

std::vector<TVersionString> ListVersionStrings(LPCVOID Block) {
    using namespace VersionTree;
    std::vector<TVersionString> Result;
    if (!Block) return Result;
    const auto* Bytes = static_cast<const std::uint8_t*>(Block);
    TNode Root;
    if (!ReadNode(Bytes, 0, ReadWord(Bytes), Root)) return Result;
    std::set<std::pair<AnsiString, AnsiString>> Seen;
    ForEachChild(Bytes, Root, [&](const TNode& Info) {
        if (!KeyIs(Info, "StringFileInfo")) return true;
        ForEachChild(Bytes, Info, [&](const TNode& Table) {
            const AnsiString TableName = KeyOf(Table);
            ForEachChild(Bytes, Table, [&](const TNode& String) {
                // Only what a query by the listed names finds, once.
                TVersionString Entry{TableName, KeyOf(String), TextOf(Bytes, String)};
                const std::string Sub = "\\StringFileInfo\\" + Entry.Table + "\\" + Entry.Key;
                LPVOID Found = nullptr;
                UINT Length = 0;
                if (Entry.Key.find('\\') == AnsiString::npos && Seen.insert({Entry.Table, Entry.Key}).second &&
                    ::VerQueryValueA(Block, Sub.c_str(), &Found, &Length) &&
                    AnsiString(static_cast<const char*>(Found)) == Entry.Value)
                    Result.push_back(std::move(Entry));
                return true;
            });
            return true;
        });
        return true;
    });
    return Result;
}

}  // namespace Os
