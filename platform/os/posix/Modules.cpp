// Modules on POSIX: handles, file names and dynamic loading through the
// dynamic linker, and the module list.
//
// A module's handle is the address at which the dynamic linker mapped it
// (dladdr's dli_fbase), so the handle of the module that contains any code or
// data address is found with dladdr, and a handle names the same module for
// as long as it stays loaded.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/os/ModuleList.h"
#include "platform/os/WinResources.h"

namespace {

struct TLibrary {
    void* Handle = nullptr;
    int Count = 0;
};

// The libraries loaded through LoadLibraryA, with one dlopen reference each.
struct TLibraryList {
    std::mutex Lock;
    std::map<HINSTANCE, TLibrary> Libraries;
};

// Never destroyed: modules unload themselves from static destructors that
// may run after this file's own.
TLibraryList& List() {
    static TLibraryList& Instance = *new TLibraryList;
    return Instance;
}

HINSTANCE BaseOf(const void* Address) {
    Dl_info Info;
    if (!Address || ::dladdr(Address, &Info) == 0 || !Info.dli_fbase) return nullptr;
    return static_cast<HINSTANCE>(Info.dli_fbase);
}

// The handle of a module opened with dlopen: the base of the object that
// holds its dynamic section.
HINSTANCE BaseOfDlHandle(void* Handle) {
    link_map* Map = nullptr;
    if (::dlinfo(Handle, RTLD_DI_LINKMAP, &Map) != 0 || !Map) return nullptr;
    return BaseOf(Map->l_ld);
}

HINSTANCE MainHandle() {
    static const HINSTANCE Main = [] {
        void* Self = ::dlopen(nullptr, RTLD_LAZY);
        const HINSTANCE Base = Self ? BaseOfDlHandle(Self) : nullptr;
        if (Self) ::dlclose(Self);
        return Base;
    }();
    return Main;
}

bool IsMain(HINSTANCE Instance) { return !Instance || Instance == MainHandle(); }

AnsiString MainFileName() {
    std::vector<char> Buffer(PATH_MAX + 1);
    for (;;) {
        const ssize_t N = ::readlink("/proc/self/exe", Buffer.data(), Buffer.size());
        if (N < 0) return {};
        if (static_cast<std::size_t>(N) < Buffer.size()) return AnsiString(Buffer.data(), static_cast<std::size_t>(N));
        Buffer.resize(Buffer.size() * 2);
    }
}

// The full path of a loaded module's file; empty when Instance is no module.
AnsiString ModuleFileName(HINSTANCE Instance) {
    if (IsMain(Instance)) return MainFileName();
    Dl_info Info;
    if (::dladdr(Instance, &Info) == 0 || Info.dli_fbase != Instance || !Info.dli_fname || !*Info.dli_fname)
        return {};
    if (char* Full = ::realpath(Info.dli_fname, nullptr)) {
        AnsiString Result(Full);
        std::free(Full);
        return Result;
    }
    return Info.dli_fname;
}


struct TFindByName {
    const char* Name;
    std::string RealPath;  // of Name when it is a path to an existing file
    HINSTANCE Found = nullptr;
};

// The file a path leads to after all symbolic links (a library is loaded
// under its SONAME link); empty when there is no such file.
std::string RealPath(const char* Path) {
    char* Full = ::realpath(Path, nullptr);
    if (!Full) return {};
    std::string Result = Full;
    std::free(Full);
    return Result;
}

// True when the file name Base is Name, or Name with a version after it
// ("libX.so" names "libX.so.1" and "libX.so.1.2.3": a shared library is
// loaded under its SONAME, which carries the major version).
bool SameModuleName(const char* Base, const char* Name) {
    const std::size_t Length = std::strlen(Name);
    if (std::strncmp(Base, Name, Length) != 0) return false;
    const char* Rest = Base + Length;
    if (!*Rest) return true;
    if (Length < 3 || std::strcmp(Name + Length - 3, ".so") != 0) return false;
    while (*Rest == '.' && Rest[1] >= '0' && Rest[1] <= '9') {
        ++Rest;
        while (*Rest >= '0' && *Rest <= '9') ++Rest;
    }
    return !*Rest;
}

int FindByName(dl_phdr_info* Info, std::size_t, void* Data) {
    auto* Search = static_cast<TFindByName*>(Data);
    if (!Info->dlpi_name || !*Info->dlpi_name) return 0;
    const char* Base = std::strrchr(Info->dlpi_name, '/');
    Base = Base ? Base + 1 : Info->dlpi_name;
    if (std::strcmp(Info->dlpi_name, Search->Name) != 0 && !SameModuleName(Base, Search->Name) &&
        (Search->RealPath.empty() || RealPath(Info->dlpi_name) != Search->RealPath))
        return 0;
    for (int I = 0; I < Info->dlpi_phnum; ++I) {
        if (Info->dlpi_phdr[I].p_type != PT_LOAD) continue;
        Search->Found = BaseOf(reinterpret_cast<const void*>(Info->dlpi_addr + Info->dlpi_phdr[I].p_vaddr));
        return 1;
    }
    return 0;
}

}  // namespace

// ------------------------------------------------------------ Win32 calls

