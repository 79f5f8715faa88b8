// What the component lets change, and when: in the designer, while a form
// is read, and at run time.
#include <gtest/gtest.h>

#include <filesystem>

#include "Typecask/component/Typecask.h"
#include "tests/Typecask/component/ComponentTestSupport.h"
#include "tests/support/Sandbox.h"

namespace {

using namespace ComponentTest;
using TestSupport::TSandbox;

// A free-standing font name, as the picker hands one over.
struct TName : TTypecaskName {
    explicit TName(const std::string& Family) : TTypecaskName(nullptr) { SetTTFontName(Family); }
};

TEST(Typecask, AboutExistsOnlyInTheDesignerAndIgnoresAssignment) {
    TSandbox Box;
    TForm Design(true), Run(false);
    TTypecask* D = Design.Add();
    TTypecask* R = Run.Add();
    ASSERT_NE(D->GetAbout(), nullptr);
    EXPECT_EQ(R->GetAbout(), nullptr);
    EXPECT_EQ(D->GetAbout()->GetVersionField(TVersionInfo::vfAuthor).empty(), false)
        << "the package's own version resource is read";

    TVersionInfo* Before = D->GetAbout();
    TVersionInfo Other("/nonexistent");
    D->SetAbout(&Other);
    R->SetAbout(&Other);
    EXPECT_EQ(D->GetAbout(), Before);
    EXPECT_EQ(R->GetAbout(), nullptr);
}

TEST(Typecask, RunTimeRefusesBothProperties) {
    TSandbox Box;
    TForm Run(false);
    TTypecask* T = Run.Add();
    EXPECT_TRUE(T->GetInstallPermanently());
    EXPECT_EQ(MessageOf([&] { T->SetInstallPermanently(false); }),
              "Font permanent installation property name could not be changed at runtime");
    EXPECT_TRUE(T->GetInstallPermanently());

    TName Same("");
    EXPECT_EQ(MessageOf([&] { T->SetTypecaskName(&Same); }), "Font name could not be changed at runtime")
        << "even an equal name is refused";
    EXPECT_EQ(T->GetFontData(), nullptr);
}

TEST(Typecask, DesignerLoadsTheChosenFamilyAndInstallsNothing) {
    TSandbox Box;
    const std::string File = Box.InstallFont("Design Sans");
    TForm Design(true);
    TTypecask* T = Design.Add();
    TName Choice("Design Sans");
    T->SetTypecaskName(&Choice);

    EXPECT_EQ(T->GetTypecaskName()->GetTTFontName(), "Design Sans");
    EXPECT_NE(T->GetTypecaskName(), &Choice) << "the name is copied, not kept";
    EXPECT_EQ(StreamBytes(T->GetFontData()), ReadFileBytes(File));
    EXPECT_FALSE(T->GetFontAdded()) << "an installed family is not installed again";
    EXPECT_EQ(FolderContents(Box.Paths().TempFolder), std::vector<std::string>{});

    T->SetInstallPermanently(false);
    EXPECT_FALSE(T->GetInstallPermanently());
}

TEST(Typecask, AnEqualNameChangesNothingButOtherLetterCaseReloads) {
    TSandbox Box;
    const std::string File = Box.InstallFont("Case Sans");
    TForm Design(true);
    TTypecask* T = Design.Add();
    TName Choice("Case Sans");
    T->SetTypecaskName(&Choice);
    TMemoryStream* First = T->GetFontData();

    T->SetTypecaskName(&Choice);
    EXPECT_EQ(T->GetFontData(), First) << "no reload for an equal name";

    TName Lower("case sans");
    T->SetTypecaskName(&Lower);
    EXPECT_EQ(T->GetTypecaskName()->GetTTFontName(), "case sans");
    ASSERT_NE(T->GetFontData(), nullptr);
    EXPECT_EQ(StreamBytes(T->GetFontData()), ReadFileBytes(File));
}

TEST(Typecask, FailuresInTheDesignerLeaveNoNameAndNoData) {
    TSandbox Box;
    Box.InstallFont("Good Sans");
    const std::string Broken = Box.InstallFont("Broken Sans");
    TForm Design(true);
    TTypecask* T = Design.Add();
    TName Good("Good Sans");
    T->SetTypecaskName(&Good);
    ASSERT_NE(T->GetFontData(), nullptr);

    TName Missing("Missing Sans");
    EXPECT_EQ(MessageOf([&] { T->SetTypecaskName(&Missing); }), "Font (Missing Sans) not found in the registry");
    EXPECT_EQ(T->GetTypecaskName()->GetTTFontName(), "");
    EXPECT_EQ(T->GetFontData(), nullptr);

    // Registered, but its file went away after the registry saw it.
    TName Gone("Broken Sans");
    const std::string Path = T->GetTypecaskName()->FindTTFontFile("Broken Sans");
    std::filesystem::remove(Broken);
    EXPECT_EQ(MessageOf([&] { T->SetTypecaskName(&Gone); }), "Font file (" + Path + ") not found");
    EXPECT_EQ(T->GetTypecaskName()->GetTTFontName(), "");
    EXPECT_EQ(T->GetFontData(), nullptr);
}

TEST(Typecask, ChoosingTheEmptyNameDropsTheFontData) {
    TSandbox Box;
    Box.InstallFont("Drop Sans");
    TForm Design(true);
    TTypecask* T = Design.Add();
    TName Choice("Drop Sans");
    T->SetTypecaskName(&Choice);
    ASSERT_NE(T->GetFontData(), nullptr);
    TName Empty("");
    T->SetTypecaskName(&Empty);
    EXPECT_EQ(T->GetFontData(), nullptr);

    TMemoryStream Saved;
    SaveForm(Design.Root, Saved);
    EXPECT_EQ(StreamBytes(&Saved).find("TrueTypeFontResource"), std::string::npos);
}

}  // namespace
