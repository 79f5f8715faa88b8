// Modules and resources on kernel32 and version.dll. The Win32 functions are
// the system's; the module list and the resource images of the OS layer are
// built over them: a loaded module's resources are read from its mapped
// image (or from the .res image it registers) into a TResourceImage; a file
// that is not loaded, by the portable reader (platform/os/PeImage.cpp).
#include <cstring>
#include <map>
#include <mutex>

#include "platform/Streams.h"
#include "platform/os/Files.h"
#include "platform/TextConv.h"
#include "platform/os/VersionTree.h"
#include "platform/os/ModuleList.h"
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

}  // namespace

// A file that is not loaded is read from its bytes, as on every system: a
// module the system would refuse to map (another processor's, or damaged) is
// read or refused alike.
std::shared_ptr<const TResourceImage> TResourceImage::FromFile(const AnsiString& FileName) {
    TFileStream File(FileName, fmOpenRead | fmShareDenyNone);
    if (auto Image = ReadPeFile(File)) return Image;
    if (auto Image = ReadResFile(File)) return Image;
    throw EResourceError(Format("%s is neither a Windows module nor a resource file", {FileName}));
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

namespace ModuleList {

HINSTANCE MainModule() { return ::GetModuleHandleA(nullptr); }

std::shared_ptr<const TResourceImage> ReadResources(HINSTANCE Instance, const void* Memory, std::size_t Size) {
    try {
        if (Memory) return std::make_shared<TResourceImage>(Memory, Size, true);
        const auto Bytes = ResImageOfModule(Instance);
        return std::make_shared<TResourceImage>(Bytes.data(), Bytes.size());
    } catch (const Exception&) {
        return nullptr;  // unreadable resources read as none
    }
}

}  // namespace ModuleList

}  // namespace Os
