// The registry service against its real store, in sandboxes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/os/Windows.h"
#include "tests/support/Sandbox.h"

namespace {

const char* const FontsKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";
const char* const ShellFoldersKey = "\\.Default\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// An open key, closed at the end of the scope.
struct TKey {
    HKEY Handle = nullptr;
    ~TKey() {
        if (Handle) RegCloseKey(Handle);
    }
};

LONG Create(HKEY Root, const std::string& Path, TKey& Key, DWORD* Disposition = nullptr) {
    return RegCreateKeyExA(Root, Path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Key.Handle, Disposition);
}

LONG SetString(HKEY Key, const char* Name, const std::string& Value) {
    return RegSetValueExA(Key, Name, 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                          static_cast<DWORD>(Value.size() + 1));
}

// The string value, or "<error N>".
std::string GetString(HKEY Key, const char* Name) {
    char Buffer[1024];
    DWORD Size = sizeof Buffer;
    DWORD Type = 0;
    const LONG Code = RegQueryValueExA(Key, Name, nullptr, &Type, reinterpret_cast<BYTE*>(Buffer), &Size);
    if (Code != ERROR_SUCCESS) return "<error " + std::to_string(Code) + ">";
    EXPECT_EQ(Type, REG_SZ);
    EXPECT_EQ(Buffer[Size - 1], '\0') << "string data carries its terminating zero";
    return std::string(Buffer, Size - 1);
}

TEST(Registry, ValuesPersistAcrossReopeningTheStore) {
    TestSupport::TSandbox Box;
    {
        TKey Key;
        DWORD Disposition = 0;
        ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, "Software\\Typecask\\Test", Key, &Disposition), ERROR_SUCCESS);
        EXPECT_EQ(Disposition, REG_CREATED_NEW_KEY);
        ASSERT_EQ(SetString(Key.Handle, "Greeting", "hello"), ERROR_SUCCESS);
        const DWORD Number = 0x12345678;
        ASSERT_EQ(RegSetValueExA(Key.Handle, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&Number), 4),
                  ERROR_SUCCESS);
    }
    Os::ResetOsServices();  // a new connection, as another process would have
    EXPECT_TRUE(std::filesystem::exists(Box.Paths().RegistryFile));
    TKey Key;
    DWORD Disposition = 0;
    ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, "Software\\Typecask\\Test", Key, &Disposition), ERROR_SUCCESS);
    EXPECT_EQ(Disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(GetString(Key.Handle, "Greeting"), "hello");
    DWORD Number = 0, Type = 0, Size = sizeof Number;
    ASSERT_EQ(RegQueryValueExA(Key.Handle, "Number", nullptr, &Type, reinterpret_cast<BYTE*>(&Number), &Size),
              ERROR_SUCCESS);
    EXPECT_EQ(Type, REG_DWORD);
    EXPECT_EQ(Number, 0x12345678u);
}

