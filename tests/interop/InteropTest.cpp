// Round trips of form data between our streamers and Free Pascal's, byte for
// byte in both directions, and the text forms both produce.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "Typecask/compression/LZStream.h"
#include "platform/os/FontFiles.h"
#include "tests/interop/InteropComponents.h"
#include "tools/fontgen/FontGen.h"

namespace {

namespace fs = std::filesystem;

// ctest runs every test in a process of its own, in parallel: each process
// compiles its own peer, so that none runs a program another is writing.
const fs::path PeerDir = fs::path(TYPECASK_PEER_DIR) / ("run-" + std::to_string(std::random_device{}()));
const fs::path Peer = PeerDir / "FormPeer";

std::string ReadFile(const fs::path& Name) {
    std::ifstream In(Name, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), {}};
}

void WriteFile(const fs::path& Name, const std::string& Data) {
    std::ofstream Out(Name, std::ios::binary);
    Out << Data;
}

std::string Quote(const fs::path& P) {
    return "'" + P.string() + "'";
}

int RunPeer(const std::string& Command) { return std::system((Command + " 2>>" + Quote(PeerDir / "peer.log")).c_str()); }

std::string Write(TComponent* Root) {
    TMemoryStream S;
    WriteComponentToStream(&S, Root);
    return {reinterpret_cast<const char*>(S.GetMemory()), static_cast<std::size_t>(S.GetSize())};
}

std::string ToText(const std::string& Binary) {
    TMemoryStream In, Out;
    In.WriteBuffer(Binary.data(), static_cast<std::int64_t>(Binary.size()));
    In.SetPosition(0);
    ObjectBinaryToText(&In, &Out);
    return {reinterpret_cast<const char*>(Out.GetMemory()), static_cast<std::size_t>(Out.GetSize())};
}

std::string ToBinary(const std::string& Text) {
    TMemoryStream In, Out;
    In.WriteBuffer(Text.data(), static_cast<std::int64_t>(Text.size()));
    In.SetPosition(0);
    ObjectTextToBinary(&In, &Out);
    return {reinterpret_cast<const char*>(Out.GetMemory()), static_cast<std::size_t>(Out.GetSize())};
}

class Interop : public testing::Test {
protected:
    static void SetUpTestSuite() {
        if (std::system("command -v fpc >/dev/null 2>&1") != 0) return;
        fs::create_directories(PeerDir / "units");
        const std::string Compile = "fpc -O1 -FE" + Quote(PeerDir) + " -FU" + Quote(PeerDir / "units") + " " +
                                    Quote(TYPECASK_PEER_SOURCE) + " >" + Quote(PeerDir / "fpc.log") + " 2>&1";
        Built = std::system(Compile.c_str()) == 0 && fs::exists(Peer);
        Available = true;
    }

    static void TearDownTestSuite() {
        std::error_code Ec;
        if (Built) fs::remove_all(PeerDir, Ec);
    }

    void SetUp() override {
        if (!Available) GTEST_SKIP() << "fpc is not installed";
        ASSERT_TRUE(Built) << "FormPeer.pas did not compile; see " << (PeerDir / "fpc.log");
        Work = PeerDir / testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(Work);
    }

    static inline bool Available = false;
    static inline bool Built = false;
    fs::path Work;
};

constexpr int CaseCount = 4;

// Case 2 holds the nested name with UTF-8 and a quote, a false boolean whose
// default is true, a 300000-byte binary value, long and short strings, an
// enumeration, a set, an Int64 beyond 32 bits, string items, an event bound
// to a published method and a second component; case 1 an empty binary value.
TEST_F(Interop, FreePascalReadsWhatWeWriteAndWritesItBackIdentically) {
    for (int N = 0; N < CaseCount; ++N) {
        SCOPED_TRACE("case " + std::to_string(N));
        const std::string Ours = Write(MakeCase(N).get());
        WriteFile(Work / "ours.bin", Ours);
        ASSERT_EQ(RunPeer(Quote(Peer) + " reread " + Quote(Work / "ours.bin") + " " + Quote(Work / "back.bin")), 0);
        EXPECT_TRUE(ReadFile(Work / "back.bin") == Ours) << "Free Pascal's reader and writer changed our form data";
    }
}

