// Colours and font sizes, and what canvas operations other than text leave
// in a bitmap's pixels (text: CanvasTextTest.cpp).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Graphics.h"
#include "platform/os/Drawing.h"
#include "platform/os/Windows.h"
#include "platform/os/WinResources.h"

namespace {

std::uint32_t Argb(TColor C) {
    TColor R = ColorToRGB(C);
    return 0xFF000000u | (std::uint32_t(GetRValue(R)) << 16) | (std::uint32_t(GetGValue(R)) << 8) | GetBValue(R);
}

TEST(Colors, SystemColoursResolveToTheLightTheme) {
    const struct {
        TColor Color;
        std::int32_t Rgb;
    } Cases[] = {
        {clWindow, clWhite},
        {clWindowText, clBlack},
        {clHighlight, RGB(0, 120, 215)},
        {clHighlightText, clWhite},
        {clBtnFace, RGB(240, 240, 240)},
        {clRed, 0x0000FF},
        {RGB(1, 2, 3), 0x030201},
        {clNone, clBlack},
        {static_cast<TColor>(0x80000000u | 200), clBlack},  // no such element
    };
    for (const auto& C : Cases) EXPECT_EQ(ColorToRGB(C.Color), C.Rgb) << std::hex << C.Color;
    // The older system-colour base (0x80000000) resolves the same way.
    EXPECT_EQ(ColorToRGB(static_cast<TColor>(0x80000000u | 13)), ColorToRGB(clHighlight));
}

TEST(Fonts, SizeAndHeightConvertAt96PixelsPerInch) {
    const struct {
        int Size;
        int Height;
    } Cases[] = {{8, -11}, {9, -12}, {10, -13}, {12, -16}, {0, 0}, {-10, 13}};
    for (const auto& C : Cases) {
        TFont F;
        F.SetSize(C.Size);
        EXPECT_EQ(F.GetHeight(), C.Height) << "size " << C.Size;
        F.SetHeight(C.Height);
        EXPECT_EQ(F.GetSize(), C.Size) << "height " << C.Height;
    }
}

TEST(Fonts, ChangesAreReported) {
    TFont F;
    int Calls = 0;
    F.OnChange = [&](TFont*) { ++Calls; };
    F.SetName("X");
    F.SetName("X");  // no change
    F.SetStyle({fsBold});
    F.SetColor(clRed);
    F.SetSize(12);
    EXPECT_EQ(Calls, 4);
    EXPECT_TRUE(F.GetStyle().Contains(fsBold));
    EXPECT_FALSE(F.GetStyle().Contains(fsItalic));
}

TEST(Fonts, PublishedAsFormDataStoresThem) {
    TClass Class = TFont::StaticClass();
    std::vector<AnsiString> Names;
    for (const TPropInfo* P : Class->Properties()) Names.push_back(P->Name);
    EXPECT_EQ(Names, (std::vector<AnsiString>{"Charset", "Color", "Height", "Name", "Size", "Style"}));

    TFont F;
    Class->FindProperty("Name")->Set(&F, AnsiString("Default"));
    Class->FindProperty("Height")->Set(&F, std::int64_t(-13));
    Class->FindProperty("Style")->Set(&F, std::int64_t(1));  // [fsBold]
    Class->FindProperty("Color")->Set(&F, std::int64_t(clWindowText));
    EXPECT_EQ(F.GetHeight(), -13);
    EXPECT_EQ(F.GetSize(), 10);
    EXPECT_TRUE(F.GetStyle().Contains(fsBold));
    EXPECT_EQ(F.GetColor(), clWindowText);
    EXPECT_FALSE(Class->FindProperty("Size")->IsStored(&F));

    const TTypeInfo* Color = Class->FindProperty("Color")->Type;
    EXPECT_EQ(Color->Name, "TColor");
    bool Found = false;
    for (const auto& [Ident, Value] : Color->IntIdents()) Found |= Ident == "clWindowText" && Value == clWindowText;
    EXPECT_TRUE(Found);
    EXPECT_EQ(Class->FindProperty("Style")->Type->Names(),
              (std::vector<AnsiString>{"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}));

    TFont Copy;
    Copy.Assign(&F);
    EXPECT_EQ(Copy.GetData(), F.GetData());
    TPersistent Other;
    EXPECT_THROW(Copy.Assign(&Other), EConvertError);
}

TEST(Canvas, FillRectCoversExactlyTheRectangle) {
    TBitmap Bitmap(20, 10);
    TCanvas& C = *Bitmap.GetCanvas();
    C.GetBrush()->SetColor(clWhite);
    C.FillRect(Rect(0, 0, 20, 10));
    C.GetBrush()->SetColor(clBlue);
    C.FillRect(Rect(2, 3, 7, 8));
    const struct {
        int X, Y;
        TColor Color;
    } Cases[] = {{2, 3, clBlue}, {6, 7, clBlue}, {4, 5, clBlue}, {7, 7, clWhite},
                 {6, 8, clWhite}, {1, 3, clWhite}, {2, 2, clWhite}, {19, 9, clWhite}};
    for (const auto& P : Cases) EXPECT_EQ(Bitmap.GetPixel(P.X, P.Y), Argb(P.Color)) << P.X << "," << P.Y;
}

TEST(Canvas, LinesAndRectanglesUseThePenAndBrush) {
    TBitmap Bitmap(20, 20);
    TCanvas& C = *Bitmap.GetCanvas();
    C.GetBrush()->SetColor(clWhite);
    C.FillRect(Rect(0, 0, 20, 20));
    C.GetPen()->SetColor(clRed);
    C.MoveTo(2, 1);
    C.LineTo(10, 1);  // (10, 1) itself is not drawn
    C.GetBrush()->SetColor(clLime);
    C.Rectangle(4, 6, 12, 14);
    const struct {
        int X, Y;
        TColor Color;
    } Cases[] = {{2, 1, clRed}, {9, 1, clRed},   {10, 1, clWhite}, {2, 0, clWhite}, {4, 6, clRed},
                 {11, 13, clRed}, {5, 7, clLime}, {10, 12, clLime}, {12, 14, clWhite}};
    for (const auto& P : Cases) EXPECT_EQ(Bitmap.GetPixel(P.X, P.Y), Argb(P.Color)) << P.X << "," << P.Y;
}

TEST(Canvas, DrawingNeedsASurfaceAndClipsToIt) {
    TCanvas Unbound;
    EXPECT_THROW(Unbound.FillRect(Rect(0, 0, 1, 1)), EInvalidGraphicOperation);
    EXPECT_THROW(Unbound.TextOut(0, 0, "x"), EInvalidGraphicOperation);
    EXPECT_EQ(Unbound.GetClipRect(), TRect{});

    TBitmap Bitmap(8, 6);
    TCanvas& C = *Bitmap.GetCanvas();
    EXPECT_EQ(C.GetClipRect(), Rect(0, 0, 8, 6));
    C.IntersectClipRect(Rect(2, 2, 4, 4));
    EXPECT_EQ(C.GetClipRect(), Rect(2, 2, 4, 4));
    C.GetBrush()->SetColor(clBlack);
    C.FillRect(Rect(0, 0, 8, 6));
    EXPECT_EQ(Bitmap.GetPixel(3, 3), Argb(clBlack));
    EXPECT_EQ(Bitmap.GetPixel(1, 1), 0u);  // untouched: transparent
}

#ifdef _WIN32
// The font mapper's faces differ from machine to machine; whatever face it
// picks, text fills its cell with the brush, draws its letters inside it and
// nothing outside it (Linux: CanvasTextTest.cpp, with generated faces).
TEST(Canvas, TextFillsItsCellAndDrawsInsideIt) {
    TBitmap Bitmap(80, 40);
    TCanvas& C = *Bitmap.GetCanvas();
    C.GetBrush()->SetColor(clWhite);
    C.FillRect(Rect(0, 0, 80, 40));
    C.GetFont()->SetHeight(-20);
    C.GetFont()->SetColor(clBlack);
    C.GetBrush()->SetColor(clYellow);
    const int W = C.TextWidth("HI"), H = C.TextHeight("HI");
    ASSERT_GT(W, 0);
    EXPECT_GE(H, 20);
    EXPECT_GT(C.TextWidth("HIH"), W);
    C.TextOut(5, 4, "HI");
    EXPECT_EQ(C.GetPenPos(), Point(5 + W, 4));
    int Ink = 0;
    for (int Y = 0; Y < 40; ++Y)
        for (int X = 0; X < 80; ++X) {
            const std::uint32_t P = Bitmap.GetPixel(X, Y);
            if (!(X >= 5 && X < 5 + W && Y >= 4 && Y < 4 + H)) ASSERT_EQ(P, Argb(clWhite)) << X << "," << Y;
            else if (P != Argb(clYellow)) ++Ink;
        }
    EXPECT_GT(Ink, 20);
}
#endif

TEST(Bitmaps, SidesReachTheLargestImageSideAndNoFurther) {
    for (const int Side : {Os::MaxImageSide, Os::MaxImageSide + 1}) {
        SCOPED_TRACE(Side);
        if (Side > Os::MaxImageSide) {
            EXPECT_THROW(TBitmap(Side, 1), EInvalidGraphic);
            EXPECT_THROW(TBitmap(1, Side), EInvalidGraphic);
            continue;
        }
        EXPECT_EQ(TBitmap(Side, 1).GetWidth(), Side);
        EXPECT_EQ(TBitmap(1, Side).GetHeight(), Side);
    }
}

TEST(Bitmaps, DrawBlendsAndPngKeepsThePixels) {
    TBitmap Source(4, 4);
    Source.GetCanvas()->GetBrush()->SetColor(clGreen);
    Source.GetCanvas()->FillRect(Rect(0, 0, 2, 4));  // the right half stays transparent
    TBitmap Target(10, 10);
    Target.GetCanvas()->GetBrush()->SetColor(clWhite);
    Target.GetCanvas()->FillRect(Rect(0, 0, 10, 10));
    Target.GetCanvas()->Draw(3, 3, &Source);
    EXPECT_EQ(Target.GetPixel(3, 3), Argb(clGreen));
    EXPECT_EQ(Target.GetPixel(5, 3), Argb(clWhite));
    EXPECT_EQ(Target.GetPixel(2, 3), Argb(clWhite));

    const std::string File = (std::filesystem::temp_directory_path() / "typecask-gfx-roundtrip.png").string();
    Target.SaveToPngFile(File);
    TBitmap Loaded;
    Loaded.LoadFromPngFile(File);
    std::filesystem::remove(File);
    ASSERT_EQ(Loaded.GetWidth(), 10);
    ASSERT_EQ(Loaded.GetHeight(), 10);
    for (int Y = 0; Y < 10; ++Y)
        for (int X = 0; X < 10; ++X) ASSERT_EQ(Loaded.GetPixel(X, Y), Target.GetPixel(X, Y));
    EXPECT_THROW(Loaded.LoadFromPngFile(File), EInvalidGraphic);
    EXPECT_EQ(Loaded.GetWidth(), 10);  // a failed load keeps the picture
}

// Every pixel of the bottom-left pixel's colour stays unpainted, wherever it
// lies; the others are drawn, by Draw and StretchDraw alike.
TEST(Bitmaps, TransparentOnesLeaveTheirBottomLeftColourUnpainted) {
    TBitmap Source(4, 4);
    Source.GetCanvas()->GetBrush()->SetColor(clSilver);
    Source.GetCanvas()->FillRect(Rect(0, 0, 4, 4));
    Source.GetCanvas()->GetBrush()->SetColor(clNavy);
    Source.GetCanvas()->FillRect(Rect(1, 0, 3, 2));
    Source.SetTransparent(true);
    EXPECT_EQ(Source.GetTransparentColor(), Argb(clSilver));
    for (bool Stretched : {false, true}) {
        SCOPED_TRACE(Stretched ? "StretchDraw" : "Draw");
        TBitmap Target(10, 10);
        Target.GetCanvas()->GetBrush()->SetColor(clWhite);
        Target.GetCanvas()->FillRect(Rect(0, 0, 10, 10));
        if (Stretched) Target.GetCanvas()->StretchDraw(Rect(2, 2, 6, 6), &Source);
        else Target.GetCanvas()->Draw(2, 2, &Source);
        EXPECT_EQ(Target.GetPixel(3, 2), Argb(clNavy));
        for (const TPoint P : {Point(2, 2), Point(5, 2), Point(2, 5), Point(4, 5)})
            EXPECT_EQ(Target.GetPixel(P.X, P.Y), Argb(clWhite)) << P.X << "," << P.Y;
    }
    Source.SetTransparent(false);
    TBitmap Target(4, 4);
    Target.GetCanvas()->Draw(0, 0, &Source);
    EXPECT_EQ(Target.GetPixel(0, 3), Argb(clSilver));
}

// A 3 x 2 bottom-up 24-bit .bmp: red, green, blue / white, black, grey.
std::string WriteBmp() {
    const std::string File = (std::filesystem::temp_directory_path() / "typecask-gfx-handle.bmp").string();
    const unsigned char Rows[2][12] = {{255, 255, 255, 0, 0, 0, 128, 128, 128, 0, 0, 0},
                                       {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0}};
    auto U32 = [](std::ofstream& O, std::uint32_t V) { for (int I = 0; I < 4; ++I) O.put(char(V >> (8 * I))); };
    auto U16 = [](std::ofstream& O, std::uint16_t V) { O.put(char(V)); O.put(char(V >> 8)); };
    std::ofstream O(File, std::ios::binary);
    O.write("BM", 2);
    U32(O, 14 + 40 + 24);
    U32(O, 0);
    U32(O, 14 + 40);
    U32(O, 40);
    U32(O, 3);
    U32(O, 2);
    U16(O, 1);
    U16(O, 24);
    for (int I = 0; I < 6; ++I) U32(O, 0);
    for (const auto& Row : Rows) O.write(reinterpret_cast<const char*>(Row), 12);
    return File;
}

TEST(Bitmaps, TakesAGdiBitmapHandleOver) {
    const std::string File = WriteBmp();
    HBITMAP Handle = static_cast<HBITMAP>(LoadImageA(nullptr, File.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    std::filesystem::remove(File);
    ASSERT_NE(Handle, nullptr);
    {
        TPicture Picture;
        Picture.GetBitmap()->SetHandle(Handle);
        EXPECT_EQ(Picture.GetBitmap()->GetHandle(), Handle);
        EXPECT_EQ(Picture.GetWidth(), 3);
        EXPECT_EQ(Picture.GetHeight(), 2);
        const TBitmap& B = *Picture.Graphic();
        EXPECT_EQ(B.GetPixel(0, 0), 0xFFFF0000u);
        EXPECT_EQ(B.GetPixel(1, 0), 0xFF00FF00u);
        EXPECT_EQ(B.GetPixel(2, 0), 0xFF0000FFu);
        EXPECT_EQ(B.GetPixel(2, 1), 0xFF808080u);
    }
    // The picture released the handle with itself.
    EXPECT_FALSE(DeleteObject(Handle));

    TBitmap B;
    EXPECT_THROW(B.SetHandle(reinterpret_cast<HBITMAP>(&B)), EInvalidGraphic);
    EXPECT_TRUE(B.Empty());
}

}  // namespace
