// Test components that mirror the classes of FormPeer.pas property for
// property, so that both sides write the same form data for the same state.
#pragma once

#include <memory>

#include "platform/Classes.h"

enum TTestKind { kdNone, kdOne, kdTwo };
TYPECASK_ENUM(TTestKind, kdNone, kdOne, kdTwo)
enum TTestOption { opA, opB, opC };
TYPECASK_ENUM(TTestOption, opA, opB, opC)
using TTestOptions = TSet<TTestOption>;

class TTestFontName : public TPersistent {
    TYPECASK_CLASS(TTestFontName, TPersistent)

public:
    TTestFontName() = default;
    AnsiString FTTFontName;
    virtual void SetTTFontName(AnsiString Value) { FTTFontName = std::move(Value); }
};

class TTestFontHolder : public TComponent {
    TYPECASK_CLASS(TTestFontHolder, TComponent)

public:
    explicit TTestFontHolder(TComponent* Owner) : TComponent(Owner) {}

    bool FPermanent = true;
    TTestFontName FFontNameObject;
    TTestFontName* FFontName = &FFontNameObject;
    int FCount = 0;
    std::int64_t FBig = 0;
    TTestKind FKind = kdNone;
    TTestOptions FOptions;
    AnsiString FCaption;
    TStringList FItemsObject;
    TStrings* FItems = &FItemsObject;
    TNotifyEvent FOnChange;
    std::unique_ptr<TMemoryStream> FFontData;

    virtual void SetPermanent(bool Value) { FPermanent = Value; }
    virtual void SetFontName(TTestFontName* Value) { FFontName->SetTTFontName(Value->FTTFontName); }
    void SetItems(TStrings* Value) { FItems->Assign(Value); }
    // Size bytes of the pattern that FormPeer computes too; -1 for none.
    void SetFontData(int Size);
    void ReadFontData(TStream* Stream);
    void WriteFontData(TStream* Stream);
    void DefineProperties(TFiler* Filer) override;
};

class TTestRoot : public TComponent {
    TYPECASK_CLASS(TTestRoot, TComponent)

public:
    explicit TTestRoot(TComponent* Owner = nullptr) : TComponent(Owner) {}
    int FChanges = 0;
    void HolderChange(TObject*) { ++FChanges; }
};

// The test form CASE, as FormPeer's MakeCase builds it.
std::unique_ptr<TTestRoot> MakeCase(int N);
