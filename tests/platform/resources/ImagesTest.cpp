// Bitmaps: the package's two bitmaps, decoding of every supported kind of
// device-independent bitmap, and malformed ones.
#include <cstring>

#include "TestFiles.h"
#include "platform/os/Drawing.h"
#include "TypecaskLib/Package.h"

namespace {

struct TPixels {
    LONG Width = 0, Height = 0;
    std::vector<std::uint32_t> Data;
    std::uint32_t At(LONG X, LONG Y) const { return Data.at(static_cast<std::size_t>(Y * Width + X)); }
};

// The pixels of a bitmap object, which is deleted.
TPixels TakePixels(HANDLE Bitmap) {
    TPixels Result;
    BITMAP Info;
    EXPECT_EQ(GetObjectA(Bitmap, sizeof(Info), &Info), static_cast<int>(sizeof(Info)));
    EXPECT_EQ(Info.bmBitsPixel, 32);
    EXPECT_EQ(Info.bmWidthBytes, Info.bmWidth * 4);
    Result.Width = Info.bmWidth;
    Result.Height = Info.bmHeight;
    Result.Data.assign(static_cast<const std::uint32_t*>(Info.bmBits),
                       static_cast<const std::uint32_t*>(Info.bmBits) + Info.bmWidth * Info.bmHeight);
    EXPECT_TRUE(DeleteObject(Bitmap));
    return Result;
}

constexpr std::uint32_t Background = 0xFFC0C0C0;  // the transparent corner colour
constexpr std::uint32_t Letter = 0xFFFAF4DE;      // the face of the T

TEST(PackageBitmaps, BothBitmapsDecodeAtTheirOwnSize) {
    struct TCase {
        const char* Name;
        LONG Size;
    };
    for (const TCase& Case : {TCase{"TTYPECASK", 24}, TCase{"TTYPECASK48", 48}, TCase{"ttypecask48", 48}}) {
        SCOPED_TRACE(Case.Name);
        HANDLE Bitmap = LoadImageA(GetPackageInstance(), Case.Name, IMAGE_BITMAP, 0, 0, LR_DEFAULTSIZE);
        ASSERT_NE(Bitmap, nullptr);
        const TPixels Pixels = TakePixels(Bitmap);
        EXPECT_EQ(Pixels.Width, Case.Size);
        EXPECT_EQ(Pixels.Height, Case.Size);
        EXPECT_EQ(Pixels.At(0, Case.Size - 1), Background);
        EXPECT_EQ(Pixels.At(0, 0), Background);
        EXPECT_EQ(Pixels.At(Case.Size / 2, Case.Size * 3 / 10), Letter);  // the bar of the T
        EXPECT_EQ(Pixels.At(Case.Size / 2, Case.Size * 6 / 10), Letter);  // its stem
        // The resource holds exactly the committed bitmap file.
        const std::string File = std::string(TEST_BITMAP_DIR "/") + (Case.Size == 24 ? "TTYPECASK" : "TTYPECASK48") + ".bmp";
        const TPixels FromFile = TakePixels(LoadImageA(nullptr, File.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        EXPECT_EQ(FromFile.Data, Pixels.Data);
    }
}

TEST(PackageBitmaps, SizesOtherThanTheBitmapsOwnScaleIt) {
    const TPixels Full = TakePixels(LoadImageA(GetPackageInstance(), "TTYPECASK48", IMAGE_BITMAP, 0, 0, 0));
    const TPixels Half = TakePixels(LoadImageA(GetPackageInstance(), "TTYPECASK48", IMAGE_BITMAP, 24, 12, 0));
    ASSERT_EQ(Half.Width, 24);
    ASSERT_EQ(Half.Height, 12);
    for (LONG Y = 0; Y < 12; ++Y)
        for (LONG X = 0; X < 24; ++X) ASSERT_EQ(Half.At(X, Y), Full.At(2 * X, 4 * Y));
}

TEST(PackageBitmaps, WhatCannotBeLoadedGivesNoHandle) {
    EXPECT_EQ(LoadImageA(GetPackageInstance(), "NOSUCHBITMAP", IMAGE_BITMAP, 0, 0, 0), nullptr);
    EXPECT_EQ(LoadImageA(GetPackageInstance(), "TTYPECASK", IMAGE_ICON, 0, 0, 0), nullptr);
    EXPECT_EQ(LoadImageA(GetPackageInstance(), "TTYPECASK", IMAGE_BITMAP, -1, 0, 0), nullptr);
    EXPECT_EQ(LoadImageA(GetPackageInstance(), "DESCRIPTION", IMAGE_BITMAP, 0, 0, 0), nullptr);
    EXPECT_EQ(LoadImageA(nullptr, TEST_BITMAP_DIR "/missing.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    int NotABitmap = 0;
    EXPECT_FALSE(DeleteObject(&NotABitmap));
    EXPECT_EQ(GetObjectA(&NotABitmap, sizeof(BITMAP), nullptr), 0);
}

TEST(PackageBitmaps, BitsCopyUpToTheCountGiven) {
    HBITMAP Bitmap = LoadBitmapA(GetPackageInstance(), "TTYPECASK");
    ASSERT_NE(Bitmap, nullptr);
    std::vector<std::uint32_t> All(24 * 24 + 1, 0);
    EXPECT_EQ(GetBitmapBits(Bitmap, static_cast<LONG>(All.size() * 4), All.data()), 24 * 24 * 4);
    EXPECT_EQ(All[24 * 23], Background);
    EXPECT_EQ(All.back(), 0u);
    std::uint32_t One[2] = {0, 0};
    EXPECT_EQ(GetBitmapBits(Bitmap, 4, One), 4);
    EXPECT_EQ(One[0], All[0]);
    EXPECT_EQ(One[1], 0u);
    EXPECT_TRUE(DeleteObject(Bitmap));
    EXPECT_FALSE(DeleteObject(Bitmap));
}

// ----------------------------------------------------- bitmap files decoded

// A .bmp file: file header, info header (40 bytes) or core header (12),
// masks, palette (BGR0 or BGR), and the rows as stored (padded here).
struct TBmp {
    std::uint32_t HeaderSize = 40;
    std::int32_t Width = 0, Height = 0;
    std::uint16_t BitCount = 8;
    std::uint32_t Compression = 0;
    std::uint32_t ColoursUsed = 0;
    std::vector<std::uint32_t> Masks;
    std::vector<std::uint32_t> Palette;  // 0x00RRGGBB
    std::vector<TBytes> Rows;            // in file order

    TBytes Bytes() const {
        TBytes Info(HeaderSize, 0);
        PutDword(Info, 0, HeaderSize);
        if (HeaderSize == 12) {
            PutWord(Info, 4, static_cast<std::uint16_t>(Width));
            PutWord(Info, 6, static_cast<std::uint16_t>(Height));
            PutWord(Info, 8, 1);
            PutWord(Info, 10, BitCount);
        } else {
            PutDword(Info, 4, static_cast<std::uint32_t>(Width));
            PutDword(Info, 8, static_cast<std::uint32_t>(Height));
            PutWord(Info, 12, 1);
            PutWord(Info, 14, BitCount);
            PutDword(Info, 16, Compression);
            PutDword(Info, 32, ColoursUsed);
        }
        for (auto Mask : Masks) {
            Info.resize(Info.size() + 4);
            PutDword(Info, Info.size() - 4, Mask);
        }
        for (auto Colour : Palette) {
            Info.push_back(static_cast<std::uint8_t>(Colour));
            Info.push_back(static_cast<std::uint8_t>(Colour >> 8));
            Info.push_back(static_cast<std::uint8_t>(Colour >> 16));
            if (HeaderSize != 12) Info.push_back(0);
        }
        TBytes File;
        File.reserve(14 + Info.size() + Rows.size() * (Rows.empty() ? 0 : Rows[0].size() + 3));
        File.resize(14);
        File[0] = 'B';
        File[1] = 'M';
        PutDword(File, 10, static_cast<std::uint32_t>(14 + Info.size()));
        File.insert(File.end(), Info.begin(), Info.end());
        for (const auto& Row : Rows) {
            File.insert(File.end(), Row.begin(), Row.end());
            for (std::size_t I = Row.size(); I % 4; ++I) File.push_back(0);
        }
        PutDword(File, 2, static_cast<std::uint32_t>(File.size()));
        return File;
    }
};

class BitmapFiles : public TTempFolderTest {
protected:
    HANDLE Load(const TBmp& Bmp) {
        const std::string File = Write("test.bmp", Bmp.Bytes());
        return LoadImageA(nullptr, File.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    }
};

constexpr std::uint32_t Red = 0xFFFF0000, Green = 0xFF00FF00, Blue = 0xFF0000FF, White = 0xFFFFFFFF,
                        Black = 0xFF000000;

TEST_F(BitmapFiles, EveryBitCountDecodes) {
    struct TCase {
        const char* Name;
        TBmp Bmp;
        std::vector<std::uint32_t> Expected;  // top-down
    };
    const std::vector<TCase> Cases = {
        {"1 bit, bottom-up", {40, 3, 2, 1, 0, 0, {}, {0x000000, 0xFFFFFF}, {{0b10100000}, {0b01000000}}},
         {Black, White, Black, White, Black, White}},
        {"4 bits", {40, 3, 1, 4, 0, 3, {}, {0xFF0000, 0x00FF00, 0x0000FF}, {{0x01, 0x20}}}, {Red, Green, Blue}},
        {"8 bits, top-down", {40, 2, -2, 8, 0, 2, {}, {0xFF0000, 0x0000FF}, {{0, 1}, {1, 0}}}, {Red, Blue, Blue, Red}},
        {"8 bits, index beyond the palette", {40, 2, 1, 8, 0, 2, {}, {0xFF0000, 0x0000FF}, {{5, 1}}}, {Black, Blue}},
        {"16 bits, 5-5-5", {40, 2, 1, 16, 0, 0, {}, {}, {{0x00, 0x7C, 0x1F, 0x00}}}, {Red, Blue}},
        {"16 bits, 5-6-5 masks", {40, 2, 1, 16, 3, 0, {0xF800, 0x07E0, 0x001F}, {}, {{0x00, 0xF8, 0xE0, 0x07}}},
         {Red, Green}},
        {"24 bits", {40, 2, 1, 24, 0, 0, {}, {}, {{0xFF, 0, 0, 0, 0xFF, 0}}}, {Blue, Green}},
        {"32 bits, alpha ignored", {40, 1, 1, 32, 0, 0, {}, {}, {{0x33, 0x22, 0x11, 0x00}}}, {0xFF112233}},
        {"32 bits, masks", {40, 1, 1, 32, 3, 0, {0xFF, 0xFF00, 0xFF0000}, {}, {{0x11, 0x22, 0x33, 0x44}}},
         {0xFF112233}},
        {"core header", {12, 2, 1, 8, 0, 0, {}, std::vector<std::uint32_t>(256, 0x00FF00), {{0, 255}}}, {Green, Green}},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        HANDLE Bitmap = Load(Case.Bmp);
        ASSERT_NE(Bitmap, nullptr);
        const TPixels Pixels = TakePixels(Bitmap);
        EXPECT_EQ(Pixels.Width, Case.Bmp.Width);
        EXPECT_EQ(Pixels.Height, std::abs(Case.Bmp.Height));
        EXPECT_EQ(Pixels.Data, Case.Expected);
    }
}

TEST_F(BitmapFiles, MalformedBitmapsAreRefused) {
    const TBmp Good{40, 2, 2, 24, 0, 0, {}, {}, {{1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}}};
    HANDLE Undamaged = Load(Good);
    ASSERT_NE(Undamaged, nullptr);
    EXPECT_TRUE(DeleteObject(Undamaged));
    struct TCase {
        const char* Name;
        std::function<void(TBmp&)> Change;
        std::function<void(TBytes&)> Damage;
    };
    const std::vector<TCase> Cases = {
        {"pixels cut", nullptr, [](TBytes& B) { B.resize(B.size() - 1); }},
        {"seven bits", [](TBmp& B) { B.BitCount = 7; }, nullptr},
        {"run-length coded", [](TBmp& B) { B.BitCount = 8, B.Compression = 1; }, nullptr},
        {"no width", [](TBmp& B) { B.Width = 0; }, nullptr},
        {"no height", [](TBmp& B) { B.Height = 0; }, nullptr},
        {"huge", [](TBmp& B) { B.Width = 100000; }, nullptr},
        {"huge area", [](TBmp& B) { B.Width = 30000, B.Height = -30000; }, nullptr},
        {"unknown header", nullptr, [](TBytes& B) { PutDword(B, 14, 20); }},
        {"palette cut", [](TBmp& B) { B.BitCount = 8, B.ColoursUsed = 200; }, nullptr},
        {"not a bitmap file", nullptr, [](TBytes& B) { B[0] = 'X'; }},
        {"pixels beyond the file", nullptr, [](TBytes& B) { PutDword(B, 10, 0x7FFFFFF0); }},
        {"pixels inside the header", nullptr, [](TBytes& B) { PutDword(B, 10, 4); }},
        {"masks cut", [](TBmp& B) { B.BitCount = 32, B.Compression = 3, B.Rows.clear(); }, nullptr},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TBmp Bmp = Good;
        if (Case.Change) Case.Change(Bmp);
        TBytes Bytes = Bmp.Bytes();
        if (Case.Damage) Case.Damage(Bytes);
        const std::string File = Write("bad.bmp", Bytes);
        EXPECT_EQ(LoadImageA(nullptr, File.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    }
}

// A side of Os::MaxImageSide loads, one more does not: every bitmap loaded
// can become a TBitmap. (Windows's own loader takes larger ones, which a
// TBitmap then refuses.)
TEST_F(BitmapFiles, SidesReachTheLargestImageSideAndNoFurther) {
    for (const int Side : {Os::MaxImageSide, Os::MaxImageSide + 1})
        for (const bool Wide : {true, false}) {
            SCOPED_TRACE(std::to_string(Side) + (Wide ? " wide" : " high"));
            TBmp Bmp{40, Wide ? Side : 1, Wide ? 1 : Side, 1, 0, 2, {}, {0x000000, 0xFFFFFF}, {}};
            Bmp.Rows.assign(static_cast<std::size_t>(Bmp.Height), TBytes(static_cast<std::size_t>(Bmp.Width + 7) / 8, 0));
            HANDLE Bitmap = Load(Bmp);
            if (Side > Os::MaxImageSide) {
#ifndef _WIN32
                EXPECT_EQ(Bitmap, nullptr);
#endif
                if (Bitmap) DeleteObject(Bitmap);
                continue;
            }
            ASSERT_NE(Bitmap, nullptr);
            const TPixels Pixels = TakePixels(Bitmap);
            EXPECT_EQ(Pixels.Width, Bmp.Width);
            EXPECT_EQ(Pixels.Height, Bmp.Height);
        }
}

}  // namespace