TEST(Registry, KeysAndValuesIgnoreLetterCaseButKeepIt) {
    TestSupport::TSandbox Box;
    {
        TKey Key;
        ASSERT_EQ(Create(HKEY_USERS, "\\MixedCase\\ÄrgerKey", Key), ERROR_SUCCESS);
        ASSERT_EQ(SetString(Key.Handle, "ValueName", "v1"), ERROR_SUCCESS);
        ASSERT_EQ(SetString(Key.Handle, "VALUENAME", "v2"), ERROR_SUCCESS) << "the same value, overwritten";
    }
    TKey Key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, "mixedcase\\äRGERKEY", 0, KEY_READ, &Key.Handle), ERROR_SUCCESS);
    EXPECT_EQ(GetString(Key.Handle, "valuename"), "v2");
    char Name[64];
    DWORD NameSize = sizeof Name;
    ASSERT_EQ(RegEnumValueA(Key.Handle, 0, Name, &NameSize, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(Name, "ValueName") << "the first spelling is kept";
    NameSize = sizeof Name;
    EXPECT_EQ(RegEnumValueA(Key.Handle, 1, Name, &NameSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    TKey Parent;
    ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, "MIXEDCASE", 0, KEY_READ, &Parent.Handle), ERROR_SUCCESS);
    NameSize = sizeof Name;
    ASSERT_EQ(RegEnumKeyExA(Parent.Handle, 0, Name, &NameSize, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(Name, "ÄrgerKey");
    EXPECT_EQ(NameSize, std::string("ÄrgerKey").size());
    TKey Other;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "MixedCase", 0, KEY_READ, &Other.Handle), ERROR_FILE_NOT_FOUND)
        << "root keys are separate trees";
}

TEST(Registry, FollowsTheWin32BufferAndErrorConventions) {
    TestSupport::TSandbox Box;
    TKey Key;
    ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, "Software\\Conventions", Key), ERROR_SUCCESS);
    ASSERT_EQ(SetString(Key.Handle, "Text", "0123456789"), ERROR_SUCCESS);

    DWORD Size = 0, Type = 0;
    EXPECT_EQ(RegQueryValueExA(Key.Handle, "Text", nullptr, &Type, nullptr, &Size), ERROR_SUCCESS);
    EXPECT_EQ(Size, 11u) << "size query counts the zero";
    char Small[4];
    Size = sizeof Small;
    EXPECT_EQ(RegQueryValueExA(Key.Handle, "Text", nullptr, &Type, reinterpret_cast<BYTE*>(Small), &Size),
              ERROR_MORE_DATA);
    EXPECT_EQ(Size, 11u);
    EXPECT_EQ(RegQueryValueExA(Key.Handle, "Missing", nullptr, &Type, nullptr, &Size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(Key.Handle, "Missing"), ERROR_FILE_NOT_FOUND);
    const BYTE Three[3] = {1, 2, 3};
    EXPECT_EQ(RegSetValueExA(Key.Handle, "Bad", 0, REG_DWORD, Three, 3), ERROR_INVALID_PARAMETER);

    // A read-only handle refuses writes.
    TKey ReadOnly;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Conventions", 0, KEY_READ, &ReadOnly.Handle), ERROR_SUCCESS);
    EXPECT_EQ(SetString(ReadOnly.Handle, "Text", "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetString(ReadOnly.Handle, "Text"), "0123456789");

    // A key with subkeys is not deleted; without them it goes with its values.
    TKey Child;
    ASSERT_EQ(Create(Key.Handle, "Child", Child), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Conventions"), ERROR_ACCESS_DENIED);
    ASSERT_EQ(RegDeleteKeyA(Key.Handle, "Child"), ERROR_SUCCESS);
    EXPECT_EQ(SetString(Child.Handle, "Late", "x"), ERROR_KEY_DELETED) << "a handle to a deleted key";
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Conventions"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(Key.Handle, "Text"), "<error " + std::to_string(ERROR_KEY_DELETED) + ">");
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED) << "a root key stays";

    // Handles of a store that was reset are refused but can still be closed.
    TKey Stale;
    ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, "Software\\Stale", Stale), ERROR_SUCCESS);
    Os::ResetOsServices();
    EXPECT_EQ(SetString(Stale.Handle, "x", "y"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(Stale.Handle), ERROR_SUCCESS);
    Stale.Handle = nullptr;
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(&Box)), ERROR_INVALID_HANDLE);
}

TEST(Registry, EnumeratesValuesInTheOrderTheyWereFirstSet) {
    TestSupport::TSandbox Box;
    TKey Key;
    ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, "Software\\Order", Key), ERROR_SUCCESS);
    for (const char* Name : {"zeta", "alpha", "Mid"}) ASSERT_EQ(SetString(Key.Handle, Name, Name), ERROR_SUCCESS);
    ASSERT_EQ(SetString(Key.Handle, "ALPHA", "again"), ERROR_SUCCESS);
    std::vector<std::pair<std::string, std::string>> Seen;
    for (DWORD I = 0;; ++I) {
        char Name[32];
        DWORD NameSize = sizeof Name;
        char Data[32];
        DWORD DataSize = sizeof Data;
        const LONG Code = RegEnumValueA(Key.Handle, I, Name, &NameSize, nullptr, nullptr,
                                        reinterpret_cast<BYTE*>(Data), &DataSize);
        if (Code == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(Code, ERROR_SUCCESS);
        Seen.emplace_back(Name, Data);
    }
    const std::vector<std::pair<std::string, std::string>> Expected = {
        {"zeta", "zeta"}, {"alpha", "again"}, {"Mid", "Mid"}};
    EXPECT_EQ(Seen, Expected);
}