DWORD GetModuleFileNameA(HMODULE Module, LPSTR Buffer, DWORD Size) {
    const AnsiString Name = ModuleFileName(Module);
    if (Name.empty()) {
        SetLastError(static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
        return 0;
    }
    if (!Buffer || Size == 0) {
        SetLastError(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        return 0;
    }
    const std::size_t Copied = std::min<std::size_t>(Name.size(), Size - 1);
    std::memcpy(Buffer, Name.data(), Copied);
    Buffer[Copied] = '\0';
    if (Copied < Name.size()) {
        SetLastError(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        return Size;
    }
    SetLastError(static_cast<DWORD>(ERROR_SUCCESS));
    return static_cast<DWORD>(Copied);
}

HMODULE GetModuleHandleA(LPCSTR ModuleName) {
    if (!ModuleName) return MainHandle();
    TFindByName Search{ModuleName, std::strchr(ModuleName, '/') ? RealPath(ModuleName) : std::string()};
    ::dl_iterate_phdr(FindByName, &Search);
    if (!Search.Found) SetLastError(static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    return Search.Found;
}

BOOL GetModuleHandleExA(DWORD Flags, LPCSTR ModuleName, HMODULE* Module) {
    if (!Module) {
        SetLastError(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        return FALSE;
    }
    *Module = (Flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) ? Os::FindHInstance(ModuleName)
                                                               : GetModuleHandleA(ModuleName);
    if (!*Module) SetLastError(static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    return *Module ? TRUE : FALSE;
}

HMODULE LoadLibraryA(LPCSTR FileName) {
    if (!FileName) {
        SetLastError(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        return nullptr;
    }
    try {
        return Os::LoadModule(FileName);
    } catch (const Exception&) {
        SetLastError(static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
        return nullptr;
    }
}

BOOL FreeLibrary(HMODULE Module) {
    auto& L = List();
    void* Handle = nullptr;
    {
        std::lock_guard Guard(L.Lock);
        auto It = L.Libraries.find(Module);
        if (It == L.Libraries.end()) {
            SetLastError(static_cast<DWORD>(ERROR_INVALID_HANDLE));
            return FALSE;
        }
        if (--It->second.Count == 0) {
            Handle = It->second.Handle;
            L.Libraries.erase(It);
        }
    }
    Os::UnregisterModule(Module);
    if (Handle) ::dlclose(Handle);  // the one dlopen reference goes with the last FreeLibrary
    return TRUE;
}

void* GetProcAddress(HMODULE Module, LPCSTR ProcName) {
    if (!ProcName) {
        SetLastError(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        return nullptr;
    }
    void* Handle = nullptr;
    bool Borrowed = false;
    {
        auto& L = List();
        std::lock_guard Guard(L.Lock);
        auto It = L.Libraries.find(Module);
        if (It != L.Libraries.end()) Handle = It->second.Handle;
    }
    if (!Handle) {
        // A module that is loaded but not through LoadLibraryA: take a
        // reference for the lookup only.
        const AnsiString Name = IsMain(Module) ? AnsiString() : ModuleFileName(Module);
        if (!IsMain(Module) && Name.empty()) {
            SetLastError(static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
            return nullptr;
        }
        Handle = ::dlopen(IsMain(Module) ? nullptr : Name.c_str(), RTLD_LAZY | RTLD_NOLOAD);
        if (!Handle) {
            SetLastError(static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
            return nullptr;
        }
        Borrowed = true;
    }
    void* Address = ::dlsym(Handle, ProcName);
    if (Borrowed) ::dlclose(Handle);
    // dlsym searches the module's dependencies as well; only the module's own
    // exports count.
    const HMODULE Self = IsMain(Module) ? MainHandle() : Module;
    if (!Address || BaseOf(Address) != Self) {
        SetLastError(static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
        return nullptr;
    }
    return Address;
}

// ------------------------------------------------------------- module list

namespace Os {

HINSTANCE FindHInstance(const void* Address) { return BaseOf(Address); }

HMODULE LoadModule(const AnsiString& FileName) {
    void* Handle = ::dlopen(FileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!Handle) {
        const char* Reason = ::dlerror();
        throw EOSError(Reason ? AnsiString(Reason) : FileName + ": cannot be loaded", ERROR_MOD_NOT_FOUND);
    }
    const HINSTANCE Instance = BaseOfDlHandle(Handle);
    if (!Instance) {
        ::dlclose(Handle);
        throw EOSError(FileName + ": the loaded module has no address", ERROR_MOD_NOT_FOUND);
    }
    {
        auto& L = List();
        std::lock_guard Guard(L.Lock);
        auto& Library = L.Libraries[Instance];
        if (Library.Count++ > 0) ::dlclose(Handle);  // one dlopen reference per library is enough
        else Library.Handle = Handle;
    }
    RegisterModule(Instance);
    return Instance;
}

namespace ModuleList {

HINSTANCE MainModule() { return MainHandle(); }

std::shared_ptr<const TResourceImage> ReadResources(HINSTANCE Instance, const void* Memory, std::size_t Size) {
    try {
        if (Memory) return std::make_shared<TResourceImage>(Memory, Size, true);
        const AnsiString FileName = ModuleFileName(Instance);
        if (FileName.empty()) return nullptr;
        return TResourceImage::FromFile(FileName);
    } catch (const Exception&) {
        return nullptr;  // unreadable resources read as none
    }
}

}  // namespace ModuleList

}  // namespace Os
