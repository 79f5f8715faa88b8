#include "SampleComponents.h"

TYPECASK_IMPLEMENT_CLASS(TSampleOptions)
void TSampleOptions::Publish(TPublisher<TSampleOptions>& P) {
    P.Property("Caption", &TSampleOptions::FCaption, &TSampleOptions::FCaption);
    P.Property("Level", &TSampleOptions::FLevel, &TSampleOptions::FLevel).Default(0);
}

void TSampleOptions::Assign(TPersistent* Source) {
    if (auto* Other = dynamic_cast<TSampleOptions*>(Source)) {
        FCaption = Other->FCaption;
        FLevel = Other->FLevel;
        return;
    }
    TPersistent::Assign(Source);
}

TYPECASK_IMPLEMENT_CLASS(TSampleWidget)
void TSampleWidget::Publish(TPublisher<TSampleWidget>& P) {
    P.Property("Count", &TSampleWidget::FCount, &TSampleWidget::FCount).Default(0);
    P.Property("Enabled", &TSampleWidget::FEnabled, &TSampleWidget::FEnabled).Default(true);
    P.Property("Shade", &TSampleWidget::FShade, &TSampleWidget::FShade).Default(shLight);
    P.Property("Shades", &TSampleWidget::FShades, &TSampleWidget::FShades);
    P.Property("Caption", &TSampleWidget::FCaption, &TSampleWidget::SetCaption);
    P.Property("Options", &TSampleWidget::FOptions, &TSampleWidget::SetOptions);
    P.Property("Extra", &TSampleWidget::FExtra, &TSampleWidget::SetExtra);
    P.Property("Buddy", &TSampleWidget::FBuddy, &TSampleWidget::FBuddy);
    P.Property("Serial", &TSampleWidget::GetSerial).Stored(false);
    P.Property("Strict", &TSampleWidget::FStrict, &TSampleWidget::SetStrict).Default(0);
    P.Property("OnClick", &TSampleWidget::FOnClick, &TSampleWidget::FOnClick);
    P.Property("OnChange", &TSampleWidget::FOnChange, &TSampleWidget::FOnChange);
}

TSampleWidget::TSampleWidget(TComponent* Owner) : TComponent(Owner) {}

void TSampleWidget::SetOptions(TSampleOptions* Value) {
    ++FOptionsSets;
    FLastOptions = Value;
    FOptions->Assign(Value);
}

void TSampleWidget::SetCaption(AnsiString Value) {
    FDesigningInSetter = ComponentState().Contains(csDesigning);
    FCaption = std::move(Value);
}

void TSampleWidget::SetStrict(int Value) {
    if (Value < 0) throw Exception("Strict value %d refused", {Value});
    FStrict = Value;
}

TYPECASK_IMPLEMENT_CLASS(TSampleWidgetEx)
void TSampleWidgetEx::Publish(TPublisher<TSampleWidgetEx>&) {}

TYPECASK_IMPLEMENT_CLASS(TOtherSample)
void TOtherSample::Publish(TPublisher<TOtherSample>& P) {
    P.Property("Options", &TOtherSample::FOptions, &TOtherSample::SetOptions);
}

TYPECASK_IMPLEMENT_CLASS(TSampleForm)
void TSampleForm::Publish(TPublisher<TSampleForm>& P) {
    P.Property("OnCreate", &TSampleForm::FOnCreate, &TSampleForm::FOnCreate);
    P.Method("WidgetClick", &TSampleForm::WidgetClick);
    P.Method("SampleWidget1Click", &TSampleForm::SampleWidget1Click);
    P.Method("SampleWidget1Change", &TSampleForm::SampleWidget1Change);
    P.Method("SampleFormCreate", &TSampleForm::SampleFormCreate);
    P.Method("Scrolled", &TSampleForm::Scrolled);
}

TYPECASK_IMPLEMENT_CLASS(TSampleLoop)
void TSampleLoop::Publish(TPublisher<TSampleLoop>& P) {
    P.Property("Value", &TSampleLoop::FValue, &TSampleLoop::FValue);
    P.Property("Self", &TSampleLoop::GetSelf);
}

TYPECASK_IMPLEMENT_CLASS(TLoopHolder)
void TLoopHolder::Publish(TPublisher<TLoopHolder>& P) { P.Property("Loop", &TLoopHolder::FLoop); }

void RegisterSampleClasses() {
    RegisterClasses({TSampleWidget::StaticClass(), TSampleWidgetEx::StaticClass(), TOtherSample::StaticClass(),
                     TSampleForm::StaticClass()});
}
