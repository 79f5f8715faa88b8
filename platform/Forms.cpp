#include "platform/Forms.h"

#include <algorithm>
#include <cstring>


// ------------------------------------------------------- form resources

namespace {

bool FindIn(HMODULE Module, const AnsiString& Name, const void*& Data, std::size_t& Size) {
    HRSRC Res = FindResourceA(Module, Name.c_str(), RT_RCDATA);
    if (!Res) return false;
    HGLOBAL Global = LoadResource(Module, Res);
    const void* Bytes = Global ? LockResource(Global) : nullptr;
    if (!Bytes) return false;
    Data = Bytes;
    Size = SizeofResource(Module, Res);
    return true;
}

// Reads one form resource into Instance.
void ReadFormResource(TComponent* Instance, const void* Data, std::size_t Size) {
    TMemoryStream Stream;
    Stream.WriteBuffer(Data, static_cast<std::int64_t>(Size));
    Stream.SetPosition(0);
    TReader Reader(&Stream);
    Reader.ReadRootComponent(Instance);
}

// A name for a root that its owner does not hold yet: Name, Name_1, ...
AnsiString UniqueRootName(TComponent* Root, const AnsiString& Name) {
    TComponent* Owner = Root->Owner();
    if (!Owner || Name.empty()) return Name;
    AnsiString Candidate = Name;
    for (int I = 1;; ++I) {
        TComponent* Other = Owner->FindComponent(Candidate);
        if (!Other || Other == Root) return Candidate;
        Candidate = Name + "_" + std::to_string(I);
    }
}

}  // namespace

bool FindFormResource(TClass Class, const void*& Data, std::size_t& Size) {
    const AnsiString Name = UpperCase(Class->ClassName());
    // The module that holds the class first, then every registered module,
    // the latest first, then the main program.
    const HINSTANCE Own = Os::FindHInstance(Class);
    const auto Modules = Os::EnumModules();
    if (Own && std::find(Modules.begin(), Modules.end(), Own) != Modules.end() && FindIn(Own, Name, Data, Size))
        return true;
    for (auto It = Modules.rbegin(); It != Modules.rend(); ++It)
        if (*It != Own && FindIn(*It, Name, Data, Size)) return true;
    return FindIn(nullptr, Name, Data, Size);
}

std::vector<TFormResource> ListFormResources(const Os::TResourceImage& Resources) {
    std::vector<TFormResource> Forms;
    for (const auto& Entry : Resources.GetEntries()) {
        if (!Entry.Type.Matches(RT_RCDATA) || Entry.Size < 4 || std::memcmp(Entry.Data, FilerSignature, 4) != 0)
            continue;
        TFormResource Form;
        Form.Resource = Entry.Name;
        Form.Language = Entry.Language;
        Form.Data = Entry.Data;
        Form.Size = Entry.Size;
        // The root's header: signature, flags prefix, class and name.
        TMemoryStream Stream;
        Stream.WriteBuffer(Entry.Data, static_cast<std::int64_t>(std::min<std::size_t>(Entry.Size, 4 + 16 + 2 * 256)));
        Stream.SetPosition(0);
        TReader Reader(&Stream);
        try {
            Reader.ReadSignature();
            TComponentHeader Header = Reader.ReadComponentHeader();
            Form.ClassName = std::move(Header.ClassName);
            Form.Name = std::move(Header.Name);
        } catch (const EFilerError&) {
            continue;  // "TPF0" and then no component header: no form
        }
        Forms.push_back(std::move(Form));
    }
    return Forms;
}

bool InitInheritedComponent(TComponent* Instance, TClass RootAncestor) {
    std::vector<TClass> Chain;
    for (TClass C = Instance->ClassType(); C && C != RootAncestor && C != TComponent::StaticClass();
         C = C->ClassParent())
        Chain.push_back(C);
    bool Found = false;
    for (auto It = Chain.rbegin(); It != Chain.rend(); ++It) {
        const void* Data = nullptr;
        std::size_t Size = 0;
        if (!FindFormResource(*It, Data, Size)) continue;
        ReadFormResource(Instance, Data, Size);
        Found = true;
    }
    return Found;
}

// ----------------------------------------------------------- TCustomForm

TYPECASK_IMPLEMENT_CLASS(TCustomForm)
void TCustomForm::Publish(TPublisher<TCustomForm>&) {}

TCustomForm::TCustomForm(TComponent* Owner) : TWinControl(Owner) {
    Init();
    FAwaitingResource = true;
}

TCustomForm::TCustomForm(TComponent* Owner, int) : TWinControl(Owner) { Init(); }

