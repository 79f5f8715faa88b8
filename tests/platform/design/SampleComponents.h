// Components for the design-time tests: one property of each kind, a
// sub-object, events, a component reference and a setter that refuses
// values, plus a form class that publishes event handlers.
#pragma once

#include <memory>
#include <typeindex>

#include "platform/Classes.h"

// The class of the object that Pointer (a smart pointer) holds; the object is
// named first, since typeid of an expression that calls a function warns.
template <class TPointer>
std::type_index ClassOf(const TPointer& Pointer) {
    const auto& Object = *Pointer;
    return typeid(Object);
}

enum TShade { shLight, shMedium, shDark };
TYPECASK_ENUM(TShade, shLight, shMedium, shDark)
using TShades = TSet<TShade>;

struct TSampleEvent : TEvent<TObject*, int> {
    using TEvent::TEvent;
    static const char* TypeName() { return "TSampleEvent"; }
};

class TSampleOptions : public TPersistent {
    TYPECASK_CLASS(TSampleOptions, TPersistent)

public:
    AnsiString FCaption;
    int FLevel = 0;
    void Assign(TPersistent* Source) override;
};

class TSampleWidget : public TComponent {
    TYPECASK_CLASS(TSampleWidget, TComponent)

public:
    explicit TSampleWidget(TComponent* Owner);

    int FCount = 0;
    bool FEnabled = true;
    TShade FShade = shLight;
    TShades FShades;
    AnsiString FCaption;
    TSampleOptions FOptionsObject;
    TSampleOptions* FOptions = &FOptionsObject;
    TSampleOptions FExtraObject;
    TSampleOptions* FExtra = &FExtraObject;
    TSampleWidget* FBuddy = nullptr;
    TNotifyEvent FOnClick;
    TNotifyEvent FOnChange;
    int FStrict = 0;
    int FOptionsSets = 0;                // calls of SetOptions
    TSampleOptions* FLastOptions = nullptr;  // the object SetOptions was given
    bool FDesigningInSetter = false;     // csDesigning seen by SetCaption

    // Copies the given object, as a sub-object's setter must.
    void SetOptions(TSampleOptions* Value);
    void SetExtra(TSampleOptions* Value) { FExtra->Assign(Value); }
    void SetCaption(AnsiString Value);
    // Refuses negative values.
    void SetStrict(int Value);
    int GetSerial() const { return 99; }
};

class TSampleWidgetEx : public TSampleWidget {
    TYPECASK_CLASS(TSampleWidgetEx, TSampleWidget)

public:
    using TSampleWidget::TSampleWidget;
};

// Another class with a property of the same type and name as TSampleWidget.
class TOtherSample : public TComponent {
    TYPECASK_CLASS(TOtherSample, TComponent)

public:
    explicit TOtherSample(TComponent* Owner) : TComponent(Owner) {}
    TSampleOptions FOptionsObject;
    TSampleOptions* FOptions = &FOptionsObject;
    void SetOptions(TSampleOptions* Value) { FOptions->Assign(Value); }
};

// The form: its published methods are the handlers events can be bound to.
class TSampleForm : public TComponent {
    TYPECASK_CLASS(TSampleForm, TComponent)

public:
    explicit TSampleForm(TComponent* Owner = nullptr) : TComponent(Owner) {}
    TNotifyEvent FOnCreate;
    int FClicks = 0;
    void WidgetClick(TObject*) { ++FClicks; }
    void SampleWidget1Click(TObject*) { ++FClicks; }
    void SampleWidget1Change(TObject*) {}
    void SampleFormCreate(TObject*) {}
    void Scrolled(TObject*, int) {}
};

// An object that publishes itself, held read-only by a component: an object
// inspector must not expand it for ever.
class TSampleLoop : public TPersistent {
    TYPECASK_CLASS(TSampleLoop, TPersistent)

public:
    int FValue = 1;
    TSampleLoop* GetSelf() const { return const_cast<TSampleLoop*>(this); }
};

class TLoopHolder : public TComponent {
    TYPECASK_CLASS(TLoopHolder, TComponent)

public:
    explicit TLoopHolder(TComponent* Owner) : TComponent(Owner) {}
    TSampleLoop FLoopObject;
    TSampleLoop* FLoop = &FLoopObject;
};

// Registers the classes above with the class registry (for reading forms).
void RegisterSampleClasses();
