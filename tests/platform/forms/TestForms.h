// Small test forms shaped like the package's dialogs, their layouts as text
// form data, and an in-memory module that carries the layouts as form
// resources.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/Buttons.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

namespace FormTests {

// Registers a module whose resources are the given forms (class name ->
// text form data), converted to binary form data and stored as RCDATA
// resources named after the classes in upper case. Unregisters it again.
class TFormModule {
public:
    explicit TFormModule(const std::map<std::string, std::string>& Forms);
    ~TFormModule();
    TFormModule(const TFormModule&) = delete;
    TFormModule& operator=(const TFormModule&) = delete;

    // The binary form data of a class's layout.
    const std::vector<std::uint8_t>& FormData(const std::string& ClassName) const { return FBinary.at(ClassName); }

private:
    std::vector<std::uint8_t> FImage;
    std::map<std::string, std::vector<std::uint8_t>> FBinary;
};

// Text form data -> binary form data.
std::vector<std::uint8_t> TextToBinary(const std::string& Text);
// Binary form data of a component -> text form data.
std::string ComponentToText(TComponent* Component);

// A picker: an owner-drawn sorted list of names, a sunken sample line, OK
// and Cancel. Every event goes into Log.
class TTestPicker : public TForm {
    TYPECASK_CLASS(TTestPicker, TForm)

public:
    explicit TTestPicker(TComponent* Owner);
    ~TTestPicker() override;

    TBitBtn* BitBtnOK = nullptr;
    TBitBtn* BitBtnCancel = nullptr;
    TLabel* LabelPrompt = nullptr;
    TListBox* ListBoxNames = nullptr;
    TStaticText* StaticTextSample = nullptr;

    void FormCreate(TObject* Sender);
    void ListBoxNamesDrawItem(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State);
    void ListBoxNamesMeasureItem(TWinControl* Control, int Index, int& Height);
    void ListBoxNamesClick(TObject* Sender);
    void ListBoxNamesDblClick(TObject* Sender);

    // What the handlers saw.
    struct TDrawn {
        int Index;
        TRect Rect;
        bool Selected;
        TColor Brush;
        TColor FontColor;
    };
    std::vector<std::string> Log;
    std::vector<std::pair<int, int>> Measured;  // index, height
    std::vector<TDrawn> Drawn;
    bool ControlsAtCreate = false;
    int FontChanges = 0;

    // The names FormCreate puts into the list.
    static std::vector<AnsiString> Names;

    LRESULT WindowProc(UINT Message, WPARAM WParam, LPARAM LParam) override;
};

// An about box: an image, two word-wrapped labels (the first with a font of
// its own), a bevel line and an OK button.
class TTestAbout : public TForm {
    TYPECASK_CLASS(TTestAbout, TForm)

public:
    explicit TTestAbout(TComponent* Owner) : TForm(Owner) { CreateFromResource(); }
    ~TTestAbout() override;

    TImage* ImageIcon = nullptr;
    TLabel* LabelProductName = nullptr;
    TLabel* LabelProductInfo = nullptr;
    TBevel* BevelBottomLine = nullptr;
    TBitBtn* BitBtnOk = nullptr;
};

// A form class without a layout resource.
class TTestNoLayout : public TForm {
    TYPECASK_CLASS(TTestNoLayout, TForm)

public:
    explicit TTestNoLayout(TComponent* Owner) : TForm(Owner) { CreateFromResource(); }
    ~TTestNoLayout() override;
};

// A form class whose constructor forgets to build the form.
class TTestUnbuilt : public TForm {
    TYPECASK_CLASS(TTestUnbuilt, TForm)

public:
    explicit TTestUnbuilt(TComponent* Owner) : TForm(Owner) {}
    ~TTestUnbuilt() override;
};

// A data module with one non-visual component.
class TTestData : public TDataModule {
    TYPECASK_CLASS(TTestData, TDataModule)

public:
    explicit TTestData(TComponent* Owner) : TDataModule(Owner) { CreateFromResource(); }
    ~TTestData() override;

    TComponent* Helper = nullptr;
    int Created = 0;
    void DataCreate(TObject* Sender);
};

// The layouts, as the writer writes them.
extern const char* const PickerLayout;
extern const char* const AboutLayout;
extern const char* const DataLayout;

// A module with the three layouts above.
std::map<std::string, std::string> AllLayouts();

}  // namespace FormTests
