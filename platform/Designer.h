// The form designer: holds a form or data module in design state, reads and
// writes its form data, drops components from the palette onto it, and is
// the IDesigner that property and component editors report to. Also the
// listing an object inspector shows for a component.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/DesignEditors.h"
#include "platform/DesignIntf.h"
#include "platform/Streams.h"

enum class TFormDataFormat { Binary, Text };

class TFormDesigner : public IDesigner {
public:
    // Decides, for an error met while form data is read, whether reading goes
    // on (true: the property or component is skipped) or stops with it.
    using TReadErrorEvent = std::function<bool(const Exception& E)>;

    // Designs Root, which stays the caller's; Root and its components are
    // marked csDesigning (and stay so).
    explicit TFormDesigner(TComponent* Root);
    // Designs Root and deletes it with the designer.
    explicit TFormDesigner(std::unique_ptr<TComponent> Root);
    ~TFormDesigner() override;

    // Opens form data (binary, or the text form) at Stream's position: the
    // root is created from the class that the data names (it must be
    // registered), put into design state and read as SetOnReadError says
    // (by default going on after every error). Raises the error that stopped
    // reading; nothing is left behind then.
    static std::unique_ptr<TFormDesigner> Open(TStream* Stream, TReadErrorEvent OnReadError = {});
    static std::unique_ptr<TFormDesigner> OpenFile(const AnsiString& FileName, TReadErrorEvent OnReadError = {});

    // Reads form data (binary or text) at Stream's position into the root,
    // in design state. An error in a property skips that property, an error
    // in a component skips that component, and reading goes on; every
    // error's message is collected in ReadErrors. Errors after the data is
    // read (in Loaded) pass out.
    void ReadForm(TStream* Stream);
    void LoadFromFile(const AnsiString& FileName);
    // The messages of the errors met by the last ReadForm, in order.
    const std::vector<AnsiString>& ReadErrors() const { return FReadErrors; }
    void SetOnReadError(TReadErrorEvent Handler) { FOnReadError = std::move(Handler); }

    // Writes the root with its components as form data at Stream's position
    // and clears IsModified.
    void WriteForm(TStream* Stream, TFormDataFormat Format = TFormDataFormat::Binary);
    // Writes the file in one step: it holds either the old or the new form.
    void SaveToFile(const AnsiString& FileName, TFormDataFormat Format = TFormDataFormat::Binary);

    // Creates a component of Class (a creatable component class) owned by
    // the root, in Parent when it is a control, names it UniqueName of its
    // class name without the leading T (TTypecask: Typecask1, Typecask2, ...)
    // and reports Modified.
    TComponent* DropComponent(TClass Class, TComponent* Parent = nullptr);
    // The base of the names DropComponent gives: the class name without its
    // leading T ("Typecask" for TTypecask); a class named just "T" or not
    // starting with T keeps its name.
    static AnsiString ComponentBaseName(TClass Class);

    std::unique_ptr<TComponentEditor> GetComponentEditor(TComponent* Component);
    // The editor of a property of Instance by path: a published property's
    // name, or names joined with dots through sub-properties
    // ("TypecaskName.TTFontName"); letter case ignored. Raises EPropertyError
    // when there is no such editor.
    std::unique_ptr<TPropertyEditor> GetPropertyEditor(TPersistent* Instance, const AnsiString& Path);

    bool IsModified() const { return FModified; }
    // Called after every Modified.
    void SetOnModified(std::function<void()> Handler) { FOnModified = std::move(Handler); }

    // IDesigner
    TComponent* GetRoot() const override { return FRoot; }
    void Modified() override;
    AnsiString UniqueName(const AnsiString& BaseName) override;
    TComponent* GetComponent(const AnsiString& Name) override;
    AnsiString GetComponentName(TComponent* Component) override;
    void GetComponentNames(TClass Class, const TGetStrProc& Proc) override;
    bool MethodExists(const AnsiString& Name, const TTypeInfo* EventType) override;
    TMethod FindMethod(const AnsiString& Name, const TTypeInfo* EventType) override;
    AnsiString GetMethodName(const TMethod& Method) override;
    void GetMethods(const TTypeInfo* EventType, const TGetStrProc& Proc) override;

private:
    TComponent* FRoot;
    std::unique_ptr<TComponent> FOwnedRoot;
    std::vector<AnsiString> FReadErrors;
    TReadErrorEvent FOnReadError;
    std::function<void()> FOnModified;
    bool FModified = false;
};

// One row of an object inspector: a property or sub-property at Depth (0 for
// the object's own properties), its value and attributes. Error holds the
// message when reading the value raised (Value is empty then).
struct TInspectorRow {
    int Depth = 0;
    AnsiString Name;
    AnsiString Value;
    TPropertyAttributes Attributes;
    AnsiString Error;
};

// Every property an object inspector shows for Instance, in published
// order, each followed by its sub-properties (paSubProperties) expanded
// recursively. An object met again on its own path is not expanded again.
std::vector<TInspectorRow> InspectObject(TPersistent* Instance, IDesigner* Designer);
