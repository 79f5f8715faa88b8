// A font's embedding licence read from its bytes: generated fonts of every
// permission, collections, and real fonts checked against FreeType's
// reading of the same files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#ifndef _WIN32
#include <ft2build.h>
#include FT_FREETYPE_H
#endif

#include "platform/os/FontFiles.h"
#include "tests/support/Sandbox.h"

namespace {

using Os::TEmbeddingPermission;

std::vector<std::uint8_t> Font(std::uint16_t FsType, int Os2Version = 4) {
    FontGen::TFontDesign FontDesign;
    FontDesign.FamilyName = "Licence Sans";
    FontDesign.FsType = FsType;
    FontDesign.Os2Version = Os2Version;
    return FontGen::BuildTrueTypeFont(FontDesign);
}

Os::TFontEmbedding Of(const std::vector<std::uint8_t>& Bytes) { return Os::GetFontEmbedding(Bytes.data(), Bytes.size()); }

#ifndef _WIN32
// The fsType flags of each face as FreeType reads them.
std::vector<FT_UShort> FreeTypeFlags(const std::string& Path) {
    std::vector<FT_UShort> Flags;
    FT_Library Library = nullptr;
    if (FT_Init_FreeType(&Library) != 0) return Flags;
    for (FT_Long Index = 0, Count = 1; Index < Count; ++Index) {
        FT_Face Face = nullptr;
        if (FT_New_Face(Library, Path.c_str(), Index, &Face) != 0) break;
        Count = Face->num_faces;
        Flags.push_back(FT_Get_FSType_Flags(Face));
        FT_Done_Face(Face);
    }
    FT_Done_FreeType(Library);
    return Flags;
}
#endif

TEST(FontEmbedding, EachPermissionAndTheLeastRestrictiveOfSeveral) {
    const struct {
        std::uint16_t FsType;
        int Os2Version;
        TEmbeddingPermission Permission;
        bool NoSubsetting;
    } Cases[] = {
        {0x0000, 4, TEmbeddingPermission::Installable, false},
        {0x0001, 4, TEmbeddingPermission::Installable, false},  // the reserved bit means nothing
        {0x0002, 4, TEmbeddingPermission::Restricted, false},
        {0x0004, 4, TEmbeddingPermission::PreviewAndPrint, false},
        {0x0008, 4, TEmbeddingPermission::Editable, false},
        {0x000C, 1, TEmbeddingPermission::Editable, false},
        {0x0006, 2, TEmbeddingPermission::PreviewAndPrint, false},
        {0x0108, 4, TEmbeddingPermission::Editable, true},
        {0x0100, 4, TEmbeddingPermission::Installable, true},
        {0x0200, 4, TEmbeddingPermission::BitmapOnly, false},
        {0x0208, 4, TEmbeddingPermission::BitmapOnly, false},
        {0x0202, 4, TEmbeddingPermission::Restricted, false},
    };
    TestSupport::TSandbox Box;
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.FsType);
        FontGen::TFontDesign FontDesign;
        FontDesign.FsType = C.FsType;
        FontDesign.Os2Version = C.Os2Version;
        const std::string File = Box.MakeFontFile("Licence Sans", FontDesign);
        for (const auto& E : {Of(Font(C.FsType, C.Os2Version)), Os::GetFontFileEmbedding(File)}) {
            EXPECT_EQ(E.Permission, C.Permission);
            EXPECT_EQ(E.NoSubsetting, C.NoSubsetting);
        }
#ifndef _WIN32
        EXPECT_EQ(FreeTypeFlags(File), std::vector<FT_UShort>{C.FsType}) << "the file states what was asked";
#endif
    }
}

TEST(FontEmbedding, CollectionsFaceWithoutOs2TableAndNoFont) {
    TestSupport::TSandbox Box;
    FontGen::TFontDesign Open, Preview, Restricted;
    Open.FamilyName = "Open Face";
    Preview.FamilyName = "Preview Face";
    Preview.FsType = 0x0104;
    Restricted.FamilyName = "Restricted Face";
    Restricted.FsType = 0x0002;
    const std::string Pair = Box / "pair.ttc", Three = Box / "three.ttc";
    FontGen::WriteTrueTypeCollection({Open, Preview}, Pair);
    FontGen::WriteTrueTypeCollection({Preview, Restricted, Open}, Three);
    EXPECT_EQ(Os::GetFontFileEmbedding(Pair).Permission, TEmbeddingPermission::PreviewAndPrint);
    EXPECT_TRUE(Os::GetFontFileEmbedding(Pair).NoSubsetting) << "any face forbids subsetting the file";
    EXPECT_EQ(Os::GetFontFileEmbedding(Three).Permission, TEmbeddingPermission::Restricted);

    // A Restricted font whose table directory names no OS/2 table states
    // no licence.
    auto Bytes = Font(0x0002);
    const auto Tag = std::search(Bytes.begin(), Bytes.begin() + 12 + 16 * 16, std::begin("OS/2"), std::end("OS/2") - 1);
    ASSERT_NE(Tag, Bytes.begin() + 12 + 16 * 16);
    *Tag = 'X';
    EXPECT_EQ(Of(Bytes).Permission, TEmbeddingPermission::Installable);

    const std::vector<std::uint8_t> NoFont(64, 0x5A);
    EXPECT_EQ(Of(NoFont).Permission, TEmbeddingPermission::Installable);
    EXPECT_EQ(Os::GetFontFileEmbedding(Box / "missing.ttf").Permission, TEmbeddingPermission::Installable);
}

// Fonts of the system as an independent source: WenQuanYi Micro Hei
// (Editable) and DejaVu Math TeX Gyre (Preview & Print and Editable set:
// Editable), and an Installable one.
TEST(FontEmbedding, RealFonts) {
    const struct {
        const char* Path;
        TEmbeddingPermission Permission;
        unsigned AllFlags;  // the flags of every face, as FreeType reads them
    } Cases[] = {
        {"/usr/share/fonts/truetype/wqy/wqy-microhei.ttc", TEmbeddingPermission::Editable, 0x0008},
        {"/usr/share/fonts/truetype/dejavu/DejaVuMathTeXGyre.ttf", TEmbeddingPermission::Editable, 0x000C},
        {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", TEmbeddingPermission::Installable, 0x0000},
    };
    int Found = 0;
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Path);
#ifdef _WIN32
        const std::string Path = std::string("Z:") + C.Path;  // the host's files, through Wine's drive for "/"
#else
        const std::string Path = C.Path;
#endif
        if (!std::filesystem::exists(Path)) continue;
        ++Found;
        EXPECT_EQ(Os::GetFontFileEmbedding(Path).Permission, C.Permission);
#ifndef _WIN32
        for (const FT_UShort Flags : FreeTypeFlags(Path)) EXPECT_EQ(Flags, C.AllFlags);
#endif
    }
    if (Found == 0) GTEST_SKIP() << "none of the fonts is installed (scripts/install-deps installs them)";
}

}  // namespace
