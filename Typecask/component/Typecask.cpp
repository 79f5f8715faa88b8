#include "Typecask/component/Typecask.h"

#include <exception>
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

namespace {

// The byte count that message 1 reports for stored font data that cannot be
// restored: the total its header states, or, when the header itself is cut
// short or states no positive total, the number of bytes stored. Either is
// what restoring would have had to read; never a count of 0.
std::int64_t StoredTotal(TStream* Stream, std::int64_t Start) {
    std::uint8_t Head[12] = {};
    const std::int64_t End = Stream->GetSize();
    if (End - Start >= 12) {
        const std::int64_t Position = Stream->GetPosition();
        Stream->SetPosition(Start);
        Stream->ReadBuffer(Head, 12);
        Stream->SetPosition(Position);
        std::uint32_t Bits = 0;
        for (int I = 11; I >= 8; --I) Bits = Bits << 8 | Head[I];
        const auto Total = static_cast<std::int32_t>(Bits);
        if (Total > 0) return Total;
    }
    return End - Start;
}

}  // namespace

void TTypecask::SetFontData(std::unique_ptr<TMemoryStream> Data) {
    FFontData = std::move(Data);
    FEmbedding = {};
    FSubset = {};
    if (!FFontData) return;
    const auto Size = static_cast<std::size_t>(FFontData->GetSize());
    FEmbedding = Os::GetFontEmbedding(FFontData->GetMemory(), Size);
    FSubset = Os::GetFontSubsetInfo(FFontData->GetMemory(), Size);
}

void TTypecask::ReadTrueTypeFontResource(TStream* Stream) {
    TLZStream Codec;
    SetFontData(nullptr);
    auto Data = std::make_unique<TMemoryStream>();
    const std::int64_t Start = Stream->GetPosition();
    try {
        Codec.DeCompress(Stream, Data.get());
    } catch (const ETypecask&) {
        throw;
    } catch (...) {
        // Message 1 for damaged data, with the codec's own account of what
        // is wrong and where nested inside it for whoever wants the detail.
        std::throw_with_nested(ETypecask(msgNotEnoughMemory, Variant(StoredTotal(Stream, Start))));
    }
    // Form data is read whatever the licence: the form was made where the
    // font could be embedded, and a designer must not drop it.
    SetFontData(std::move(Data));
}

void TTypecask::Loaded() {
    inherited::Loaded();
    AddFontResourceA();
}

std::unique_ptr<TMemoryStream> TTypecask::ReadFontFile() const {
    const AnsiString Path = FFontName->GetTTFontFileName();
    TFileStream File(Path, fmOpenRead | fmShareDenyWrite);
    auto Data = std::make_unique<TMemoryStream>();
    try {
        Data->LoadFromStream(&File);
    } catch (...) {
        throw ETypecask(msgFontFileNotLoaded, Path);
    }
    return Data;
}

void TTypecask::GetFontResource() {
    SetFontData(nullptr);
    auto Data = ReadFontFile();
    const Os::TFontEmbedding Embedding =
        Os::GetFontEmbedding(Data->GetMemory(), static_cast<std::size_t>(Data->GetSize()));
    // Refused when the developer chooses the family; a form that carries it
    // already is read as it is (its font data follows).
    const TComponentState State = ComponentState();
    if (const int Refusal = GetEmbeddingRefusal(Embedding);
        Refusal && State.Contains(csDesigning) && !State.Contains(csReading))
        throw ETypecask(Refusal, FFontName->GetTTFontName());
    SetFontData(std::move(Data));
}

void TTypecask::SubsetFontResource(const Os::TCodePoints& Keep) {
    const AnsiString Family = FFontName->GetTTFontName();
    if (!FFontData || FFontData->GetSize() == 0) throw ETypecask(msgNoFontToSubset);
    TMemoryStream* Source = FFontData.get();
    Os::TFontEmbedding Embedding = FEmbedding;
    // A subset made from a subset would miss what the first left out:
    // start again from the whole font.
    std::unique_ptr<TMemoryStream> Whole;
    if (FSubset.IsSubset) {
        try {
            Whole = ReadFontFile();
        } catch (...) {
            std::throw_with_nested(ETypecask(msgWholeFontNotInstalled, Family));
        }
        const auto Size = static_cast<std::size_t>(Whole->GetSize());
        // The family found here may be a subset installed for the run.
        if (Os::GetFontSubsetInfo(Whole->GetMemory(), Size).IsSubset) throw ETypecask(msgWholeFontNotInstalled, Family);
        Embedding = Os::GetFontEmbedding(Whole->GetMemory(), Size);
        Source = Whole.get();
    }
    if (Embedding.NoSubsetting) throw ETypecask(msgFontNoSubsetting, Family);
    const auto Size = static_cast<std::size_t>(Source->GetSize());
    const auto Bytes =
        Os::SubsetFont(Source->GetMemory(), Size, Os::FindFontFace(Source->GetMemory(), Size, Family), Keep);
    auto Data = std::make_unique<TMemoryStream>();
    Data->WriteBuffer(Bytes.data(), static_cast<std::int64_t>(Bytes.size()));
    SetFontData(std::move(Data));
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
            SetFontData(nullptr);
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
