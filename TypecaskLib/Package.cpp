#include "TypecaskLib/Package.h"

#include "Typecask/Unit.h"
#include "platform/Packages.h"

// The compiled resources, carried in this library's section ".rsrc" by
// resources/CMakeLists.txt.
extern "C" {
[[gnu::visibility("hidden")]] extern const unsigned char TypecaskModuleResources[];
[[gnu::visibility("hidden")]] extern const unsigned char TypecaskModuleResourcesEnd[];
}

HINSTANCE GetPackageInstance() {
    static const HINSTANCE Instance = Os::FindHInstance(TypecaskModuleResources);
    return Instance;
}

namespace {

void InitializeTypecaskLibUnit() {
    Os::RegisterModule(GetPackageInstance(), TypecaskModuleResources,
                       static_cast<std::size_t>(TypecaskModuleResourcesEnd - TypecaskModuleResources));
}

void FinalizeTypecaskLibUnit() { Os::UnregisterModule(GetPackageInstance()); }

TPackageUnits& Units() {
    static TPackageUnits Instance{
        {"TypecaskLib", InitializeTypecaskLibUnit, FinalizeTypecaskLibUnit},
        {"Typecask", InitializeTypecaskUnit, FinalizeTypecaskUnit},
    };
    return Instance;
}

// Initialisation for programs that link the library directly. It calls the
// units directly rather than through the exported names, which a program may
// define as well.
struct TLinkedInitialization {
    TLinkedInitialization() { Units().Initialize(); }
    ~TLinkedInitialization() {
        try {
            Units().Finalize();
        } catch (...) {
            // Nothing can report it while the library is being unloaded.
        }
    }
};

const TLinkedInitialization LinkedInitialization;

}  // namespace

extern "C" {

[[gnu::visibility("default")]] void Initialize() { Units().Initialize(); }

[[gnu::visibility("default")]] void Finalize() { Units().Finalize(); }

}
