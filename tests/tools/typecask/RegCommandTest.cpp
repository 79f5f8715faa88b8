// "typecask reg" as a user runs it, against a sandbox's registry.
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>

#include "platform/Registry.h"
#include "tests/support/Command.h"
#include "tests/support/Sandbox.h"

namespace {

struct TResult {
    int Status;
    std::string Out;
};

// Runs typecask with the arguments (each quoted for the shell); standard
// error is collected with the output.
TResult Typecask(const std::vector<std::string>& Args) {
    std::string Command = TYPECASK_EXECUTABLE;
    for (const auto& A : Args) Command += " '" + A + "'";
    Command += " 2>&1";
    const auto Run = TestSupport::RunCommand(Command);
    return {Run.Status, Run.Output};
}

const char* const FontsKey = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";

TEST(RegCommand, ListsStoredAndDerivedValuesAndMarksTheDerived) {
    TestSupport::TSandbox Box;  // the child process inherits TYPECASK_SYSROOT
    const std::string File = Box.InstallFont("Listed Face");
    ASSERT_EQ(Typecask({"reg", "set", FontsKey, "Stored Face (TrueType)", "/somewhere/Stored.ttf"}).Status, 0);

    const auto Listed = Typecask({"reg", "list", FontsKey});
    EXPECT_EQ(Listed.Status, 0) << Listed.Out;
    EXPECT_EQ(Listed.Out,
              "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Fonts\n"
              "    Stored Face (TrueType)  REG_SZ  /somewhere/Stored.ttf\n"
              "    Listed Face (TrueType)  REG_SZ  " + File + "  [derived]\n");

    // What the command stored, the class library reads.
    TRegIniFile Ini("");
    Ini.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(Ini.ReadString("\\Software\\Microsoft\\Windows\\CurrentVersion\\Fonts", "Stored Face (TrueType)", ""),
              "/somewhere/Stored.ttf");

    EXPECT_EQ(Typecask({"reg", "get", FontsKey, "listed face (truetype)"}).Out, File + "\n");
    EXPECT_EQ(Typecask({"reg", "delete", FontsKey, "Stored Face (TrueType)"}).Status, 0);
    EXPECT_EQ(Ini.ReadString("\\Software\\Microsoft\\Windows\\CurrentVersion\\Fonts", "Stored Face (TrueType)", "-"),
              "-");
}

TEST(RegCommand, BadUseIsReportedClearly) {
    TestSupport::TSandbox Box;
    struct TCase {
        std::vector<std::string> Args;
        int Status;
        const char* Message;
    } const Cases[] = {
        {{"reg", "list", "HKXX\\Software"}, 2, "\"HKXX\" is no root key"},
        {{"reg", "list", "HKLM\\Software\\Absent"}, 1, "The key HKEY_LOCAL_MACHINE\\Software\\Absent does not exist"},
        {{"reg", "get", FontsKey, "Nothing (TrueType)"}, 1, "has no value \"Nothing (TrueType)\""},
        {{"reg", "frobnicate", FontsKey}, 2, "unknown mode \"frobnicate\""},
        {{"reg", "list"}, 2, "missing argument"},
        {{"reg", "delete", "HKLM"}, 1, "A root key cannot be deleted"},
    };
    for (const auto& C : Cases) {
        const auto R = Typecask(C.Args);
        EXPECT_EQ(R.Status, C.Status) << R.Out;
        EXPECT_NE(R.Out.find(C.Message), std::string::npos) << R.Out;
    }
    const auto Help = Typecask({"reg", "--help"});
    EXPECT_EQ(Help.Status, 0);
    EXPECT_EQ(Help.Out.rfind("Usage: typecask reg list KEY", 0), 0u);
}

}  // namespace
