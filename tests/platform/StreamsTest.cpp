#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/Streams.h"

namespace {

namespace fs = std::filesystem;

// A private folder under the build's temporary directory, removed afterwards.
class TempFolder {
public:
    TempFolder() {
#ifdef _WIN32
        // A folder no other run has: create_directory says whether it made it.
        std::random_device Random;
        do Path = fs::temp_directory_path() / ("typecask-streams-" + std::to_string(Random()));
        while (!fs::create_directory(Path));
#else
        std::string Template = (fs::temp_directory_path() / "typecask-streams-XXXXXX").string();
        Path = ::mkdtemp(Template.data());
#endif
    }
    ~TempFolder() { fs::remove_all(Path); }
    std::string operator/(const std::string& Name) const { return (fs::path(Path) / Name).string(); }
    fs::path Path;
};

std::string ReadFile(const std::string& Name) {
    std::ifstream In(Name, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), {}};
}

TEST(MemoryStream, GrowsZeroFillsGapsAndReadsBack) {
    TMemoryStream S;
    S.WriteBuffer("abc", 3);
    S.SetPosition(6);
    S.WriteBuffer("xy", 2);
    ASSERT_EQ(S.GetSize(), 8);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(S.GetMemory()), 8), std::string("abc\0\0\0xy", 8));

    S.SetPosition(1);
    char Buf[4] = {};
    EXPECT_EQ(S.Read(Buf, 4), 4);
    EXPECT_EQ(std::string(Buf, 4), std::string("bc\0\0", 4));
    S.SetPosition(7);
    EXPECT_EQ(S.Read(Buf, 4), 1) << "a read at the end delivers what is left";
    EXPECT_EQ(S.Read(Buf, 4), 0);
}

TEST(MemoryStream, ExactCountReadsAndShrinkingRaiseOrClamp) {
    TMemoryStream S;
    S.WriteBuffer("hello", 5);
    S.SetPosition(2);
    char Buf[8];
    try {
        S.ReadBuffer(Buf, 4);
        FAIL() << "a short read must raise";
    } catch (const EReadError& E) {
        EXPECT_STREQ(E.what(), "Stream read error");
    }
    S.SetSize(1);
    EXPECT_EQ(S.GetPosition(), 1) << "the position follows a shrinking size";
    EXPECT_THROW(S.SetSize(-1), EStreamError);
}

TEST(MemoryStream, CopyFromZeroCopiesTheWholeSourceFromItsStart) {
    TMemoryStream Source;
    Source.WriteBuffer("0123456789", 10);
    Source.SetPosition(7);
    TMemoryStream Dest;
    Dest.WriteBuffer("ab", 2);
    EXPECT_EQ(Dest.CopyFrom(&Source, 0), 10);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(Dest.GetMemory()), 12), "ab0123456789");

    Source.SetPosition(8);
    EXPECT_EQ(Dest.CopyFrom(&Source, 2), 2) << "a count copies from the position";
    EXPECT_THROW(Dest.CopyFrom(&Source, 1), EReadError);
}

TEST(MemoryStream, LoadFromStreamReplacesTheContent) {
    TMemoryStream Source;
    Source.WriteBuffer("new", 3);
    TMemoryStream S;
    S.WriteBuffer("old content", 11);
    S.LoadFromStream(&Source);
    EXPECT_EQ(S.GetSize(), 3);
    EXPECT_EQ(S.GetPosition(), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(S.GetMemory()), 3), "new");
}

TEST(MemoryStream, AppendsInPlaceOnlyAtTheEndAndOnlyWhatIsCommitted) {
    TMemoryStream S;
    S.WriteBuffer("ab", 2);
    std::uint8_t* Room = S.ReserveAppend(100);
    ASSERT_NE(Room, nullptr);
    std::memcpy(Room, "cdefg", 5);
    EXPECT_EQ(S.GetSize(), 2) << "reserved room is not data";
    S.CommitAppend(3);
    EXPECT_EQ(S.GetSize(), 5);
    EXPECT_EQ(S.GetPosition(), 5);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(S.GetMemory()), 5), "abcde");
    EXPECT_THROW(S.CommitAppend(1 << 30), EStreamError) << "more than the room";

    S.SetPosition(1);
    EXPECT_EQ(S.ReserveAppend(10), nullptr) << "in the middle, data would be overwritten";
}

