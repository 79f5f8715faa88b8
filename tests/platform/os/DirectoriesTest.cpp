// The temporary and Windows directories and the sandbox's paths.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/os/Windows.h"
#include "tests/support/Sandbox.h"

namespace {

namespace fs = std::filesystem;

std::string TempPath() {
    char Buffer[MAX_PATH];
    const DWORD Length = GetTempPathA(MAX_PATH, Buffer);
    return Length == 0 ? std::string() : std::string(Buffer, Length);
}

TEST(Directories, TempPathIsAPrivateFolderEndingWithTheDelimiter) {
    TestSupport::TSandbox Box;
    const std::string Path = TempPath();
    EXPECT_EQ(Path, Box.Root() + "/tmp/");
    struct stat St;
    ASSERT_EQ(::lstat(Path.c_str(), &St), 0);
    EXPECT_TRUE(S_ISDIR(St.st_mode));
    EXPECT_EQ(St.st_mode & 0777, 0700u);
    EXPECT_EQ(St.st_uid, ::geteuid());

    // Win32 buffer rules: too small a buffer gets the size needed, with the zero.
    char Small[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(GetTempPathA(sizeof Small, Small), Path.size() + 1);
    EXPECT_EQ(Small[0], 'x');
}

TEST(Directories, TempPathRefusesAFolderOthersCouldTamperWith) {
    TestSupport::TSandbox Box;
    // The link's target would be accepted but for the link: the user's own,
    // mode 0700.
    fs::create_directories(Box / "elsewhere");
    fs::permissions(Box / "elsewhere", fs::perms::owner_all);
    const std::string Tmp = Box / "tmp";

    fs::create_directory_symlink(Box / "elsewhere", Tmp);
    EXPECT_EQ(TempPath(), "") << "a symbolic link";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    fs::remove(Tmp);

    fs::create_directory(Tmp);
    fs::permissions(Tmp, fs::perms::owner_all | fs::perms::group_all | fs::perms::others_all);
    EXPECT_EQ(TempPath(), "") << "writable by everyone";
    fs::permissions(Tmp, fs::perms::owner_all);
    EXPECT_EQ(TempPath(), Tmp + "/");

    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(Tmp.c_str(), 12345, 12345), 0);
        EXPECT_EQ(TempPath(), "") << "owned by someone else";
    }
}

TEST(Directories, WindowsDirectoryIsSetUpOnFirstUse) {
    TestSupport::TSandbox Box;
    char Buffer[MAX_PATH];
    const UINT Length = GetWindowsDirectoryA(Buffer, MAX_PATH);
    ASSERT_GT(Length, 0u);
    EXPECT_EQ(std::string(Buffer, Length), Box.Root() + "/windows");
    EXPECT_TRUE(fs::is_directory(Box.Root() + "/windows/Fonts"));
}

TEST(Directories, WithoutASandboxTheUserEnvironmentIsUsed) {
    // Only the paths are resolved here; nothing is created.
    // The variables this test changes, restored afterwards.
    std::vector<std::pair<const char*, std::optional<std::string>>> Saved;
    for (const char* Name : {"TYPECASK_SYSROOT", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
        const char* Value = std::getenv(Name);
        Saved.emplace_back(Name, Value ? std::optional<std::string>(Value) : std::nullopt);
    }
    ::unsetenv("TYPECASK_SYSROOT");
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    ::setenv("XDG_DATA_HOME", "/data", 1);
    Os::ResetOsServices();
    const auto P = Os::GetSystemPaths();
    EXPECT_EQ(P.SysRoot, "");
    EXPECT_EQ(P.RegistryFile, "/cfg/typecask/registry.db");
    EXPECT_EQ(P.WindowsFolder, "/data/typecask/windows");
    EXPECT_EQ(P.UserFontsFolder, "/data/fonts");
    EXPECT_EQ(P.TempFolder.rfind("/typecask-" + std::to_string(::geteuid())),
              P.TempFolder.size() - std::string("/typecask-" + std::to_string(::geteuid())).size());
    for (const auto& [Name, Value] : Saved) {
        if (Value)
            ::setenv(Name, Value->c_str(), 1);
        else
            ::unsetenv(Name);
    }
    Os::ResetOsServices();
}

}  // namespace
