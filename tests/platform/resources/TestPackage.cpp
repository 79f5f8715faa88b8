// A small package for the tests of the package loader and of module
// resources. Built three ways: as a package (TEST_PACKAGE), as a package whose
// initialisation fails (TEST_PACKAGE_FAILS as well), and as a plain library
// without package entries.
#include "platform/Packages.h"

extern "C" {
[[gnu::visibility("hidden")]] extern const unsigned char TypecaskModuleResources[];
[[gnu::visibility("hidden")]] extern const unsigned char TypecaskModuleResourcesEnd[];
}

namespace {

int Initializations = 0;
void (*FinalizeHook)() = nullptr;

HINSTANCE Self() { return Os::FindHInstance(TypecaskModuleResources); }

[[maybe_unused]] void InitializeUnit() {
#ifdef TEST_PACKAGE_FAILS
    throw Exception("the test package refuses to initialise");
#endif
    ++Initializations;
    Os::RegisterModule(Self(), TypecaskModuleResources,
                       static_cast<std::size_t>(TypecaskModuleResourcesEnd - TypecaskModuleResources));
}

[[maybe_unused]] void FinalizeUnit() {
    Os::UnregisterModule(Self());
    if (FinalizeHook) FinalizeHook();
}

[[maybe_unused]] TPackageUnits& Units() {
    static TPackageUnits Instance{{"TestPackage", InitializeUnit, FinalizeUnit}};
    return Instance;
}

}  // namespace

extern "C" {

#ifdef TEST_PACKAGE
[[gnu::visibility("default")]] void Initialize() { Units().Initialize(); }
[[gnu::visibility("default")]] void Finalize() { Units().Finalize(); }
#endif

[[gnu::visibility("default")]] int TestPackageInitializations() { return Initializations; }
[[gnu::visibility("default")]] void TestPackageSetFinalizeHook(void (*Hook)()) { FinalizeHook = Hook; }
}
