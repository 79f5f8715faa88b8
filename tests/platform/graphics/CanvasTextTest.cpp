// Text metrics and face resolution through fontconfig in generated faces of
// a sandbox, and what writing text leaves in a bitmap's pixels.
#include <gtest/gtest.h>

#include "platform/Graphics.h"
#include "platform/os/Windows.h"
#include "tests/support/Sandbox.h"

namespace {

std::uint32_t Argb(TColor C) {
    TColor R = ColorToRGB(C);
    return 0xFF000000u | (std::uint32_t(GetRValue(R)) << 16) | (std::uint32_t(GetGValue(R)) << 8) | GetBValue(R);
}

TFontData Face(const char* Name) {
    TFontData F;
    F.Name = Name;
    return F;
}

class CanvasText : public ::testing::Test {
protected:
    void SetUp() override {
        FontGen::TFontDesign Short;
        Short.Ascender = 800;
        Short.Descender = -200;
        FontGen::TFontDesign Tall;
        Tall.Ascender = 1100;
        Tall.Descender = -400;
        Box.InstallFont("Short Metrics", Short);
        Box.InstallFont("Tall Metrics", Tall);
        FlushFontFaceCache();
    }
    TestSupport::TSandbox Box;
};

TEST_F(CanvasText, HeightFollowsEachFacesMetrics) {
    // Cell height = em * (ascent + descent) / units per em (1000 / 1500 per
    // 1000), within a pixel of hinting.
    const struct {
        const char* Face;
        int Height;
        int Expected;
    } Cases[] = {
        {"Short Metrics", -20, 20}, {"Tall Metrics", -20, 30},  {"Short Metrics", 0, 11},
        {"Tall Metrics", 0, 17},    {"Tall Metrics", 30, 30},   {"Short Metrics", 24, 24},
    };
    TCanvas Canvas;  // no surface: measuring still works
    for (const auto& C : Cases) {
        Canvas.GetFont()->SetName(C.Face);
        Canvas.GetFont()->SetHeight(C.Height);
        EXPECT_NEAR(Canvas.TextHeight(C.Face), C.Expected, 1) << C.Face << " at " << C.Height;
    }
    Canvas.GetFont()->SetSize(0);
    Canvas.GetFont()->SetName("Short Metrics");
    int Short = Canvas.TextHeight("x");
    Canvas.GetFont()->SetName("Tall Metrics");
    EXPECT_GT(Canvas.TextHeight("x"), Short);
}

TEST_F(CanvasText, NamedFacesResolveToTheirOwnFiles) {
    const std::string Fonts = Box.Paths().UserFontsFolder;
    EXPECT_EQ(ResolveFontFace(Face("Tall Metrics")).FileName, Fonts + "/Tall Metrics.ttf");
    EXPECT_EQ(ResolveFontFace(Face("Tall Metrics")).Family, "Tall Metrics");
    EXPECT_EQ(ResolveFontFace(Face("Short Metrics")).FileName, Fonts + "/Short Metrics.ttf");

    // Enumeration reports a longer family under its first 31 bytes; that
    // face name selects the family it was cut from, not a fallback.
    const std::string Long = Box.InstallFont("Tall Metrics Of A Family Beyond The Limit");
    FlushFontFaceCache();
    EXPECT_EQ(ResolveFontFace(Face("Tall Metrics Of A Family Beyond")).FileName, Long);
    EXPECT_EQ(ResolveFontFace(Face("Tall Metrics Of A Family Beyond")).Family, "Tall Metrics Of A Family Beyond The Limit");
}

TEST_F(CanvasText, FaceAddedByTheProcessIsUsedNotAFallback) {
    FontGen::TFontDesign FontDesign;
    FontDesign.Ascender = 1500;
    FontDesign.Descender = -500;
    const std::string File = Box.MakeFontFile("Process Only", FontDesign);
    TCanvas Canvas;
    Canvas.GetFont()->SetName("Process Only");
    Canvas.GetFont()->SetHeight(-10);
    EXPECT_NE(ResolveFontFace(Canvas.GetFont()->GetData()).FileName, File);
    const int Before = Canvas.TextHeight("x");

    ASSERT_EQ(AddFontResourceA(File.c_str()), 1);
    EXPECT_EQ(ResolveFontFace(Canvas.GetFont()->GetData()).FileName, File);
    EXPECT_NEAR(Canvas.TextHeight("x"), 20, 1);
    EXPECT_NE(Canvas.TextHeight("x"), Before);

    ASSERT_TRUE(RemoveFontResourceA(File.c_str()));
    EXPECT_NE(ResolveFontFace(Canvas.GetFont()->GetData()).FileName, File);
}

TEST_F(CanvasText, WidthGrowsWithTheText) {
    TCanvas Canvas;
    Canvas.GetFont()->SetName("Short Metrics");
    Canvas.GetFont()->SetHeight(-20);
    EXPECT_EQ(Canvas.TextWidth(""), 0);
    EXPECT_GT(Canvas.TextWidth("HH"), Canvas.TextWidth("H"));
}

TEST_F(CanvasText, TextOutFillsTheCellAndDrawsInsideIt) {
    TBitmap Bitmap(60, 40);
    TCanvas& C = *Bitmap.GetCanvas();
    C.GetBrush()->SetColor(clWhite);
    C.FillRect(Rect(0, 0, 60, 40));
    C.GetFont()->SetName("Short Metrics");
    C.GetFont()->SetHeight(-20);
    C.GetFont()->SetColor(clBlack);
    C.GetBrush()->SetColor(clYellow);
    const int W = C.TextWidth("HI"), H = C.TextHeight("HI");
    C.TextOut(5, 4, "HI");
    EXPECT_EQ(C.GetPenPos(), Point(5 + W, 4));

    int Ink = 0;
    for (int Y = 0; Y < 40; ++Y)
        for (int X = 0; X < 60; ++X) {
            std::uint32_t P = Bitmap.GetPixel(X, Y);
            bool Inside = X >= 5 && X < 5 + W && Y >= 4 && Y < 4 + H;
            if (!Inside) ASSERT_EQ(P, Argb(clWhite)) << X << "," << Y;
            else if (P != Argb(clYellow)) ++Ink;
        }
    EXPECT_GT(Ink, 20);  // the letters, in black and grey edges

    // A clear brush leaves the background alone.
    C.GetBrush()->SetStyle(bsClear);
    C.GetBrush()->SetColor(clNone);
    C.GetBrush()->SetStyle(bsClear);
    C.GetFont()->SetColor(clRed);
    C.TextOut(5, 4, " ");
    EXPECT_EQ(Bitmap.GetPixel(6, 5), Argb(clYellow));
}

TEST(Canvas, TextWithoutAnyFontStillWorks) {
    TestSupport::TSandbox Box;  // an empty font configuration
    FlushFontFaceCache();
    EXPECT_EQ(ResolveFontFace(Face("Anything")).FileName, "");
    TBitmap Bitmap(40, 20);
    TCanvas& C = *Bitmap.GetCanvas();
    C.GetFont()->SetHeight(-12);
    EXPECT_GT(C.TextHeight("x"), 0);
    C.GetBrush()->SetStyle(bsClear);
    C.TextOut(1, 1, "Hi");
    EXPECT_GT(C.GetPenPos().X, 1);
}

TEST(Canvas, MalformedTextDoesNotSpoilTheSurface) {
    TestSupport::TSandbox Box;
    Box.InstallFont("Sandbox Sans");
    TBitmap Bitmap(10, 10);
    TCanvas& C = *Bitmap.GetCanvas();
    C.GetBrush()->SetStyle(bsClear);
    C.TextOut(0, 0, std::string("\xff\xfe\xc3", 3));
    EXPECT_GE(C.TextWidth(std::string("a\x80z", 3)), 0);
    C.GetBrush()->SetColor(clRed);
    C.FillRect(Rect(0, 0, 10, 10));
    EXPECT_EQ(Bitmap.GetPixel(9, 9), Argb(clRed));
}

}  // namespace
