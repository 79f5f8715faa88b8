#include "tests/platform/forms/TestForms.h"


#include "platform/Classes.h"

namespace FormTests {

// ------------------------------------------------------------ the module

namespace {

void Put16(std::vector<std::uint8_t>& B, unsigned V) {
    B.push_back(static_cast<std::uint8_t>(V));
    B.push_back(static_cast<std::uint8_t>(V >> 8));
}

void Put32(std::vector<std::uint8_t>& B, std::uint32_t V) {
    Put16(B, V & 0xFFFF);
    Put16(B, V >> 16);
}

void Align4(std::vector<std::uint8_t>& B) {
    while (B.size() % 4) B.push_back(0);
}

// One entry of a 32-bit .res file: a header with the type as an ordinal and
// the name as UTF-16 text, then the data.
void AppendEntry(std::vector<std::uint8_t>& Res, unsigned Type, const std::string& Name,
                 const std::vector<std::uint8_t>& Data) {
    std::vector<std::uint8_t> Header;
    Put16(Header, 0xFFFF);
    Put16(Header, Type);
    for (char C : Name) Put16(Header, static_cast<unsigned char>(C));
    Put16(Header, 0);
    Align4(Header);
    Put32(Header, 0);       // data version
    Put16(Header, 0x1030);  // memory flags
    Put16(Header, 0x0409);  // language
    Put32(Header, 0);       // version
    Put32(Header, 0);       // characteristics
    Put32(Res, static_cast<std::uint32_t>(Data.size()));
    Put32(Res, static_cast<std::uint32_t>(Header.size() + 8));
    Res.insert(Res.end(), Header.begin(), Header.end());
    Res.insert(Res.end(), Data.begin(), Data.end());
    Align4(Res);
}

}  // namespace

std::vector<std::uint8_t> TextToBinary(const std::string& Text) {
    TMemoryStream In, Out;
    In.WriteBuffer(Text.data(), static_cast<std::int64_t>(Text.size()));
    In.SetPosition(0);
    ObjectTextToBinary(&In, &Out);
    return {Out.GetMemory(), Out.GetMemory() + Out.GetSize()};
}

std::string ComponentToText(TComponent* Component) {
    TMemoryStream Binary, Text;
    WriteComponentToStream(&Binary, Component);
    Binary.SetPosition(0);
    ObjectBinaryToText(&Binary, &Text);
    return {reinterpret_cast<const char*>(Text.GetMemory()), static_cast<std::size_t>(Text.GetSize())};
}

TFormModule::TFormModule(const std::map<std::string, std::string>& Forms) {
    // The empty entry that opens every .res file.
    Put32(FImage, 0);
    Put32(FImage, 32);
    Put32(FImage, 0x0000FFFF);
    Put32(FImage, 0x0000FFFF);
    for (int I = 0; I < 4; ++I) Put32(FImage, 0);
    for (const auto& [ClassName, Text] : Forms) {
        FBinary[ClassName] = TextToBinary(Text);
        AppendEntry(FImage, 10, UpperCase(ClassName), FBinary[ClassName]);
    }
    // Each module object stands for a module of its own.
    Os::RegisterModule(reinterpret_cast<HINSTANCE>(this), FImage.data(), FImage.size());
}

TFormModule::~TFormModule() { Os::UnregisterModule(reinterpret_cast<HINSTANCE>(this)); }

// ------------------------------------------------------------ the picker

std::vector<AnsiString> TTestPicker::Names;

TYPECASK_IMPLEMENT_CLASS(TTestPicker)
void TTestPicker::Publish(TPublisher<TTestPicker>& P) {
    P.Field("BitBtnOK", &TTestPicker::BitBtnOK);
    P.Field("BitBtnCancel", &TTestPicker::BitBtnCancel);
    P.Field("LabelPrompt", &TTestPicker::LabelPrompt);
    P.Field("ListBoxNames", &TTestPicker::ListBoxNames);
    P.Field("StaticTextSample", &TTestPicker::StaticTextSample);
    P.Method("FormCreate", &TTestPicker::FormCreate);
    P.Method("ListBoxNamesDrawItem", &TTestPicker::ListBoxNamesDrawItem);
    P.Method("ListBoxNamesMeasureItem", &TTestPicker::ListBoxNamesMeasureItem);
    P.Method("ListBoxNamesClick", &TTestPicker::ListBoxNamesClick);
    P.Method("ListBoxNamesDblClick", &TTestPicker::ListBoxNamesDblClick);
}

TTestPicker::TTestPicker(TComponent* Owner) : TForm(Owner) {
    CreateFromResource();
    Log.push_back("constructed");
}

TTestPicker::~TTestPicker() = default;

void TTestPicker::FormCreate(TObject* Sender) {
    ControlsAtCreate = Sender == this && BitBtnOK && BitBtnCancel && LabelPrompt && ListBoxNames && StaticTextSample;
    Log.push_back("create");
    SetCaption("Pick a name");
    LabelPrompt->SetCaption("Choose the name to keep");
    ListBoxNames->GetItems()->Clear();
    for (const AnsiString& N : Names) ListBoxNames->GetItems()->Add(N);
}

void TTestPicker::ListBoxNamesMeasureItem(TWinControl*, int Index, int& Height) {
    TCanvas* C = ListBoxNames->GetCanvas();
    C->GetFont()->SetName(ListBoxNames->GetItems()->Get(Index));
    C->GetFont()->SetSize(0);
    Height = C->TextHeight(ListBoxNames->GetItems()->Get(Index)) + 2;
    Measured.emplace_back(Index, Height);
}

void TTestPicker::ListBoxNamesDrawItem(TWinControl*, int Index, TRect Rect, TOwnerDrawState State) {
    TCanvas* C = ListBoxNames->GetCanvas();
    Drawn.push_back({Index, Rect, State.Selected, C->GetBrush()->GetColor(), C->GetFont()->GetColor()});
    C->FillRect(Rect);
    C->GetFont()->SetName(ListBoxNames->GetItems()->Get(Index));
    C->GetFont()->SetSize(0);
    C->TextOut(Rect.Left + 1, Rect.Top + 1, ListBoxNames->GetItems()->Get(Index));
}

void TTestPicker::ListBoxNamesClick(TObject*) {
    const AnsiString Name = ListBoxNames->GetItems()->Get(ListBoxNames->GetItemIndex());
    Log.push_back("click " + Name);
    StaticTextSample->SetCaption(Name);
}

void TTestPicker::ListBoxNamesDblClick(TObject*) {
    Log.push_back("dblclick");
    BitBtnOK->Click();
}

LRESULT TTestPicker::WindowProc(UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == WM_FONTCHANGE) ++FontChanges;
    return TForm::WindowProc(Message, WParam, LParam);
}

