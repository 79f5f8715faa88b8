// Forms, data modules and the application object.
//
// A form class declares its controls as published fields and its event
// handlers as published methods, and builds itself from its form resource:
//
//     class TFormPicker : public TForm {
//         TYPECASK_CLASS(TFormPicker, TForm)
//     public:
//         explicit TFormPicker(TComponent* Owner) : TForm(Owner) { CreateFromResource(); }
//         TListBox* ListBoxNames = nullptr;
//         TBitBtn* BitBtnOK = nullptr;
//         void FormCreate(TObject* Sender);
//         void ListBoxNamesClick(TObject* Sender);
//     };
//     TYPECASK_IMPLEMENT_CLASS(TFormPicker)
//     void TFormPicker::Publish(TPublisher<TFormPicker>& P) {
//         P.Field("ListBoxNames", &TFormPicker::ListBoxNames);
//         P.Field("BitBtnOK", &TFormPicker::BitBtnOK);
//         P.Method("FormCreate", &TFormPicker::FormCreate);
//         P.Method("ListBoxNamesClick", &TFormPicker::ListBoxNamesClick);
//     }
//
// The form resource is an RCDATA resource named after the class in upper
// case (TFORMPICKER) holding the binary form data; it is looked for in the
// module that contains the class, then in every registered module (the
// latest first), then in the main program. CreateFromResource reads it into
// the form itself: the controls are created and named, the published fields
// receive them, event properties are bound by name to the form's published
// methods, component references (ActiveControl) are resolved, and OnCreate
// fires last. It runs in the body of the form class's constructor, where the
// whole object exists, so that the form's fields and methods can be used.
//
// ShowModal shows the form through the widgetset in use (WidgetSet()) and
// returns the modal result; the form's widgets exist only while it is shown.
#pragma once

#include "platform/Controls.h"
#include "platform/os/Windows.h"

// No resource of that name exists ("Resource X not found").
class EResNotFound : public Exception {
public:
    using Exception::Exception;
};

// Reads the form resources of Instance's class and of its ancestors below
// RootAncestor (ancestors first) into Instance. Returns false when none of
// them has a resource.
bool InitInheritedComponent(TComponent* Instance, TClass RootAncestor);
// The form resource of a class by name: the module it was found in and its
// bytes; false when no module has it.
bool FindFormResource(TClass Class, const void*& Data, std::size_t& Size);

// A form that a module carries: an RCDATA resource holding binary form data,
// named after the form's class.
struct TFormResource {
    Os::TResourceId Resource;  // the resource's name
    WORD Language = 0;
    AnsiString ClassName;  // the form's class and name, as its data gives them
    AnsiString Name;
    const std::uint8_t* Data = nullptr;  // within the resource image
    std::size_t Size = 0;
};
// The forms among a module's resources, in the order of the resources; from
// a module file that is not loaded with Os::TResourceImage::FromFile. Only
// the start of each form is read; RCDATA that holds no form data is passed
// over.
std::vector<TFormResource> ListFormResources(const Os::TResourceImage& Resources);

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
TYPECASK_ENUM(TFormBorderStyle, bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin)

enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
TYPECASK_ENUM(TBorderIcon, biSystemMenu, biMinimize, biMaximize, biHelp)
using TBorderIcons = TSet<TBorderIcon>;

enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter };
TYPECASK_ENUM(TPosition, poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter)

// OnCloseQuery(Sender, CanClose): CanClose comes true; false keeps the form open.
struct TCloseQueryEvent : TEvent<TObject*, bool&> {
    using TEvent::TEvent;
    static const char* TypeName() { return "TCloseQueryEvent"; }
};

// ----------------------------------------------------------- TCustomForm

class TCustomForm : public TWinControl {
    TYPECASK_CLASS(TCustomForm, TWinControl)

public:
    // An empty form that its class's constructor builds from the form
    // resource (CreateFromResource). A form of a derived class that never
    // did refuses ShowModal.
    explicit TCustomForm(TComponent* Owner);
    // An empty form without a resource, complete as it is (the class
    // library's CreateNew).
    TCustomForm(TComponent* Owner, int Dummy);
    // Destroys the controls and leaves the broadcast listeners.
    ~TCustomForm() override;