void TCustomForm::Init() {
    SetParentFont(false);
    SetParentColor(false);
    SetBounds(0, 0, 320 + 2 * BorderWidth(), 240 + 2 * BorderWidth() + CaptionHeight());
    SetParentShowHint(false);
    SetVisible(false);
    FListener = Os::AddBroadcastListener(
        [this](HWND, UINT Message, WPARAM WParam, LPARAM LParam) { return WindowProc(Message, WParam, LParam); },
        GetHandle());
}

TCustomForm::~TCustomForm() {
    Os::RemoveBroadcastListener(FListener);
    DestroyWindowHandle();
    FActiveControl = nullptr;
    // The controls go while the form is still whole.
    DestroyComponents();
}

void TCustomForm::CreateFromResource() {
    FReadingRoot = true;
    try {
        const bool Found = InitInheritedComponent(this, TForm::StaticClass());
        FReadingRoot = false;
        if (!Found) throw EResNotFound("Resource %s not found", {ClassName()});
    } catch (...) {
        FReadingRoot = false;
        throw;
    }
    FAwaitingResource = false;
    DoCreate();
}

void TCustomForm::DoCreate() { OnCreate(this); }

void TCustomForm::SetName(const AnsiString& NewName) {
    TWinControl::SetName(FReadingRoot ? UniqueRootName(this, NewName) : NewName);
}

int TCustomForm::BorderWidth() const {
    switch (FBorderStyle) {
        case bsNone: return 0;
        case bsSizeable:
        case bsSizeToolWin: return 4;
        default: return 3;
    }
}

int TCustomForm::CaptionHeight() const {
    switch (FBorderStyle) {
        case bsNone: return 0;
        case bsToolWindow:
        case bsSizeToolWin: return 15;
        default: return 19;
    }
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
    if (Value == FBorderStyle) return;
    const int W = GetClientWidth(), H = GetClientHeight();
    FBorderStyle = Value;
    SetClientWidth(W);
    SetClientHeight(H);
    Changed();
}

void TCustomForm::SetBorderIcons(TBorderIcons Value) {
    FBorderIcons = Value;
    Changed();
}

void TCustomForm::SetPosition(TPosition Value) {
    FPosition = Value;
    Changed();
}

TWinControl* TCustomForm::GetActiveControl() const {
    if (WindowAllocated()) {
        const TWidgetHandle Focus = FWidgetSet->GetFocus(FWindow);
        if (Focus != NoWidget)
            for (int I = 0; I < ComponentCount(); ++I)
                if (auto* W = dynamic_cast<TWinControl*>(Components(I)); W && W->GetWidget() == Focus) return W;
    }
    return FActiveControl;
}

void TCustomForm::SetActiveControl(TWinControl* Value) {
    if (Value == FActiveControl && !WindowAllocated()) return;
    if (Value) {
        if (Value == this || !ContainsControl(Value))
            throw EInvalidOperation("Control %s is not on form %s", {Value->GetName(), GetName()});
        if (!IsLoading() && !Value->CanFocus())
            throw EInvalidOperation("Cannot focus a disabled or invisible window");
    }
    FActiveControl = Value;
    if (Value && WindowAllocated() && Value->WidgetAllocated()) FWidgetSet->SetFocus(Value->GetWidget());
}

void TCustomForm::ControlRemoved(TControl* Control) {
    if (FActiveControl && (FActiveControl == Control || (dynamic_cast<TWinControl*>(Control) &&
                                                         static_cast<TWinControl*>(Control)->ContainsControl(FActiveControl))))
        FActiveControl = nullptr;
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FActiveControl) FActiveControl = nullptr;
}

void TCustomForm::SetModalResult(TModalResult Value) {
    FModalResult = Value;
    if (FModal && Value != mrNone && WindowAllocated()) FWidgetSet->EndModal(FWindow, Value);
}

bool TCustomForm::CloseQuery() {
    bool CanClose = true;
    OnCloseQuery(this, CanClose);
    return CanClose;
}

void TCustomForm::Close() {
    if (!CloseQuery()) return;
    if (FModal) SetModalResult(mrCancel);
}

int TCustomForm::ShowModal() {
    if (FModal || WindowAllocated()) throw EInvalidOperation("Cannot make a visible window modal");
    if (FAwaitingResource && ClassType() != TForm::StaticClass() && ClassType() != TCustomForm::StaticClass())
        throw EInvalidOperation("Form %s was not built from its form resource", {ClassName()});
    TWidgetSet& Set = WidgetSet();
    FModalResult = mrNone;
    CreateWindowHandle(Set);
    struct TGuard {
        TCustomForm* Form;
        ~TGuard() {
            Form->FModal = false;
            Form->DestroyWindowHandle();
        }
    } Guard{this};
    FModal = true;
    if (FActiveControl && FActiveControl->CanFocus() && FActiveControl->WidgetAllocated())
        Set.SetFocus(FActiveControl->GetWidget());
    OnShow(this);
    if (FModalResult == mrNone) {
        const TModalResult Result = Set.ShowModal(FWindow);
        if (FModalResult == mrNone) FModalResult = Result == mrNone ? mrCancel : Result;
    }
    return FModalResult;
}

