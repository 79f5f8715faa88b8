// The font in form data: written compressed by the designer, restored by the
// reader, refused when it is not what the component wrote.
#include <gtest/gtest.h>

#include <exception>

#include "tests/Typecask/component/ComponentTestSupport.h"
#include "tests/support/Sandbox.h"

namespace {

using namespace ComponentTest;
using TestSupport::TSandbox;

TTypecask* Only(TComponent* Root) {
    EXPECT_EQ(Root->ComponentCount(), 1);
    return dynamic_cast<TTypecask*>(Root->Components(0));
}

TEST(FormData, TheDesignerWritesTheFontCompressedAndARunningProgramRestoresIt) {
    std::string FontBytes;
    TMemoryStream Saved;
    {
        TSandbox Designer;
        const std::string File = Designer.InstallFont("Road Sans");
        FontBytes = ReadFileBytes(File);
        TForm Design(true);
        TTypecask* T = Design.Add();
        TTypecaskName Choice(nullptr);
        Choice.SetTTFontName("Road Sans");
        T->SetTypecaskName(&Choice);
        T->SetInstallPermanently(false);
        SaveForm(Design.Root, Saved);
    }
    const std::string Data = StreamBytes(&Saved);
    EXPECT_NE(Data.find("InstallPermanently"), std::string::npos) << "False differs from the default";
    EXPECT_NE(Data.find("TypecaskName.TTFontName"), std::string::npos);
    EXPECT_NE(Data.find("LZStream"), std::string::npos);
    EXPECT_EQ(Data.find("About"), std::string::npos) << "the version values are never stored";

    TSandbox Application;
    ASSERT_FALSE(HasFamily("Road Sans"));
    TForm Run(false);
    LoadForm(Saved, Run.Root);
    TTypecask* T = Only(Run.Root);
    EXPECT_EQ(T->GetTypecaskName()->GetTTFontName(), "Road Sans");
    EXPECT_FALSE(T->GetInstallPermanently());
    EXPECT_EQ(StreamBytes(T->GetFontData()), FontBytes);
    EXPECT_TRUE(T->GetFontAdded()) << "Loaded installed the font";
    EXPECT_TRUE(HasFamily("Road Sans"));
}

TEST(FormData, PresenceOfTheBufferDecidesWhetherThePropertyIsWritten) {
    TSandbox Box;
    TForm Design(true);
    TTypecask* T = Design.Add();
    TMemoryStream Saved;
    SaveForm(Design.Root, Saved);
    EXPECT_EQ(StreamBytes(&Saved).find("TrueTypeFontResource"), std::string::npos) << "no buffer, no property";
    EXPECT_EQ(StreamBytes(&Saved).find("InstallPermanently"), std::string::npos) << "True is the default";

    // An empty buffer is still a buffer: read back, it is an empty buffer
    // again (which the font table refuses to install).
    TMemoryStream Text;
    FontForm("Empty Sans", Compressed(""), false, Text);
    TForm Run(false);
    EXPECT_EQ(MessageOf([&] { LoadForm(Text, Run.Root); }), "Font could not be installed");
    ASSERT_NE(Only(Run.Root)->GetFontData(), nullptr);
    EXPECT_EQ(Only(Run.Root)->GetFontData()->GetSize(), 0);
    TMemoryStream Again;
    SaveForm(Run.Root, Again);
    EXPECT_NE(StreamBytes(&Again).find("TrueTypeFontResource"), std::string::npos);
    (void)T;
}

TEST(FormData, BadFontDataIsRefusedAndNothingIsInstalled) {
    const std::string Good = Compressed(std::string(1000, 'x'));
    std::string Corrupt = Good;
    Corrupt[12 + 4 + 3] = '\x7F';  // a match item now reaches before the block
    std::string Truncated = Good.substr(0, Good.size() - 2);
    std::string WrongSignature = Good;
    WrongSignature[0] = 'l';

    // Message 1 reports the stream's total (never 0 bytes); the codec's
    // account of what is wrong is nested inside it.
    const std::string Total = std::to_string(Good.size() - 12);
    struct Case {
        const char* What;
        std::string Bytes;
        std::string Message;
        std::string Reason;  // how the nested reason starts; "" for none
    } Cases[] = {
        {"wrong signature", WrongSignature, "LZRW compressed stream signature is wrong", ""},
        {"corrupt block", Corrupt, "Not enough memory to allocate " + Total + " bytes",
         "Compressed stream is corrupt: block 1 at offset "},
        {"cut short", Truncated, "Not enough memory to allocate " + Total + " bytes",
         "Compressed stream is corrupt: block 1 at offset 16: the data ends after "},
        {"cut inside the total", Good.substr(0, 10), "Not enough memory to allocate 10 bytes",
         "Compressed stream is corrupt: at offset 8: the data ends after 2 of the 4 bytes of the total"},
    };
    for (const auto& C : Cases) {
        TSandbox Box;
        TMemoryStream Data;
        FontForm("Bad Sans", C.Bytes, false, Data);

        // Without a handler the error leaves the reader.
        TForm Strict(false);
        std::string Reason;
        try {
            LoadForm(Data, Strict.Root);
            ADD_FAILURE() << C.What << ": accepted";
        } catch (const Exception& E) {
            EXPECT_EQ(E.GetMessage(), C.Message) << C.What;
            try {
                std::rethrow_if_nested(E);
            } catch (const Exception& Inner) {
                Reason = Inner.GetMessage();
            }
        }
        EXPECT_EQ(Reason.rfind(C.Reason, 0), 0u) << C.What << ": " << Reason;
        EXPECT_EQ(Reason.empty(), C.Reason.empty()) << C.What << ": " << Reason;

        // A reader that goes on, as the designer's does, still calls Loaded:
        // with no data left, it installs nothing.
        TForm Lenient(false);
        std::vector<std::string> Errors;
        LoadForm(Data, Lenient.Root, &Errors);
        EXPECT_EQ(Errors.size(), 1u) << C.What;
        TTypecask* T = Only(Lenient.Root);
        EXPECT_EQ(T->GetFontData(), nullptr) << C.What;
        EXPECT_FALSE(T->GetFontAdded()) << C.What;
        EXPECT_EQ(FolderContents(Box.Paths().TempFolder), std::vector<std::string>{}) << C.What;
    }
}

TEST(FormData, RunTimeReadingNeverLooksUpTheFamily) {
    TSandbox Box;
    TMemoryStream Data;
    TextToForm("object Form1: TTestForm\n  object Typecask1: TTypecask\n"
               "    TypecaskName.TTFontName = 'Nowhere Installed'\n  end\nend\n",
               Data);
    TForm Run(false);
    LoadForm(Data, Run.Root);  // no message 2: nothing is looked up
    TTypecask* T = Only(Run.Root);
    EXPECT_EQ(T->GetTypecaskName()->GetTTFontName(), "Nowhere Installed");
    EXPECT_EQ(T->GetFontData(), nullptr);
}

TEST(FormData, TheDesignerGoesOnAfterAMissingFamilyAndKeepsTheStoredBytes) {
    TSandbox Box;
    const std::string Font = ReadFileBytes(Box.MakeFontFile("Absent Sans"));
    TMemoryStream Data;
    FontForm("Absent Sans", Compressed(Font), false, Data);

    std::vector<std::string> Errors;
    TForm Design(true);
    // Loaded then has bytes but no family name to install them under: an
    // empty name never becomes a file name, so that installation is refused.
    EXPECT_EQ(MessageOf([&] { LoadForm(Data, Design.Root, &Errors); }), "Font could not be installed");
    ASSERT_EQ(Errors, std::vector<std::string>{"Font (Absent Sans) not found in the registry"});
    TTypecask* T = Only(Design.Root);
    EXPECT_EQ(T->GetTypecaskName()->GetTTFontName(), "") << "the failed name is emptied";
    EXPECT_EQ(StreamBytes(T->GetFontData()), Font) << "the stored bytes are restored all the same";
    EXPECT_FALSE(T->GetFontAdded());
    EXPECT_EQ(FolderContents(Box.Paths().TempFolder), std::vector<std::string>{});
}

}  // namespace