// ------------------------------------------------------- the other forms

TYPECASK_IMPLEMENT_CLASS(TTestAbout)
void TTestAbout::Publish(TPublisher<TTestAbout>& P) {
    P.Field("ImageIcon", &TTestAbout::ImageIcon);
    P.Field("LabelProductName", &TTestAbout::LabelProductName);
    P.Field("LabelProductInfo", &TTestAbout::LabelProductInfo);
    P.Field("BevelBottomLine", &TTestAbout::BevelBottomLine);
    P.Field("BitBtnOk", &TTestAbout::BitBtnOk);
}
TTestAbout::~TTestAbout() = default;

TYPECASK_IMPLEMENT_CLASS(TTestNoLayout)
void TTestNoLayout::Publish(TPublisher<TTestNoLayout>&) {}
TTestNoLayout::~TTestNoLayout() = default;

TYPECASK_IMPLEMENT_CLASS(TTestUnbuilt)
void TTestUnbuilt::Publish(TPublisher<TTestUnbuilt>&) {}
TTestUnbuilt::~TTestUnbuilt() = default;

TYPECASK_IMPLEMENT_CLASS(TTestData)
void TTestData::Publish(TPublisher<TTestData>& P) {
    P.Field("Helper", &TTestData::Helper);
    P.Method("DataCreate", &TTestData::DataCreate);
}
TTestData::~TTestData() = default;
void TTestData::DataCreate(TObject*) { Created += Helper ? 1 : 100; }

