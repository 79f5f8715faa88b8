// The font picker as a real window of the gtk3 widgetset on an X server (a
// virtual one started here when no display is set); xdotool plays the
// developer who double-clicked a TTypecask in the designer.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <optional>
#include <thread>

#include "Typecask/component/Typecask.h"
#include "Typecask/design/TypecaskEditors.h"
#include "platform/Designer.h"
#include "platform/Forms.h"
#include "platform/widgetsets/WidgetSet.h"
#include "tests/support/XServer.h"

namespace {

using namespace std::chrono_literals;

using TestSupport::Shell;

const auto* const Server =
    ::testing::AddGlobalTestEnvironment(new TestSupport::TXServer({"Sandbox Alpha", "Sandbox Bravo"}, 150));

class PickerWindow : public ::testing::Test {
protected:
    void SetUp() override {
        const char* Display = std::getenv("DISPLAY");
        if (!Display || !*Display) GTEST_SKIP() << "no X server (Xvfb is not installed)";
        if (!TestSupport::HaveTool("xdotool")) GTEST_SKIP() << "xdotool is not installed";
        SelectWidgetSet("gtk3");
        ResetDesignRegistrations();
        Register();
        Designer = std::make_unique<TFormDesigner>(std::unique_ptr<TComponent>(new TForm(nullptr, 0)));
        Typecask = static_cast<TTypecask*>(Designer->DropComponent(TTypecask::StaticClass()));
    }
    void TearDown() override {
        Designer.reset();
        ResetDesignRegistrations();
        SelectWidgetSet("headless");
    }

    // Double-clicks the component in the designer while Play (xdotool
    // commands against the picker's window id) runs on another thread.
    void DoubleClickWith(std::function<void(const std::string& Id)> Play) {
        auto User = std::async(std::launch::async, [&] {
            std::string Id;
            for (int I = 0; I < 200 && Id.empty(); ++I) {
                std::string Found = Shell("xdotool search --onlyvisible --name '^True Type Fonts$' 2>/dev/null");
                Id = Found.substr(0, Found.find('\n'));
                if (Id.empty()) std::this_thread::sleep_for(50ms);
            }
            Found = !Id.empty();
            if (Id.empty()) return;
            Shell("xdotool windowfocus --sync " + Id + " 2>/dev/null");
            Play(Id);
        });
        Designer->GetComponentEditor(Typecask)->Edit();
        User.get();
    }

    static void Click(const std::string& Id, int X, int Y) {
        std::this_thread::sleep_for(150ms);
        Shell("xdotool mousemove --window " + Id + " " + std::to_string(X) + " " + std::to_string(Y) + " click 1");
    }

    // The middle of row Index: the list at (1, 20), rows as high as their
    // face's text plus 2.
    static int RowY(int Index) {
        int Top = 20 + 2;
        for (int I = 0; I < Index; ++I) Top += Height(I);
        return Top + Height(Index) / 2;
    }
    static int Height(int Index) {
        TCanvas C;
        const AnsiString Face = Index == 0 ? "Sandbox Alpha" : "Sandbox Bravo";
        C.GetFont()->SetName(Face);
        C.GetFont()->SetSize(0);
        return C.TextHeight(Face) + 2;
    }

    std::unique_ptr<TFormDesigner> Designer;
    TTypecask* Typecask = nullptr;
    bool Found = false;
};

TEST_F(PickerWindow, ClickARowAndOkAppliesTheFamily) {
    DoubleClickWith([](const std::string& Id) {
        Click(Id, 60, RowY(1));
        Click(Id, 50 + 35, 195 + 12);
    });
    EXPECT_TRUE(Found) << "no window titled \"True Type Fonts\"";
    EXPECT_EQ(Typecask->GetTypecaskName()->GetTTFontName(), "Sandbox Bravo");
    EXPECT_NE(Typecask->GetFontData(), nullptr);
}

TEST_F(PickerWindow, EscapeCancels) {
    DoubleClickWith([](const std::string& Id) {
        Click(Id, 60, RowY(0));
        std::this_thread::sleep_for(150ms);
        Shell("xdotool key Escape");
    });
    EXPECT_TRUE(Found) << "no window titled \"True Type Fonts\"";
    EXPECT_EQ(Typecask->GetTypecaskName()->GetTTFontName(), "");
    EXPECT_EQ(Typecask->GetFontData(), nullptr);
}

// Letters typed into the list (which has the focus) find the row; the blank
// between the words is one of the letters.
TEST_F(PickerWindow, TypedLettersFindTheRow) {
    DoubleClickWith([](const std::string&) {
        std::this_thread::sleep_for(150ms);
        Shell("xdotool type --delay 20 'sandbox b'");
        std::this_thread::sleep_for(100ms);
        Shell("xdotool key Return");
    });
    EXPECT_TRUE(Found) << "no window titled \"True Type Fonts\"";
    EXPECT_EQ(Typecask->GetTypecaskName()->GetTTFontName(), "Sandbox Bravo");
}

}  // namespace