TEST(Registry, SeveralProcessesWriteAtOnceWithoutLosingAnything) {
    // On a store that exists, and on a fresh one that every writer tries to
    // create, with its schema, at the same moment.
    for (const bool Fresh : {false, true}) {
        SCOPED_TRACE(Fresh ? "fresh store" : "existing store");
        TestSupport::TSandbox Box;
        if (!Fresh) {
            TKey Key;  // the store exists before the children start
            ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, "Software\\Shared", Key), ERROR_SUCCESS);
        }
        constexpr int Children = 4;
        constexpr int Writes = 40;
        std::vector<pid_t> Pids;
        for (int C = 0; C < Children; ++C) {
            const pid_t Pid = ::fork();
            ASSERT_GE(Pid, 0);
            if (Pid == 0) {
                // The child inherits the parent's connection and must open its own.
                int Failures = 0;
                for (int I = 0; I < Writes; ++I) {
                    HKEY Key = nullptr;
                    const std::string Path = "Software\\Shared\\Child" + std::to_string(C);
                    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, Path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Key,
                                        nullptr) != ERROR_SUCCESS) {
                        ++Failures;
                        continue;
                    }
                    const std::string Name = "v" + std::to_string(I);
                    Failures += SetString(Key, Name.c_str(), std::to_string(C * 1000 + I)) != ERROR_SUCCESS;
                    RegCloseKey(Key);
                    HKEY Shared = nullptr;
                    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Shared", 0, KEY_ALL_ACCESS, &Shared);
                    Failures += SetString(Shared, "Last", std::to_string(C)) != ERROR_SUCCESS;
                    RegCloseKey(Shared);
                }
                ::_exit(Failures == 0 ? 0 : 1);
            }
            Pids.push_back(Pid);
        }
        for (const pid_t Pid : Pids) {
            int Status = 0;
            ASSERT_EQ(::waitpid(Pid, &Status, 0), Pid);
            EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << "a writer failed";
        }
        Os::ResetOsServices();
        for (int C = 0; C < Children; ++C) {
            TKey Key;
            const std::string Path = "Software\\Shared\\Child" + std::to_string(C);
            ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, Path.c_str(), 0, KEY_READ, &Key.Handle), ERROR_SUCCESS);
            DWORD Values = 0;
            ASSERT_EQ(RegQueryInfoKeyA(Key.Handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &Values,
                                       nullptr, nullptr, nullptr, nullptr),
                      ERROR_SUCCESS);
            EXPECT_EQ(Values, static_cast<DWORD>(Writes));
            EXPECT_EQ(GetString(Key.Handle, "v17"), std::to_string(C * 1000 + 17));
        }
    }
}