    // ---- frame and placement
    TFormBorderStyle GetBorderStyle() const { return FBorderStyle; }
    // Keeps the client size.
    void SetBorderStyle(TFormBorderStyle Value);
    TBorderIcons GetBorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons Value);
    TPosition GetPosition() const { return FPosition; }
    void SetPosition(TPosition Value);
    // The frame around the client area: the border on each side and the
    // caption bar above.
    int BorderWidth() const;
    int CaptionHeight() const;
    int GetClientWidth() const override { return GetWidth() - 2 * BorderWidth(); }
    void SetClientWidth(int Value) override { SetWidth(Value + 2 * BorderWidth()); }
    int GetClientHeight() const override { return GetHeight() - 2 * BorderWidth() - CaptionHeight(); }
    void SetClientHeight(int Value) override { SetHeight(Value + 2 * BorderWidth() + CaptionHeight()); }
    bool IsSizeStored() const override { return false; }

    // ---- focus
    // The control that has (or gets, when the form is shown) the focus.
    TWinControl* GetActiveControl() const;
    // Raises EInvalidOperation when Value is not on this form, or (outside
    // form reading) cannot take the focus.
    void SetActiveControl(TWinControl* Value);

    // ---- modal showing
    // Shows the form modally and returns its modal result once it is set
    // (a button with a modal result, Close: mrCancel). Raises
    // EInvalidOperation when the form is shown already.
    virtual int ShowModal();
    TModalResult GetModalResult() const { return FModalResult; }
    // Setting a result other than mrNone ends a modal showing with it.
    void SetModalResult(TModalResult Value);
    // Asks OnCloseQuery; when it agrees, a modal form ends with mrCancel.
    void Close();
    virtual bool CloseQuery();
    bool IsModal() const { return FModal; }

    // ---- the window
    // The window's handle for messages (SendMessageA); every form is a
    // top-level window that receives broadcasts.
    HWND GetHandle() const { return reinterpret_cast<HWND>(const_cast<TCustomForm*>(this)); }
    // A message sent to the form. WM_FONTCHANGE repaints it.
    virtual LRESULT WindowProc(UINT Message, WPARAM WParam, LPARAM LParam);
    TWidgetHandle GetWindow() const { return FWindow; }
    bool WindowAllocated() const { return FWindow != NoWidget; }
    // Writes the client area as shown to a PNG file of the client size;
    // a form that is not shown is rendered through a private headless
    // widgetset.
    void SaveScreenshot(const AnsiString& FileName);

    // ---- stored values
    int GetPixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int Value);
    // The height of "0" in the form's font when the form was designed.
    int GetTextHeight() const;

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TCloseQueryEvent OnCloseQuery;

    void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;
    void DefineProperties(TFiler* Filer) override;
    void SetName(const AnsiString& NewName) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    // Builds the form from its form resource and fires OnCreate; call it
    // first in the constructor body of a form class. Raises EResNotFound
    // "Resource TFormX not found" when the class has no form resource.
    void CreateFromResource();
    void DoCreate();
    void Changed() override;
    void FontChanged() override;
    TWindowProps GetWindowProps() const;

private:
    friend class TControl;
    friend class TWinControl;
    friend void SaveFormScreenshot(TCustomForm* Form, const AnsiString& PngFile);

    void Init();
    void CreateWindowHandle(TWidgetSet& Set);
    void DestroyWindowHandle();
    void ControlRemoved(TControl* Control);

    TFormBorderStyle FBorderStyle = bsSizeable;
    TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
    TPosition FPosition = poDesigned;
    TWinControl* FActiveControl = nullptr;
    TModalResult FModalResult = mrNone;
    bool FModal = false;
    bool FAwaitingResource = false;
    bool FReadingRoot = false;
    int FPixelsPerInch = ScreenPixelsPerInch;
    int FTextHeight = 0;
    TWidgetHandle FWindow = NoWidget;
    int FListener = 0;
};

// ------------------------------------------------------------------ TForm

class TForm : public TCustomForm {
    TYPECASK_CLASS(TForm, TCustomForm)

public:
    explicit TForm(TComponent* Owner);
    TForm(TComponent* Owner, int Dummy);
    ~TForm() override;
};

// Writes Form's client area as shown (or as it would be shown) to a PNG
// file of the client size.
void SaveFormScreenshot(TCustomForm* Form, const AnsiString& PngFile);

// ------------------------------------------------------------ TDataModule

// A non-visual root component: a container of components that is built
// from its resource like a form.
class TDataModule : public TComponent {
    TYPECASK_CLASS(TDataModule, TComponent)

public:
    // As TCustomForm: the class's constructor calls CreateFromResource.
    explicit TDataModule(TComponent* Owner);
    // An empty data module without a resource.
    TDataModule(TComponent* Owner, int Dummy);
    ~TDataModule() override;

    TNotifyEvent OnCreate;

    TPoint GetDesignOffset() const { return FDesignOffset; }
    void SetDesignOffset(TPoint Value) { FDesignOffset = Value; }
    TPoint GetDesignSize() const { return FDesignSize; }
    void SetDesignSize(TPoint Value) { FDesignSize = Value; }

    void DefineProperties(TFiler* Filer) override;
    void SetName(const AnsiString& NewName) override;

protected:
    // Builds the data module from its resource and fires OnCreate. Raises
    // EResNotFound when there is none.
    void CreateFromResource();

private:
    TPoint FDesignOffset;
    TPoint FDesignSize;
    bool FReadingRoot = false;
};

// ----------------------------------------------------------- TApplication

// The application object: owner of dialogs and keeper of the main form.
class TApplication : public TComponent {
    TYPECASK_CLASS(TApplication, TComponent)

public:
    explicit TApplication(TComponent* Owner);
    ~TApplication() override;

    const AnsiString& GetTitle() const { return FTitle; }
    void SetTitle(const AnsiString& Value) { FTitle = Value; }
    TCustomForm* GetMainForm() const { return FMainForm; }
    void SetMainForm(TCustomForm* Value);
    // Lets the widgetset handle what is pending. The modal loops of the
    // widgetsets handle their own messages, so outside them nothing waits.
    void ProcessMessages() {}

    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    AnsiString FTitle;
    TCustomForm* FMainForm = nullptr;
};

// The one application object of the process. It is never destroyed, so
// that dialogs it still owns at exit are not torn down after the widgetset.
extern TApplication* const Application;