TWindowProps TCustomForm::GetWindowProps() const {
    TWindowProps P;
    P.Caption = GetCaption();
    P.Left = GetLeft();
    P.Top = GetTop();
    P.ClientWidth = GetClientWidth();
    P.ClientHeight = GetClientHeight();
    P.Position = FPosition == poDesigned ? TWindowPosition::Designed : TWindowPosition::ScreenCenter;
    P.Color = GetColor();
    P.Font = GetFont()->GetData();
    return P;
}

void TCustomForm::CreateWindowHandle(TWidgetSet& Set) {
    if (WindowAllocated()) return;
    TWindowEvents Events;
    Events.OnCloseRequest = [this] { Close(); };
    FWindow = Set.CreateWindow(GetWindowProps(), std::move(Events));
    FWidgetSet = &Set;
    try {
        TWinControl::CreateWidget(Set, FWindow);
    } catch (...) {
        DestroyWindowHandle();
        throw;
    }
}

void TCustomForm::DestroyWindowHandle() {
    if (!WindowAllocated()) return;
    TWidgetSet* Set = FWidgetSet;
    TWinControl::DestroyWidget();
    Set->Destroy(FWindow);
    FWindow = NoWidget;
    FWidgetSet = nullptr;
}

void TCustomForm::Changed() {
    TWinControl::Changed();
    if (WindowAllocated()) FWidgetSet->UpdateWindow(FWindow, GetWindowProps());
}

void TCustomForm::FontChanged() {
    TWinControl::FontChanged();
    FTextHeight = 0;  // the designed height belongs to the old font
}

LRESULT TCustomForm::WindowProc(UINT Message, WPARAM, LPARAM) {
    if (Message == WM_FONTCHANGE && WindowAllocated()) {
        // Faces may have come or gone: everything is drawn again.
        for (int I = 0; I < ComponentCount(); ++I)
            if (auto* C = dynamic_cast<TControl*>(Components(I))) C->Invalidate();
    }
    return 0;
}

void TCustomForm::SaveScreenshot(const AnsiString& FileName) { SaveFormScreenshot(this, FileName); }

void SaveFormScreenshot(TCustomForm* Form, const AnsiString& PngFile) {
    if (Form->WindowAllocated()) {
        Form->FWidgetSet->SaveScreenshot(Form->FWindow, PngFile);
        return;
    }
    const std::unique_ptr<TWidgetSet> Set = CreateWidgetSet("headless");
    Form->CreateWindowHandle(*Set);
    struct TGuard {
        TCustomForm* Form;
        ~TGuard() { Form->DestroyWindowHandle(); }
    } Guard{Form};
    if (TWinControl* Active = Form->FActiveControl; Active && Active->CanFocus() && Active->WidgetAllocated())
        Set->SetFocus(Active->GetWidget());
    Set->SaveScreenshot(Form->FWindow, PngFile);
}

void TCustomForm::SetPixelsPerInch(int Value) {
    if (Value < 1) throw EPropertyError("Invalid PixelsPerInch %d", {Value});
    FPixelsPerInch = Value;
}

int TCustomForm::GetTextHeight() const {
    if (FTextHeight > 0) return FTextHeight;
    TCanvas Canvas;
    Canvas.GetFont()->SetData(GetFont()->GetData());
    return Canvas.TextHeight("0");
}

void TCustomForm::DefineProperties(TFiler* Filer) {
    TWinControl::DefineProperties(Filer);
    // PixelsPerInch is read through the published property and written
    // here, after the published ones; TextHeight exists only here.
    Filer->DefineProperty(
        "PixelsPerInch", nullptr, [this](TWriter* W) { W->WriteInteger(FPixelsPerInch); }, true);
    Filer->DefineProperty(
        "TextHeight", [this](TReader* R) { FTextHeight = R->ReadInteger(); },
        [this](TWriter* W) { W->WriteInteger(GetTextHeight()); }, true);
}

void TCustomForm::GetChildren(const TGetChildProc& Proc, TComponent* Root) {
    TWinControl::GetChildren(Proc, Root);
    if (Root != this) return;
    // Then the components that sit on no control.
    for (int I = 0; I < ComponentCount(); ++I) {
        TComponent* C = Components(I);
        if (!C->HasParent() && !C->ComponentState().Contains(csSubComponent)) Proc(C);
    }
}

// ------------------------------------------------------------------ TForm