namespace {

// A plain non-visual component for the data module.
class TTestHelper : public TComponent {
    TYPECASK_CLASS(TTestHelper, TComponent)

public:
    explicit TTestHelper(TComponent* Owner) : TComponent(Owner) {}
};
TYPECASK_IMPLEMENT_CLASS(TTestHelper)
void TTestHelper::Publish(TPublisher<TTestHelper>&) {}

const bool Registered = [] {
    RegisterClasses({TTestHelper::StaticClass(), TTestPicker::StaticClass(), TTestAbout::StaticClass(),
                     TTestData::StaticClass()});
    return true;
}();

}  // namespace

// ------------------------------------------------------------- layouts

const char* const PickerLayout = R"(object TestPicker: TTestPicker
  Left = 200
  Top = 108
  ActiveControl = ListBoxNames
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  ClientHeight = 221
  ClientWidth = 242
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -12
  Font.Name = 'Default'
  Font.Style = []
  Position = poScreenCenter
  ShowHint = True
  OnCreate = FormCreate
  PixelsPerInch = 96
  TextHeight = 13
  object LabelPrompt: TLabel
    Left = 3
    Top = 2
    Width = 3
    Height = 13
  end
  object ListBoxNames: TListBox
    Left = 1
    Top = 20
    Width = 240
    Height = 149
    ItemHeight = 16
    Sorted = True
    Style = lbOwnerDrawVariable
    TabOrder = 0
    OnClick = ListBoxNamesClick
    OnDblClick = ListBoxNamesDblClick
    OnDrawItem = ListBoxNamesDrawItem
    OnMeasureItem = ListBoxNamesMeasureItem
  end
  object StaticTextSample: TStaticText
    Left = 1
    Top = 173
    Width = 240
    Height = 17
    AutoSize = False
    BorderStyle = sbsSunken
    TabOrder = 3
  end
  object BitBtnOK: TBitBtn
    Left = 50
    Top = 195
    Width = 70
    Height = 24
    TabOrder = 1
    Kind = bkOK
  end
  object BitBtnCancel: TBitBtn
    Left = 122
    Top = 195
    Width = 70
    Height = 24
    TabOrder = 2
    Kind = bkCancel
  end
end
)";

const char* const AboutLayout = R"(object TestAbout: TTestAbout
  Left = 192
  Top = 107
  ActiveControl = BitBtnOk
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  ClientHeight = 211
  ClientWidth = 332
  ParentFont = True
  Position = poScreenCenter
  ShowHint = True
  PixelsPerInch = 96
  TextHeight = 13
  object ImageIcon: TImage
    Left = 8
    Top = 4
    Width = 48
    Height = 48
    AutoSize = True
    Transparent = True
  end
  object LabelProductName: TLabel
    Left = 64
    Top = 4
    Width = 260
    Height = 48
    AutoSize = False
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -13
    Font.Name = 'Default'
    Font.Style = [fsBold]
    ParentFont = False
    Transparent = True
    WordWrap = True
  end
  object LabelProductInfo: TLabel
    Left = 64
    Top = 56
    Width = 260
    Height = 115
    AutoSize = False
    Transparent = True
    WordWrap = True
  end
  object BevelBottomLine: TBevel
    Left = 64
    Top = 176
    Width = 260
    Height = 5
    Shape = bsTopLine
    Style = bsRaised
  end
  object BitBtnOk: TBitBtn
    Left = 249
    Top = 184
    Width = 75
    Height = 25
    TabOrder = 0
    Kind = bkOK
  end
end
)";

const char* const DataLayout = R"(object TestData: TTestData
  OnCreate = DataCreate
  Left = 10
  Top = 20
  Height = 150
  Width = 215
  object Helper: TTestHelper
  end
end
)";

std::map<std::string, std::string> AllLayouts() {
    return {{"TTestPicker", PickerLayout}, {"TTestAbout", AboutLayout}, {"TTestData", DataLayout}};
}

}  // namespace FormTests