TEST_F(Interop, WeWriteExactlyWhatFreePascalWritesAndReadItBack) {
    for (int N = 0; N < CaseCount; ++N) {
        SCOPED_TRACE("case " + std::to_string(N));
        ASSERT_EQ(RunPeer(Quote(Peer) + " write " + std::to_string(N) + " " + Quote(Work / "fpc.bin")), 0);
        const std::string Theirs = ReadFile(Work / "fpc.bin");
        auto Expected = MakeCase(N);
        EXPECT_TRUE(Write(Expected.get()) == Theirs) << "our writer differs from Free Pascal's";

        TMemoryStream In;
        In.WriteBuffer(Theirs.data(), static_cast<std::int64_t>(Theirs.size()));
        In.SetPosition(0);
        TTestRoot Root;
        ReadComponentFromStream(&In, &Root);
        ASSERT_EQ(Root.ComponentCount(), Expected->ComponentCount());
        for (int I = 0; I < Root.ComponentCount(); ++I) {
            auto* A = dynamic_cast<TTestFontHolder*>(Root.Components(I));
            auto* B = static_cast<TTestFontHolder*>(Expected->Components(I));
            ASSERT_NE(A, nullptr);
            EXPECT_EQ(A->GetName(), B->GetName());
            EXPECT_EQ(A->FPermanent, B->FPermanent);
            EXPECT_EQ(A->FFontName->FTTFontName, B->FFontName->FTTFontName);
            EXPECT_EQ(A->FCount, B->FCount);
            EXPECT_EQ(A->FBig, B->FBig);
            EXPECT_EQ(A->FKind, B->FKind);
            EXPECT_EQ(A->FOptions, B->FOptions);
            EXPECT_EQ(A->FCaption, B->FCaption);
            EXPECT_EQ(A->FItems->GetText(), B->FItems->GetText());
            EXPECT_EQ(A->GetTag(), B->GetTag());
            EXPECT_EQ(A->FOnChange.MethodName(), B->FOnChange.MethodName());
            ASSERT_EQ(A->FFontData != nullptr, B->FFontData != nullptr);
            if (A->FFontData) {
                ASSERT_EQ(A->FFontData->GetSize(), B->FFontData->GetSize());
                const auto Size = static_cast<std::size_t>(A->FFontData->GetSize());
                EXPECT_TRUE(Size == 0 || std::memcmp(A->FFontData->GetMemory(), B->FFontData->GetMemory(), Size) == 0);
            }
            if (A->FOnChange) {
                A->FOnChange(A);
                EXPECT_EQ(Root.FChanges, 1) << "the event was bound to the root's published method";
            }
        }
        EXPECT_TRUE(Write(&Root) == Theirs) << "what we read does not write back the same";
    }
}

TEST_F(Interop, TextFormsAgreeBothWays) {
    for (int N = 0; N < CaseCount; ++N) {
        SCOPED_TRACE("case " + std::to_string(N));
        const std::string Binary = Write(MakeCase(N).get());
        WriteFile(Work / "form.bin", Binary);
        ASSERT_EQ(RunPeer(Quote(Peer) + " totext " + Quote(Work / "form.bin") + " " + Quote(Work / "fpc.txt")), 0);
        const std::string TheirText = ReadFile(Work / "fpc.txt");
        const std::string OurText = ToText(Binary);
        EXPECT_EQ(OurText, TheirText);

        EXPECT_TRUE(ToBinary(TheirText) == Binary) << "our text reader differs on Free Pascal's text";
        WriteFile(Work / "ours.txt", OurText);
        ASSERT_EQ(RunPeer(Quote(Peer) + " tobinary " + Quote(Work / "ours.txt") + " " + Quote(Work / "fpc2.bin")), 0);
        // Free Pascal turns #nn above 127 into a wide string, so its binary
        // may differ where the text has such codes; its text must not.
        EXPECT_EQ(ToText(ReadFile(Work / "fpc2.bin")), OurText) << "Free Pascal's text reader differs on our text";
    }
}