TEST(FileStream, CreatesTruncatesAndReads) {
    TempFolder Dir;
    const auto Name = Dir / "f.bin";
    {
        TFileStream F(Name, fmCreate);
        F.WriteBuffer("a long first content", 20);
    }
    {
        TFileStream F(Name, fmCreate);
        F.WriteBuffer("short", 5);
    }
    EXPECT_EQ(ReadFile(Name), "short");
    TFileStream F(Name, fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(F.GetSize(), 5);
    char Buf[8];
    EXPECT_THROW(F.ReadBuffer(Buf, 6), EReadError);
    EXPECT_THROW(F.WriteBuffer("x", 1), EWriteError) << "a file opened for reading refuses writes";
}

TEST(FileStream, ErrorsNameTheFileAndTheReason) {
    // The reasons as the system words them.
#ifdef _WIN32
    const AnsiString NoFile = SysErrorMessage(2), NoPath = SysErrorMessage(3);  // ERROR_FILE/PATH_NOT_FOUND
#else
    const AnsiString NoFile = "No such file or directory", NoPath = NoFile;
#endif
    TempFolder Dir;
    const auto Missing = Dir / "missing.ttf";
    try {
        TFileStream F(Missing, fmOpenRead | fmShareDenyWrite);
        FAIL();
    } catch (const EFOpenError& E) {
        EXPECT_EQ(E.GetMessage(), "Cannot open file \"" + Missing + "\". " + NoFile);
    }
    const auto InMissingFolder = Dir / "no/such/folder.ttf";
    try {
        TFileStream F(InMissingFolder, fmCreate);
        FAIL();
    } catch (const EFCreateError& E) {
        EXPECT_EQ(E.GetMessage(), "Cannot create file \"" + InMissingFolder + "\". " + NoPath);
    }
    EXPECT_THROW(TFileStream(Dir.Path.string(), fmOpenRead), EFOpenError) << "a folder is not a file";
}

TEST(AtomicFileStream, TargetChangesOnlyOnCommit) {
    TempFolder Dir;
    const auto Target = Dir / "font.ttf";
    { std::ofstream(Target) << "old"; }
    {
        TAtomicFileStream F(Target);
        F.WriteBuffer("new bytes", 9);
        EXPECT_EQ(ReadFile(Target), "old") << "the target is untouched while writing";
    }
    EXPECT_EQ(ReadFile(Target), "old") << "without Commit nothing changes";
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path), fs::directory_iterator()), 1)
        << "the temporary file is removed";

    TAtomicFileStream F(Target);
    F.WriteBuffer("new bytes", 9);
    F.Commit();
    EXPECT_EQ(ReadFile(Target), "new bytes");
}

TEST(AtomicFileStream, ReplacesAPlantedSymbolicLinkInsteadOfFollowingIt) {
    TempFolder Dir;
    const auto Victim = Dir / "victim";
    { std::ofstream(Victim) << "precious"; }
    const auto Target = Dir / "font.ttf";
#ifdef _WIN32
    // Symbolic links need a privilege that ordinary users (and Wine) lack.
    std::error_code Error;
    fs::create_symlink(Victim, Target, Error);
    if (Error) GTEST_SKIP() << "no symbolic links here: " << Error.message();
#else
    fs::create_symlink(Victim, Target);
#endif

    TAtomicFileStream F(Target);
    F.WriteBuffer("font", 4);
    F.Commit();
    EXPECT_FALSE(fs::is_symlink(Target));
    EXPECT_EQ(ReadFile(Target), "font");
    EXPECT_EQ(ReadFile(Victim), "precious");
}

}  // namespace
