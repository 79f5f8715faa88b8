#include "Typecask/component/Typecask.h"

#include <limits>

#include "Typecask/compression/LZStream.h"
#include "Typecask/support/Errors.h"

TYPECASK_IMPLEMENT_CLASS(TTypecask)

void TTypecask::Publish(TPublisher<TTypecask>& P) {
    P.Property("About", &TTypecask::GetAbout, &TTypecask::SetAbout);
    P.Property("InstallPermanently", &TTypecask::GetInstallPermanently, &TTypecask::SetInstallPermanently)
        .Default(true);
    P.Property("TypecaskName", &TTypecask::GetTypecaskName, &TTypecask::SetTypecaskName);
}

TTypecask::TTypecask(TComponent* AOwner) : TComponent(AOwner), FPermanent(true), FFontAdded(false) {
    // The version values are shown only in the designer.
    if (ComponentState().Contains(csDesigning)) FAboutInfo = std::make_unique<TVersionInfo>();
    FFontName = std::make_unique<TTypecaskName>(this);
}

TTypecask::~TTypecask() {
    // A destructor must not raise; removal reports nothing anyway.
    try {
        RemoveFontResourceA();
    } catch (...) {
    }
    FFontData.reset();
    FAboutInfo.reset();
    FFontName.reset();
}

void TTypecask::DefineProperties(TFiler* Filer) {
    inherited::DefineProperties(Filer);
    // Present exactly when a buffer exists, even an empty one.
    Filer->DefineBinaryProperty("TrueTypeFontResource", this, &TTypecask::ReadTrueTypeFontResource,
                                &TTypecask::WriteTrueTypeFontResource, FFontData != nullptr);
}

void TTypecask::WriteTrueTypeFontResource(TStream* Stream) {
    TLZStream Codec;
    FFontData->SetPosition(0);
    const std::int64_t Size = FFontData->GetSize();
    if (Size > std::numeric_limits<std::int32_t>::max())
        throw EWriteError(Format("Font data of %d bytes is too large for form data", {Size}));
    Codec.Compress(FFontData.get(), Stream, static_cast<std::int32_t>(Size));
}

void TTypecask::ReadTrueTypeFontResource(TStream* Stream) {
    TLZStream Codec;
    FFontData = std::make_unique<TMemoryStream>();
    try {
        Codec.DeCompress(Stream, FFontData.get());
    } catch (const ETypecask&) {
        FFontData.reset();
        throw;
    } catch (...) {
        // The decompressed size is known only after success: report what
        // was restored before the failure.
        const std::int64_t Reached = FFontData->GetSize();
        FFontData.reset();
        throw ETypecask(msgNotEnoughMemory, Variant(Reached));
    }
}

void TTypecask::Loaded() {
    inherited::Loaded();
    AddFontResourceA();
}

void TTypecask::GetFontResource() {
    const AnsiString Path = FFontName->GetTTFontFileName();
    TFileStream File(Path, fmOpenRead | fmShareDenyWrite);
    FFontData.reset();
    FFontData = std::make_unique<TMemoryStream>();
    try {
        FFontData->LoadFromStream(&File);
    } catch (...) {
        FFontData.reset();
        throw ETypecask(msgFontFileNotLoaded, FFontName->GetTTFontFileName());
    }
}

void TTypecask::SetInstallPermanently(bool Value) {
    const TComponentState State = ComponentState();
    if (!State.Contains(csDesigning) && !State.Contains(csReading)) throw ETypecask(msgPermanentReadOnly);
    if (FPermanent != Value) FPermanent = Value;
}

void TTypecask::SetTypecaskName(TTypecaskName* Value) {
    const TComponentState State = ComponentState();
    // At run time the name is only stored while the form is read; the font
    // comes from the form data, never from this machine's files.
    if (!State.Contains(csDesigning) && State.Contains(csReading)) return;
    if (!State.Contains(csDesigning)) throw ETypecask(msgFontNameReadOnly);
    if (!Value) return;
    if (Value != FFontName.get()) {
        if (*FFontName == *Value) return;
        // Copying notifies this method with FFontName, which applies the new
        // name; the steps below then run once more.
        FFontName->Assign(Value);
    }
    try {
        try {
            RemoveFontResourceA();
        } catch (...) {
        }
        if (FFontName->FFamilyName.empty()) {
            FFontData.reset();
            return;
        }
        GetFontResource();
        AddFontResourceA();
    } catch (...) {
        // End with no name and no data; clearing the name notifies this
        // method once more, which removes the font and drops the data.
        FFontName->SetTTFontName("");
        throw;
    }
}

void TTypecask::SetAbout(TVersionInfo*) {}
