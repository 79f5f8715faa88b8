// Counted unit initialisation and the package loader.
#include <string>
#include <vector>

#include "TestFiles.h"
#include "platform/Packages.h"

namespace {

std::vector<std::string> Log;
bool FailInitB = false, FailFinalB = false, FailFinalC = false;

void InitA() { Log.push_back("init A"); }
void InitB() {
    Log.push_back("init B");
    if (FailInitB) throw Exception("B refuses");
}
void InitC() { Log.push_back("init C"); }
void FinalA() { Log.push_back("final A"); }
void FinalB() {
    Log.push_back("final B");
    if (FailFinalB) throw Exception("B cannot finish");
}
void FinalC() {
    Log.push_back("final C");
    if (FailFinalC) throw Exception("C cannot finish");
}

class PackageUnits : public ::testing::Test {
protected:
    void SetUp() override {
        Log.clear();
        FailInitB = FailFinalB = FailFinalC = false;
    }
    TPackageUnits FUnits{{"A", InitA, FinalA}, {"B", InitB, FinalB}, {"C", InitC, FinalC}, {"D", nullptr, nullptr}};
};

TEST_F(PackageUnits, OnlyTheFirstInitializeAndTheLastFinalizeWork) {
    FUnits.Initialize();
    FUnits.Initialize();
    EXPECT_EQ(FUnits.GetInitCount(), 2);
    EXPECT_EQ(Log, (std::vector<std::string>{"init A", "init B", "init C"}));
    Log.clear();
    FUnits.Finalize();
    EXPECT_TRUE(Log.empty());
    FUnits.Finalize();
    EXPECT_EQ(Log, (std::vector<std::string>{"final C", "final B", "final A"}));
    FUnits.Finalize();  // unbalanced: nothing
    EXPECT_EQ(Log.size(), 3u);
    EXPECT_EQ(FUnits.GetInitCount(), 0);
}

TEST_F(PackageUnits, AFailedInitializationUndoesTheUnitsBefore) {
    FailInitB = true;
    EXPECT_THROW(FUnits.Initialize(), Exception);
    EXPECT_EQ(Log, (std::vector<std::string>{"init A", "init B", "final A"}));
    EXPECT_EQ(FUnits.GetInitCount(), 0);
    FailInitB = false;
    Log.clear();
    FUnits.Initialize();  // can be tried again
    EXPECT_EQ(Log.size(), 3u);
    FUnits.Finalize();
}

TEST_F(PackageUnits, EveryFinalizationRunsAndTheFirstFailurePasses) {
    FUnits.Initialize();
    Log.clear();
    FailFinalB = FailFinalC = true;
    try {
        FUnits.Finalize();
        ADD_FAILURE() << "no exception";
    } catch (const Exception& E) {
        EXPECT_EQ(E.GetMessage(), "C cannot finish");
    }
    EXPECT_EQ(Log, (std::vector<std::string>{"final C", "final B", "final A"}));
    EXPECT_EQ(FUnits.GetInitCount(), 0);
}

// -------------------------------------------------------------- the loader

int Finalized = 0;
void CountFinalize() { ++Finalized; }

bool Registered(HMODULE Module) {
    const auto Modules = Os::EnumModules();
    return std::find(Modules.begin(), Modules.end(), Module) != Modules.end();
}

TEST(PackageLoader, LoadsInitializesOnceAndUnloads) {
    Finalized = 0;
    const HMODULE Package = LoadPackage(TEST_PACKAGE_MODULE);
    ASSERT_NE(Package, nullptr);
    auto Initializations = reinterpret_cast<int (*)()>(GetProcAddress(Package, "TestPackageInitializations"));
    auto SetHook = reinterpret_cast<void (*)(void (*)())>(GetProcAddress(Package, "TestPackageSetFinalizeHook"));
    ASSERT_TRUE(Initializations && SetHook);
    SetHook(CountFinalize);
    EXPECT_EQ(Initializations(), 1);
    EXPECT_TRUE(Registered(Package));
    char Text[16];
    EXPECT_EQ(LoadStringA(Package, 1, Text, sizeof(Text)), 5);
    EXPECT_EQ(GetPackageInfo(Package).Contains.at(0).Name, "TestPackage");
    EXPECT_EQ(GetPackageInfo(Package).Description, "A package for tests");

    EXPECT_EQ(LoadPackage(TEST_PACKAGE_MODULE), Package);
    EXPECT_EQ(Initializations(), 1);
    UnloadPackage(Package);
    EXPECT_EQ(Finalized, 0);
    EXPECT_TRUE(Registered(Package));
    UnloadPackage(Package);
    EXPECT_EQ(Finalized, 1);
    EXPECT_FALSE(Registered(Package));
}

TEST(PackageLoader, RefusesWhatIsNoPackage) {
    try {
        LoadPackage(TEST_PLAIN_MODULE);
        ADD_FAILURE() << "no exception";
    } catch (const EPackageError& E) {
        EXPECT_EQ(E.GetMessage(),
                  std::string(TEST_PLAIN_MODULE) + " is not a package: it has no Initialize and Finalize entries");
    }
    try {
        LoadPackage("/no/such/package.so");
        ADD_FAILURE() << "no exception";
    } catch (const EPackageError& E) {
        EXPECT_EQ(E.GetMessage().rfind("Cannot load package /no/such/package.so: ", 0), 0u) << E.GetMessage();
    }
    EXPECT_EQ(GetModuleHandleA(TEST_PLAIN_MODULE), nullptr);  // unloaded again
}

TEST(PackageLoader, AFailingInitializationUnloadsThePackage) {
    try {
        LoadPackage(TEST_FAILING_PACKAGE_MODULE);
        ADD_FAILURE() << "no exception";
    } catch (const Exception& E) {
        EXPECT_EQ(E.GetMessage(), "the test package refuses to initialise");
    }
    EXPECT_EQ(GetModuleHandleA(TEST_FAILING_PACKAGE_MODULE), nullptr);
}

}  // namespace