TEST(Registry, FontsKeyShowsInstalledTrueTypeFilesUnderStoredValues) {
    TestSupport::TSandbox Box;
    const std::string Plain = Box.InstallFont("Registry Probe");
    FontGen::TFontDesign Bold;
    Bold.Weight = 700;
    const std::string BoldFile = Box.InstallFont("Registry Probe", Bold, "RegistryProbe-Bold.ttf");
    const std::string Shadowed = Box.InstallFont("Shadowed Face");

    TKey Key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, FontsKey, 0, KEY_ALL_ACCESS, &Key.Handle), ERROR_SUCCESS)
        << "the Fonts key exists without being created";
    EXPECT_EQ(GetString(Key.Handle, "Registry Probe (TrueType)"), Plain);
    EXPECT_EQ(GetString(Key.Handle, "registry probe bold (truetype)"), BoldFile) << "named by the full name";
    EXPECT_TRUE(Os::RegIsDerivedValue(Key.Handle, "Registry Probe (TrueType)"));

    // A stored value of the same name wins and hides the derived one.
    ASSERT_EQ(SetString(Key.Handle, "Shadowed Face (TrueType)", "elsewhere.ttf"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(Key.Handle, "Stored Only (TrueType)", "stored.ttf"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(Key.Handle, "Shadowed Face (TrueType)"), "elsewhere.ttf");
    const auto Values = Os::RegListValues(Key.Handle);
    ASSERT_EQ(Values.size(), 4u);
    EXPECT_EQ(Values[0].Name, "Shadowed Face (TrueType)");
    EXPECT_FALSE(Values[0].Derived);
    EXPECT_EQ(Values[1].Name, "Stored Only (TrueType)");
    EXPECT_EQ(Values[2].Name, "Registry Probe (TrueType)");
    EXPECT_TRUE(Values[2].Derived);
    EXPECT_EQ(Values[3].Name, "Registry Probe Bold (TrueType)");

    // Derived values cannot be deleted; deleting the stored one uncovers the derived one.
    EXPECT_EQ(RegDeleteValueA(Key.Handle, "Registry Probe (TrueType)"), ERROR_ACCESS_DENIED);
    ASSERT_EQ(RegDeleteValueA(Key.Handle, "Shadowed Face (TrueType)"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(Key.Handle, "Shadowed Face (TrueType)"), Shadowed);

    // Files that are not TrueType fonts do not show.
    std::ofstream(Box.Paths().UserFontsFolder + "/notes.ttf") << "no font";
    Os::RefreshFontConfiguration();
    EXPECT_EQ(Os::RegListValues(Key.Handle).size(), 4u);
}

TEST(Registry, FontsKeyNamesCollectionsByTheFullNamesWindowsReads) {
    TestSupport::TSandbox Box;
    // The second face also carries a compatible full name (a record that
    // only Macintosh systems read) naming the first: the value still names
    // it by its own full name.
    FontGen::TFontDesign Hei, Mono;
    Hei.FamilyName = "Hei Probe";
    Mono.FamilyName = "Hei Probe Mono";
    Mono.MoreNames = {{18, "Hei Probe"}};
    const std::string File = Box.Paths().UserFontsFolder + "/hei.ttc";
    std::filesystem::create_directories(Box.Paths().UserFontsFolder);
    FontGen::WriteTrueTypeCollection({Hei, Mono}, File);
    Os::RefreshFontConfiguration();

    TKey Key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, FontsKey, 0, KEY_READ, &Key.Handle), ERROR_SUCCESS);
    const auto Values = Os::RegListValues(Key.Handle);
    ASSERT_EQ(Values.size(), 1u);
    EXPECT_EQ(Values[0].Name, "Hei Probe & Hei Probe Mono (TrueType)");
    EXPECT_EQ(GetString(Key.Handle, Values[0].Name.c_str()), File);
}

TEST(Registry, ShellFoldersNameTheUserFontFolderUnlessStored) {
    TestSupport::TSandbox Box;
    TKey Key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, ShellFoldersKey, 0, KEY_ALL_ACCESS, &Key.Handle), ERROR_SUCCESS);
    EXPECT_EQ(GetString(Key.Handle, "Fonts"), Box.Root() + "/fonts");
    EXPECT_TRUE(std::filesystem::is_directory(Box.Root() + "/fonts"));
    ASSERT_EQ(SetString(Key.Handle, "Fonts", "/somewhere/else"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(Key.Handle, "fonts"), "/somewhere/else");
    EXPECT_FALSE(Os::RegIsDerivedValue(Key.Handle, "Fonts"));
    TKey Other;
    EXPECT_EQ(RegOpenKeyExA(HKEY_USERS, ".Default\\Software\\Nothing", 0, KEY_READ, &Other.Handle),
              ERROR_FILE_NOT_FOUND);
}