TYPECASK_IMPLEMENT_CLASS(TForm)
void TForm::Publish(TPublisher<TForm>& P) {
    using namespace ControlPublish;
    P.Property("ActiveControl", &TCustomForm::GetActiveControl, &TCustomForm::SetActiveControl);
    P.Property("BorderIcons", &TCustomForm::GetBorderIcons, &TCustomForm::SetBorderIcons)
        .Default(TBorderIcons{biSystemMenu, biMinimize, biMaximize});
    P.Property("BorderStyle", &TCustomForm::GetBorderStyle, &TCustomForm::SetBorderStyle).Default(bsSizeable);
    Caption(P);
    P.Property("ClientHeight", &TControl::GetClientHeight, &TControl::SetClientHeight);
    P.Property("ClientWidth", &TControl::GetClientWidth, &TControl::SetClientWidth);
    Color(P, clBtnFace);
    Enabled(P);
    Font(P);
    Hint(P);
    ParentFont(P, false);
    P.Property("PixelsPerInch", &TCustomForm::GetPixelsPerInch, &TCustomForm::SetPixelsPerInch).Stored(false);
    P.Property("Position", &TCustomForm::GetPosition, &TCustomForm::SetPosition).Default(poDesigned);
    P.Property("ShowHint", &TControl::GetShowHint, &TControl::SetShowHint).Default(false);
    P.Property("Visible", &TControl::GetVisible, &TControl::SetVisible).Default(false);
    P.Property("OnCloseQuery", &TCustomForm::OnCloseQuery, &TCustomForm::OnCloseQuery);
    P.Property("OnCreate", &TCustomForm::OnCreate, &TCustomForm::OnCreate);
    P.Property("OnShow", &TCustomForm::OnShow, &TCustomForm::OnShow);
}

TForm::TForm(TComponent* Owner) : TCustomForm(Owner) {}
TForm::TForm(TComponent* Owner, int Dummy) : TCustomForm(Owner, Dummy) {}
TForm::~TForm() = default;

// ------------------------------------------------------------ TDataModule

TYPECASK_IMPLEMENT_CLASS(TDataModule)
void TDataModule::Publish(TPublisher<TDataModule>& P) {
    P.Property("OnCreate", &TDataModule::OnCreate, &TDataModule::OnCreate);
}

TDataModule::TDataModule(TComponent* Owner) : TComponent(Owner) {}
TDataModule::TDataModule(TComponent* Owner, int) : TComponent(Owner) {}
TDataModule::~TDataModule() { DestroyComponents(); }

void TDataModule::CreateFromResource() {
    FReadingRoot = true;
    try {
        const bool Found = InitInheritedComponent(this, TDataModule::StaticClass());
        FReadingRoot = false;
        if (!Found) throw EResNotFound("Resource %s not found", {ClassName()});
    } catch (...) {
        FReadingRoot = false;
        throw;
    }
    OnCreate(this);
}

void TDataModule::SetName(const AnsiString& NewName) {
    TComponent::SetName(FReadingRoot ? UniqueRootName(this, NewName) : NewName);
}

void TDataModule::DefineProperties(TFiler* Filer) {
    TComponent::DefineProperties(Filer);
    // The place and size of the module in the designer.
    auto Define = [&](const char* Name, int TPoint::*Part, TPoint TDataModule::*Field) {
        Filer->DefineProperty(
            Name, [this, Part, Field](TReader* R) { (this->*Field).*Part = R->ReadInteger(); },
            [this, Part, Field](TWriter* W) { W->WriteInteger((this->*Field).*Part); }, true);
    };
    Define("Left", &TPoint::X, &TDataModule::FDesignOffset);
    Define("Top", &TPoint::Y, &TDataModule::FDesignOffset);
    Define("Height", &TPoint::Y, &TDataModule::FDesignSize);
    Define("Width", &TPoint::X, &TDataModule::FDesignSize);
}

// ----------------------------------------------------------- TApplication

TYPECASK_IMPLEMENT_CLASS(TApplication)
void TApplication::Publish(TPublisher<TApplication>&) {}

TApplication::TApplication(TComponent* Owner) : TComponent(Owner) {}
TApplication::~TApplication() = default;

void TApplication::SetMainForm(TCustomForm* Value) {
    if (FMainForm) FMainForm->RemoveFreeNotification(this);
    FMainForm = Value;
    if (Value) Value->FreeNotification(this);
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FMainForm) FMainForm = nullptr;
}

TApplication* const Application = new TApplication(nullptr);

namespace {

// Form data names these classes; the reader creates them by name.
const bool FormClassesRegistered = [] {
    RegisterClasses({TForm::StaticClass(), TDataModule::StaticClass()});
    return true;
}();

}  // namespace