// Values that the component above does not carry: all integer widths, wide
// strings, identifiers, nested lists, collections, floats and flags.
TEST_F(Interop, FreeFormTextConvertsAsFreePascalConvertsIt) {
    const std::string Text =
        "object Root1: TRoot\n"
        "  Ints = (\n    -128\n    127\n    128\n    -32768\n    32767\n    32768\n    -2147483648\n"
        "    2147483647\n    2147483648\n    -9000000000\n  )\n"
        "  Wide = 'a'#233'b'#8364\n  Control = #0'x'#127#10\n  Empty = ''\n  Ident = clWindowText\n"
        "  Flags = [a, b]\n  NoFlags = []\n  Nothing = nil\n  Yes = True\n  No = False\n"
        "  Nested = (\n    (\n      1\n      'two'\n    )\n    [x]\n  )\n"
        "  Coll = <\n    item\n      A = 1\n    end\n    item\n    end>\n  NoColl = <>\n"
        "  Real = 1.5\n  Small = -0.001\n  Bin = {\n    00FF\n  }\n"
        "  object Child: TChild\n    Sub.Prop.Deep = 3\n  end\n"
        "  inherited Inh: TChild\n  end\n  inline Inl: TChild\n  end\n  object Pos: TChild [2]\n  end\n"
        "end\n";
    WriteFile(Work / "in.txt", Text);
    ASSERT_EQ(RunPeer(Quote(Peer) + " tobinary " + Quote(Work / "in.txt") + " " + Quote(Work / "fpc.bin")), 0);
    const std::string Theirs = ReadFile(Work / "fpc.bin");
    EXPECT_TRUE(ToBinary(Text) == Theirs) << "text to binary differs from Free Pascal's";
    ASSERT_EQ(RunPeer(Quote(Peer) + " totext " + Quote(Work / "fpc.bin") + " " + Quote(Work / "fpc.txt")), 0);
    EXPECT_EQ(ToText(Theirs), ReadFile(Work / "fpc.txt"));
}

// A form that carries a subset of its font is ordinary form data: Free
// Pascal reads it and writes back the same bytes, and what it carries is
// still the subset.
TEST_F(Interop, FreePascalReadsAFormThatCarriesASubset) {
    FontGen::TFontDesign FontDesign;
    FontDesign.FamilyName = "Peer Subset Sans";
    const auto Whole = FontGen::BuildTrueTypeFont(FontDesign);
    const Os::TCodePoints Keep = {U'P', U'e', U'r'};
    const auto Subset = Os::SubsetFont(Whole.data(), Whole.size(), 0, Keep);
    auto Root = MakeCase(1);  // the component, with empty font data
    auto* Holder = static_cast<TTestFontHolder*>(Root->Components(0));
    Holder->FFontData = std::make_unique<TMemoryStream>();
    {
        TMemoryStream Raw;
        Raw.WriteBuffer(Subset.data(), static_cast<std::int64_t>(Subset.size()));
        Raw.SetPosition(0);
        TLZStream().Compress(&Raw, Holder->FFontData.get(), static_cast<std::int32_t>(Subset.size()));
    }
    const std::string Ours = Write(Root.get());
    WriteFile(Work / "ours.bin", Ours);
    ASSERT_EQ(RunPeer(Quote(Peer) + " reread " + Quote(Work / "ours.bin") + " " + Quote(Work / "back.bin")), 0);
    const std::string Back = ReadFile(Work / "back.bin");
    EXPECT_TRUE(Back == Ours) << "Free Pascal's reader and writer changed the form data";

    TMemoryStream In, Font;
    In.WriteBuffer(Back.data(), static_cast<std::int64_t>(Back.size()));
    In.SetPosition(0);
    TTestRoot Read;
    ReadComponentFromStream(&In, &Read);
    auto* Carried = dynamic_cast<TTestFontHolder*>(Read.Components(0));
    ASSERT_TRUE(Carried && Carried->FFontData);
    Carried->FFontData->SetPosition(0);
    TLZStream().DeCompress(Carried->FFontData.get(), &Font);
    const auto Info = Os::GetFontSubsetInfo(Font.GetMemory(), static_cast<std::size_t>(Font.GetSize()));
    EXPECT_TRUE(Info.IsSubset);
    EXPECT_EQ(Info.Tag, Os::SubsetTagOf(Keep));
    EXPECT_EQ(Info.GlyphCount, 4);  // with .notdef
}

}  // namespace
