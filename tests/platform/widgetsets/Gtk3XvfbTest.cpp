// Real windows of the gtk3 widgetset on an X server: a virtual one (Xvfb)
// started for the test when no display is set. xdotool plays the user:
// clicks rows, presses keys and closes the window, while the test's thread
// runs the modal loop.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <optional>
#include <regex>
#include <thread>

#include "platform/widgetsets/WidgetSet.h"
#include "tests/support/XServer.h"

namespace {

using namespace std::chrono_literals;

using TestSupport::Shell;

const auto* const Server = ::testing::AddGlobalTestEnvironment(new TestSupport::TXServer({"Sandbox Sans"}, 90));

class Gtk3Window : public ::testing::Test {
protected:
    void SetUp() override {
        const char* Display = std::getenv("DISPLAY");
        if (!Display || !*Display) GTEST_SKIP() << "no X server (Xvfb is not installed)";
        if (!TestSupport::HaveTool("xdotool")) GTEST_SKIP() << "xdotool is not installed";
        Set = &SelectWidgetSet("gtk3");
        TWindowProps W;
        W.Caption = Title;
        W.ClientWidth = 242;
        W.ClientHeight = 221;
        Window = Set->CreateWindow(W, {});
        TControlProps L;
        L.Kind = TWidgetKind::ListBox;
        L.Bounds = Bounds(1, 20, 240, 149);
        L.Color = clWindow;
        for (int I = 0; I < 20; ++I) L.Items.push_back("Row " + std::to_string(I));
        L.Style = TListBoxStyle::OwnerDrawVariable;
        L.TabOrder = 0;
        TControlEvents LE;
        LE.OnMeasureItem = [](int I) { return I % 2 ? 24 : 16; };
        LE.OnSelect = [this](int I) { Log.push_back("select " + std::to_string(I)); };
        LE.OnDblClick = [this](int I) {
            Log.push_back("dblclick " + std::to_string(I));
            Set->EndModal(Window, mrOk);
        };
        LE.OnDrawItem = [this](TCanvas& C, int I, const TRect& R, TOwnerDrawState) {
            ++Draws;
            C.FillRect(R);
            C.TextOut(R.Left + 1, R.Top + 1, "Row " + std::to_string(I));
        };
        List = Set->CreateControl(Window, L, LE);
        AddButton("OK", 50, 1, true, false, mrOk);
        AddButton("Cancel", 122, 2, false, true, mrCancel);
        TControlProps T;
        T.Kind = TWidgetKind::Label;
        T.Caption = "Pick a row of this list; the text wraps at the label's width and never widens the window";
        T.WordWrap = true;
        T.Bounds = Bounds(3, 2, 236, 16);
        Set->CreateControl(Window, T, {});
    }

    void TearDown() override {
        if (Set) SelectWidgetSet("headless");  // destroys the GTK windows
    }

    void AddButton(const char* Caption, int Left, int Tab, bool Default, bool Cancel, TModalResult Result) {
        TControlProps B;
        B.Kind = TWidgetKind::Button;
        B.Caption = Caption;
        B.Bounds = Bounds(Left, 195, 70, 24);
        B.TabOrder = Tab;
        B.Default = Default;
        B.Cancel = Cancel;
        TControlEvents E;
        E.OnClick = [this, Caption, Result] {
            Log.push_back(std::string("click ") + Caption);
            if (!ShotFile.empty()) Set->SaveScreenshot(Window, ShotFile);
            Set->EndModal(Window, Result);
        };
        Set->CreateControl(Window, B, E);
    }

    // Runs Play (xdotool commands against the window id) on another thread
    // while the modal loop runs here.
    TModalResult ShowWith(std::function<void(const std::string& Id)> Play) {
        auto User = std::async(std::launch::async, [&] {
            std::string Id;
            for (int I = 0; I < 200 && Id.empty(); ++I) {
                std::string Found = Shell("xdotool search --onlyvisible --name '^" + Title + "$' 2>/dev/null");
                Id = Found.substr(0, Found.find('\n'));
                if (Id.empty()) std::this_thread::sleep_for(50ms);
            }
            if (Id.empty()) return;
            Geometry = Shell("xdotool getwindowgeometry " + Id);
            Shell("xdotool windowfocus --sync " + Id + " 2>/dev/null");
            Play(Id);
        });
        TModalResult Result = Set->ShowModal(Window);
        User.get();
        return Result;
    }

