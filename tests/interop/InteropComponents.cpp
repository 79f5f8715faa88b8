#include "tests/interop/InteropComponents.h"

TYPECASK_IMPLEMENT_CLASS(TTestFontName)
void TTestFontName::Publish(TPublisher<TTestFontName>& P) {
    P.Property("TTFontName", &TTestFontName::FTTFontName, &TTestFontName::SetTTFontName);
}

TYPECASK_IMPLEMENT_CLASS(TTestFontHolder)
void TTestFontHolder::Publish(TPublisher<TTestFontHolder>& P) {
    P.Property("Permanent", &TTestFontHolder::FPermanent, &TTestFontHolder::SetPermanent).Default(true);
    P.Property("FontName", &TTestFontHolder::FFontName, &TTestFontHolder::SetFontName);
    P.Property("Count", &TTestFontHolder::FCount, &TTestFontHolder::FCount).Default(0);
    P.Property("Big", &TTestFontHolder::FBig, &TTestFontHolder::FBig);
    P.Property("Kind", &TTestFontHolder::FKind, &TTestFontHolder::FKind).Default(kdNone);
    P.Property("Options", &TTestFontHolder::FOptions, &TTestFontHolder::FOptions);
    P.Property("Caption", &TTestFontHolder::FCaption, &TTestFontHolder::FCaption);
    P.Property("Items", &TTestFontHolder::FItems, &TTestFontHolder::SetItems);
    P.Property("OnChange", &TTestFontHolder::FOnChange, &TTestFontHolder::FOnChange);
}

void TTestFontHolder::SetFontData(int Size) {
    FFontData.reset();
    if (Size < 0) return;
    FFontData = std::make_unique<TMemoryStream>();
    for (int I = 0; I < Size; ++I) {
        const auto B = static_cast<std::uint8_t>((I * 31 + (I >> 7)) & 0xFF);
        FFontData->WriteBuffer(&B, 1);
    }
}

void TTestFontHolder::ReadFontData(TStream* Stream) {
    FFontData = std::make_unique<TMemoryStream>();
    FFontData->CopyFrom(Stream, Stream->GetSize() - Stream->GetPosition());
}

void TTestFontHolder::WriteFontData(TStream* Stream) {
    FFontData->SetPosition(0);
    if (FFontData->GetSize() > 0) Stream->CopyFrom(FFontData.get(), FFontData->GetSize());
}

void TTestFontHolder::DefineProperties(TFiler* Filer) {
    TComponent::DefineProperties(Filer);
    Filer->DefineBinaryProperty("FontData", this, &TTestFontHolder::ReadFontData, &TTestFontHolder::WriteFontData,
                                FFontData != nullptr);
}

TYPECASK_IMPLEMENT_CLASS(TTestRoot)
void TTestRoot::Publish(TPublisher<TTestRoot>& P) { P.Method("HolderChange", &TTestRoot::HolderChange); }

std::unique_ptr<TTestRoot> MakeCase(int N) {
    RegisterClasses({TTestRoot::StaticClass(), TTestFontHolder::StaticClass()});
    auto Root = std::make_unique<TTestRoot>();
    Root->SetName("TestRoot");
    auto* H = new TTestFontHolder(Root.get());
    H->SetName("Holder1");
    switch (N) {
        case 1:
            H->FPermanent = false;
            H->FFontName->FTTFontName = "DejaVu Sans";
            H->SetFontData(0);
            break;
        case 2: {
            H->FPermanent = false;
            H->FFontName->FTTFontName = "Noto Sans \xC3\xA9 it's";
            H->SetFontData(300000);
            H->FCount = -70000;
            H->FBig = 5000000000;
            H->FKind = kdTwo;
            H->FOptions = {opA, opC};
            AnsiString S;
            for (int I = 1; I <= 300; ++I) S += static_cast<char>('a' + I % 26);
            H->FCaption = S + "'\t";
            H->FItems->Add("first");
            H->FItems->Add("second line");
            H->FItems->Add("");
            H->FOnChange = TNotifyEvent(Root.get(), &TTestRoot::HolderChange);
            H->SetTag(7);
            H = new TTestFontHolder(Root.get());
            H->SetName("Holder2");
            H->FCount = 200;
            H->FBig = -5;
            H->FKind = kdOne;
            H->FOptions = {opB};
            H->SetFontData(1);
            break;
        }
        case 3:
            H->FCount = 128;
            H->FBig = 40000;
            H->SetTag(-129);
            H->FCaption = "x";
            break;
        default: break;
    }
    return Root;
}
