// The module list (platform/os/ModuleList.h).
#include "platform/os/ModuleList.h"

#include <mutex>
#include <vector>

namespace Os {

namespace {

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
            Record.Resources = ModuleList::ReadResources(Instance, Record.Memory, Record.MemorySize);
            Record.Loaded = true;
        }
        return Record.Resources;
    }
    // The main program is always there, registered or not.
    const HINSTANCE Main = ModuleList::MainModule();
    if (Instance != nullptr && Instance != Main) return nullptr;
    if (!L.MainLoaded) {
        L.MainResources = ModuleList::ReadResources(Main, nullptr, 0);
        L.MainLoaded = true;
    }
    return L.MainResources;
}

}  // namespace Os