    static void Click(const std::string& Id, int X, int Y, int Repeat = 1) {
        Shell("xdotool mousemove --window " + Id + " " + std::to_string(X) + " " + std::to_string(Y) +
            " click --repeat " + std::to_string(Repeat) + " --delay 80 1");
    }
    static void Key(const std::string& Key) {
        std::this_thread::sleep_for(150ms);
        Shell("xdotool key " + Key);
    }

    const std::string Title = "Typecask Xvfb Test";
    TWidgetSet* Set = nullptr;
    TWidgetHandle Window = NoWidget, List = NoWidget;
    std::vector<std::string> Log;
    std::string Geometry;
    std::string ShotFile;
    int Draws = 0;
};

// Row I's centre in window coordinates: list at (1, 20), its client area
// one or two pixels further in, rows 16 and 24 pixels high.
int RowY(int I) { return 20 + 2 + (I / 2) * 40 + (I % 2 ? 16 + 12 : 8); }

TEST_F(Gtk3Window, ClickARowThenEnter) {
    ShotFile = (std::filesystem::temp_directory_path() / "typecask-gfx-gtk3.png").string();
    TModalResult R = ShowWith([](const std::string& Id) {
        Click(Id, 60, RowY(3));
        Key("Return");
    });
    EXPECT_EQ(R, mrOk);
    EXPECT_EQ(Log, (std::vector<std::string>{"select 3", "click OK"}));
    EXPECT_EQ(Set->GetControlProps(List).ItemIndex, 3);
    EXPECT_NE(Geometry.find("Geometry: 242x221"), std::string::npos) << Geometry;
    EXPECT_GT(Draws, 0);

    // The window as the X server shows it: client size, the selected row
    // painted by the draw callback in the highlight colour.
    TBitmap Shot;
    Shot.LoadFromPngFile(ShotFile);
    std::filesystem::remove(ShotFile);
    EXPECT_EQ(Shot.GetWidth(), 242);
    EXPECT_EQ(Shot.GetHeight(), 221);
    TColor H = ColorToRGB(clHighlight);
    EXPECT_EQ(Shot.GetPixel(200, RowY(3)) & 0xFFFFFF,
              std::uint32_t(GetRValue(H)) << 16 | std::uint32_t(GetGValue(H)) << 8 | std::uint32_t(GetBValue(H)));
}

TEST_F(Gtk3Window, KeysMoveTheSelectionAndEscapeCancels) {
    TModalResult R = ShowWith([](const std::string& Id) {
        Click(Id, 60, RowY(0));
        Key("Down");
        Key("Down");
        Key("End");
        Key("Escape");
    });
    EXPECT_EQ(R, mrCancel);
    EXPECT_EQ(Log, (std::vector<std::string>{"select 0", "select 1", "select 2", "select 19", "click Cancel"}));
}

TEST_F(Gtk3Window, DoubleClickEndsWithOk) {
    TModalResult R = ShowWith([](const std::string& Id) { Click(Id, 60, RowY(2), 2); });
    EXPECT_EQ(R, mrOk);
    ASSERT_FALSE(Log.empty());
    EXPECT_EQ(Log.back(), "dblclick 2");
    EXPECT_EQ(Set->GetControlProps(List).ItemIndex, 2);
}

TEST_F(Gtk3Window, ClickingTheCancelButton) {
    TModalResult R = ShowWith([](const std::string& Id) { Click(Id, 122 + 35, 195 + 12); });
    EXPECT_EQ(R, mrCancel);
    EXPECT_EQ(Log, std::vector<std::string>{"click Cancel"});
}

TEST_F(Gtk3Window, TabMovesTheFocusToTheButtons) {
    TModalResult R = ShowWith([](const std::string&) {
        Key("Tab");
        Key("Tab");
        Key("Return");  // on the focused Cancel button, not the default one
    });
    EXPECT_EQ(R, mrCancel);
    EXPECT_EQ(Log, std::vector<std::string>{"click Cancel"});
}

}  // namespace
