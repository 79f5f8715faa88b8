#include "tests/platform/classes/TestClasses.h"

TYPECASK_IMPLEMENT_CLASS(TInner)
void TInner::Publish(TPublisher<TInner>& P) { P.Property("Value", &TInner::FValue, &TInner::FValue).Default(0); }

TYPECASK_IMPLEMENT_CLASS(TSubObject)
void TSubObject::Publish(TPublisher<TSubObject>& P) {
    P.Property("Text", &TSubObject::GetText, &TSubObject::SetText);
    P.Property("Inner", &TSubObject::FInner);
}

TYPECASK_IMPLEMENT_CLASS(TThing)
void TThing::Publish(TPublisher<TThing>& P) {
    P.Property("Enabled", &TThing::FEnabled, &TThing::SetEnabled).Default(true);
    P.Property("Count", &TThing::FCount, &TThing::FCount).Default(0);
    P.Property("Big", &TThing::FBig, &TThing::FBig).Default(0);
    P.Property("Kind", &TThing::FKind, &TThing::FKind).Default(tkdNone);
    P.Property("Flags", &TThing::FFlags, &TThing::FFlags).Default(TThingFlags{tfBold});
    P.Property("Color", &TThing::FColor, &TThing::FColor).Default(TThingColor(0));
    P.Property("Caption", &TThing::FCaption, &TThing::SetCaption);
    P.Property("Sub", &TThing::FSub, &TThing::SetSub);
    P.Property("Lines", &TThing::FLines, &TThing::SetLines);
    P.Property("Buddy", &TThing::FBuddy, &TThing::SetBuddy);
    P.Property("OnClick", &TThing::FOnClick, &TThing::FOnClick);
    P.Property("Hidden", &TThing::FHidden, &TThing::FHidden).Stored(&TThing::IsHiddenStored);
    P.IndexedProperty("Major", 0, &TThing::GetVersion, &TThing::SetVersion);
    P.IndexedProperty("Minor", 1, &TThing::GetVersion, &TThing::SetVersion);
    P.IndexedProperty("Never", 2, &TThing::GetVersion, &TThing::SetVersion).Stored(false);
}

std::vector<std::string>& TThing::Log() {
    static std::vector<std::string> L;
    return L;
}

void TThing::SetEnabled(bool Value) {
    FStateInSetter = ComponentState();
    FEnabled = Value;
}

void TThing::SetCaption(AnsiString Value) {
    FStateInSetter = ComponentState();
    if (Value == "refuse") throw ETestError("caption refused");
    FCaption = std::move(Value);
    Log().push_back(GetName() + ".Caption");
}

void TThing::DefineProperties(TFiler* Filer) {
    TComponent::DefineProperties(Filer);
    Filer->DefineBinaryProperty("Data", this, &TThing::ReadData, &TThing::WriteData, FData != nullptr);
}

void TThing::ReadData(TStream* S) {
    FData = std::make_unique<TMemoryStream>();
    FData->CopyFrom(S, S->GetSize());
    Log().push_back(GetName() + ".Data");
}

void TThing::WriteData(TStream* S) {
    FData->SetPosition(0);
    if (FData->GetSize()) S->CopyFrom(FData.get(), FData->GetSize());
}

void TThing::Loaded() {
    TComponent::Loaded();
    // What the whole form looks like when this component hears that it is
    // read: the other components are there and their values are set.
    std::string Entry = GetName() + ".Loaded";
    if (Owner())
        for (int I = 0; I < Owner()->ComponentCount(); ++I)
            if (auto* T = dynamic_cast<TThing*>(Owner()->Components(I))) Entry += " " + T->FCaption;
    if (ComponentState().Contains(csLoading) || ComponentState().Contains(csReading)) Entry += " still-loading";
    Log().push_back(Entry);
}

TYPECASK_IMPLEMENT_CLASS(TLoudThing)
void TLoudThing::Publish(TPublisher<TLoudThing>&) {}

TYPECASK_IMPLEMENT_CLASS(TThingForm)
void TThingForm::Publish(TPublisher<TThingForm>& P) {
    P.Method("ThingClick", &TThingForm::ThingClick);
    P.Method("WrongSignature", &TThingForm::WrongSignature);
    P.Field("Thing1", &TThingForm::Thing1);
}

void TThingForm::Loaded() {
    TComponent::Loaded();
    TThing::Log().push_back(GetName() + ".Loaded");
}

namespace {
std::string Bytes(TMemoryStream& S) {
    return {reinterpret_cast<const char*>(S.GetMemory()), static_cast<std::size_t>(S.GetSize())};
}
void Fill(TMemoryStream& S, const std::string& Data) {
    S.WriteBuffer(Data.data(), static_cast<std::int64_t>(Data.size()));
    S.SetPosition(0);
}
}  // namespace

std::string WriteForm(TComponent* Root) {
    TMemoryStream S;
    WriteComponentToStream(&S, Root);
    return Bytes(S);
}

std::string FormText(const std::string& Binary) {
    TMemoryStream In, Out;
    Fill(In, Binary);
    ObjectBinaryToText(&In, &Out);
    return Bytes(Out);
}

std::string TextToForm(const std::string& Text) {
    TMemoryStream In, Out;
    Fill(In, Text);
    ObjectTextToBinary(&In, &Out);
    return Bytes(Out);
}

void ReadForm(const std::string& Binary, TComponent* Root, const TReader::TReaderErrorEvent& OnError) {
    TMemoryStream In;
    Fill(In, Binary);
    ReadComponentFromStream(&In, Root, OnError);
}
