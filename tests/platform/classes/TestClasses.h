// Components with one published property of every kind, for the tests of
// the object model and the form streamers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Classes.h"

enum TThingKind { tkdNone, tkdSmall, tkdLarge };
TYPECASK_ENUM(TThingKind, tkdNone, tkdSmall, tkdLarge)
enum TThingFlag { tfBold, tfItalic, tfUnderline };
TYPECASK_ENUM(TThingFlag, tfBold, tfItalic, tfUnderline)
using TThingFlags = TSet<TThingFlag>;
enum TThingColor : std::int32_t {};
TYPECASK_INTEGER_TYPE(TThingColor, {"clBlack", 0}, {"clWindowText", -16777208})

// A setter that refuses some values, raising an error of the component's own.
class ETestError : public Exception {
public:
    using Exception::Exception;
};

class TInner : public TPersistent {
    TYPECASK_CLASS(TInner, TPersistent)

public:
    int FValue = 0;
};

class TSubObject : public TPersistent {
    TYPECASK_CLASS(TSubObject, TPersistent)

public:
    AnsiString FText;
    TInner FInnerObject;
    TInner* FInner = &FInnerObject;
    virtual void SetText(AnsiString Value) { FText = std::move(Value); }
    AnsiString GetText() { return FText; }
};

// Records what happened to it, in one log shared by all things.
class TThing : public TComponent {
    TYPECASK_CLASS(TThing, TComponent)

public:
    explicit TThing(TComponent* Owner) : TComponent(Owner) {}

    static std::vector<std::string>& Log();

    bool FEnabled = true;
    int FCount = 0;
    std::int64_t FBig = 0;
    TThingKind FKind = tkdNone;
    TThingFlags FFlags = {tfBold};
    TThingColor FColor = TThingColor(0);
    AnsiString FCaption;
    TSubObject FSubObject;
    TSubObject* FSub = &FSubObject;
    TStringList FLinesObject;
    TStrings* FLines = &FLinesObject;
    TThing* FBuddy = nullptr;
    TNotifyEvent FOnClick;
    AnsiString FHidden;
    AnsiString FVersion[3];
    std::unique_ptr<TMemoryStream> FData;
    // The component state seen by the last setter call.
    TComponentState FStateInSetter;

    virtual void SetEnabled(bool Value);
    virtual void SetCaption(AnsiString Value);
    void SetBuddy(TThing* Value) { FBuddy = Value; }
    void SetSub(TSubObject* Value) { FSub->SetText(Value->FText); }
    void SetLines(TStrings* Value) { FLines->Assign(Value); }
    AnsiString GetVersion(int Index) { return FVersion[Index]; }  // not const, as TVersionInfo has it
    void SetVersion(int Index, AnsiString Value) { FVersion[Index] = std::move(Value); }
    bool IsHiddenStored() const { return FHidden != "skip"; }

    void DefineProperties(TFiler* Filer) override;
    void Loaded() override;

private:
    void ReadData(TStream* S);
    void WriteData(TStream* S);
};

// A descendant whose overridden setter must be the one the reader calls.
class TLoudThing : public TThing {
    TYPECASK_CLASS(TLoudThing, TThing)

public:
    using TThing::TThing;
    void SetCaption(AnsiString Value) override { TThing::SetCaption(Value + "!"); }
};

class TThingForm : public TComponent {
    TYPECASK_CLASS(TThingForm, TComponent)

public:
    explicit TThingForm(TComponent* Owner = nullptr) : TComponent(Owner) {}
    TThing* Thing1 = nullptr;
    int FClicks = 0;
    void ThingClick(TObject*) { ++FClicks; }
    void WrongSignature(int) {}
    void NotPublished(TObject*) {}
    void Loaded() override;
};

// Form data as bytes, and the text form of bytes.
std::string WriteForm(TComponent* Root);
std::string FormText(const std::string& Binary);
std::string TextToForm(const std::string& Text);
// Reads Binary into Root; OnError optional.
void ReadForm(const std::string& Binary, TComponent* Root, const TReader::TReaderErrorEvent& OnError = {});