TEST(Registry, ReportsABrokenStoreInsteadOfAnEmptyRegistry) {
    // A file that is no store at all, and a real store cut short by one byte
    // (which still opens, and would then answer some queries wrongly).
    for (const bool CutShort : {false, true}) {
        SCOPED_TRACE(CutShort ? "cut short by one byte" : "not a database");
        TestSupport::TSandbox Box;
        const std::string Db = Box.Paths().RegistryFile;
        if (CutShort) {
            {
                TKey Key;
                ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, "Software\\Damaged", Key), ERROR_SUCCESS);
                for (int I = 0; I < 200; ++I) {
                    const std::string Name = "v" + std::to_string(I);
                    ASSERT_EQ(SetString(Key.Handle, Name.c_str(), std::string(40, 'x')), ERROR_SUCCESS);
                }
            }
            Os::ResetOsServices();  // closing the last connection checkpoints the journal into the file
            std::filesystem::resize_file(Db, std::filesystem::file_size(Db) - 1);
        } else {
            std::ofstream(Db) << std::string(4096, 'x');
        }
        TKey Key;
        const LONG Code = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &Key.Handle);
        EXPECT_EQ(Code, ERROR_BADDB);
        EXPECT_NE(Os::RegErrorText(Code).find(CutShort ? "damaged" : "not a database"), std::string::npos)
            << Os::RegErrorText(Code);
    }
}

TEST(Registry, AStoreThatCannotBeWrittenCanStillBeRead) {
    TestSupport::TSandbox Box;
    {
        TKey Key;
        ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, "Software\\Fixed", Key), ERROR_SUCCESS);
        ASSERT_EQ(SetString(Key.Handle, "Name", "value"), ERROR_SUCCESS);
    }
    Os::ResetOsServices();
    const std::string Db = Box.Paths().RegistryFile;
    std::filesystem::permissions(Db, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
    // A child reads it from a folder it may not write either, as another
    // user when this is root (who may write anything).
    const pid_t Pid = ::fork();
    ASSERT_GE(Pid, 0);
    if (Pid == 0) {
        if (::chmod(Box.Root().c_str(), 0555) != 0 || (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)))
            ::_exit(9);
        Os::ResetOsServices();
        HKEY Key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Fixed", 0, KEY_ALL_ACCESS, &Key) != ERROR_SUCCESS) ::_exit(1);
        char Value[16] = {};
        DWORD Size = sizeof Value;
        if (RegQueryValueExA(Key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(Value), &Size) != ERROR_SUCCESS ||
            std::string(Value) != "value")
            ::_exit(2);
        const LONG Code = SetString(Key, "Other", "x");
        ::_exit(Code == ERROR_CANTWRITE && Os::RegErrorText(Code).find("readonly") != std::string::npos ? 0 : 3);
    }
    int Status = 0;
    ASSERT_EQ(::waitpid(Pid, &Status, 0), Pid);
    EXPECT_TRUE(WIFEXITED(Status));
    EXPECT_EQ(WEXITSTATUS(Status), 0) << "1: the key did not open, 2: the value was not read, 3: the write was not "
                                         "refused as read-only, 9: no other user";
    std::filesystem::permissions(Box.Root(), std::filesystem::perms::owner_all);
}

TEST(Registry, RootKeyNamesReadBothWays) {
    EXPECT_EQ(Os::RegRootKeyFromName("hklm"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(Os::RegRootKeyFromName("HKEY_USERS"), HKEY_USERS);
    EXPECT_EQ(Os::RegRootKeyFromName("HKCU"), HKEY_CURRENT_USER);
    EXPECT_EQ(Os::RegRootKeyFromName("HKXX"), nullptr);
    EXPECT_EQ(Os::RegRootKeyName(HKEY_LOCAL_MACHINE), "HKEY_LOCAL_MACHINE");
}

}  // namespace
