// What form data carries (Typecask/component/FormFonts.h).
#include "Typecask/component/FormFonts.h"


#include "Typecask/compression/LZStream.h"
#include "platform/ObjectText.h"
#include "platform/os/FontFiles.h"

TStream* BinaryFormData(TStream* Input, TMemoryStream& Converted) {
    char Head[4] = {};
    const auto Start = Input->GetPosition();
    const auto Got = Input->Read(Head, 4);
    Input->SetPosition(Start);
    if (Got == 4 && std::string(Head, 4) == std::string(FilerSignature, 4)) return Input;
    ObjectTextToBinary(Input, &Converted);
    Converted.SetPosition(0);
    return &Converted;
}

namespace {

std::string ValueText(TReader& Reader, TValueType Type) {
    if (GetValuePayload(Type).Text) return "'" + Reader.ReadString() + "'";
    switch (Type) {
        case vaInt8:
        case vaInt16:
        case vaInt32:
        case vaInt64: return std::to_string(Reader.ReadInt64());
        case vaIdent:
        case vaFalse:
        case vaTrue:
        case vaNil:
        case vaNull: return Reader.ReadIdent();
        case vaSet: {
            std::string Text = "[";
            for (const auto& Name : Reader.ReadSet()) Text += (Text.size() > 1 ? ", " : "") + Name;
            return Text + "]";
        }
        default: Reader.SkipValue(); return "(...)";
    }
}

void SummarizeFontData(TStream* Compressed, TTypecaskSummary& Summary) {
    Summary.HasFontData = true;
    Summary.CompressedSize = Compressed->GetSize();
    TMemoryStream Font;
    try {
        Compressed->SetPosition(0);
        TLZStream Codec;
        Codec.DeCompress(Compressed, &Font);
    } catch (const Exception& E) {
        Summary.DataError = E.GetMessage();
        return;
    }
    Summary.FontSize = Font.GetSize();
    Summary.Font.assign(Font.GetMemory(), Font.GetMemory() + Font.GetSize());
    Summary.DeclaredFamilies = Os::GetFontFileFamilies(Summary.Font.data(), Summary.Font.size());
    Summary.Embedding = Os::GetFontEmbedding(Summary.Font.data(), Summary.Font.size());
    Summary.Subset = Os::GetFontSubsetInfo(Summary.Font.data(), Summary.Font.size());
}

// The property at Reader of the component that Summary tells of.
void SummarizeProperty(TReader& Reader, TValueType Type, const AnsiString& Property, bool IsTypecask,
                       TTypecaskSummary& Summary) {
    if (Type == vaBinary) {
        TMemoryStream Data;
        Reader.ReadBinary(&Data);
        if (IsTypecask && Property == "TrueTypeFontResource")
            SummarizeFontData(&Data, Summary);
        else
            Summary.Properties.emplace_back(Property, "{ " + std::to_string(Data.GetSize()) + " bytes }");
        return;
    }
    const bool IsName = Property == "TypecaskName.TTFontName" && Type != vaSet;
    const std::string Text = ValueText(Reader, Type);
    if (IsName && Text.size() >= 2 && Text.front() == '\'') Summary.FamilyName = Text.substr(1, Text.size() - 2);
    Summary.Properties.emplace_back(Property, Text);
}

}  // namespace

std::string SubsetDescription(const Os::TFontSubsetInfo& Subset) {
    if (!Subset.IsSubset) return {};
    return "subset of " + std::to_string(Subset.GlyphCount) + " glyphs, tag " + Subset.Tag;
}

std::vector<TTypecaskSummary> SummarizeForm(TStream* Input) {
    TMemoryStream Converted;
    TStream* Binary = BinaryFormData(Input, Converted);
    TReader Reader(Binary);
    TFormWalker Walk(Reader, TFormWalker::fsForm);
    std::vector<TTypecaskSummary> Out;
    // The components whose properties or children are being read; each
    // property value is read whole, so the walk never goes into one.
    struct TOpen {
        TTypecaskSummary Summary;
        bool IsTypecask;
    };
    std::vector<TOpen> Open;
    for (;;) {
        switch (Walk.Next()) {
            case TFormWalker::fwComponent:
                Open.push_back({{}, SameText(Walk.Header().ClassName, "TTypecask")});
                Open.back().Summary.Name = Walk.Header().Name;
                break;
            case TFormWalker::fwValue:
                SummarizeProperty(Reader, Walk.ValueType(), Walk.PropName(), Open.back().IsTypecask,
                                  Open.back().Summary);
                break;
            case TFormWalker::fwEndOfList:
                if (Walk.Ended() == TFormWalker::flComponents) {
                    if (Open.back().IsTypecask) Out.push_back(std::move(Open.back().Summary));
                    Open.pop_back();
                }
                break;
            case TFormWalker::fwDone: return Out;
            case TFormWalker::fwStart:
            case TFormWalker::fwProperty:
            case TFormWalker::fwItem: break;
        }
    }
}

TModuleForms SummarizeModuleForms(const AnsiString& FileName) {
    TModuleForms Module;
    Module.Resources = Os::TResourceImage::FromFile(FileName);
    for (auto& Form : ListFormResources(*Module.Resources)) {
        TModuleFormSummary Summary;
        Summary.Form = std::move(Form);
        TMemoryStream Data;
        Data.WriteBuffer(Summary.Form.Data, static_cast<std::int64_t>(Summary.Form.Size));
        Data.SetPosition(0);
        try {
            Summary.Typecasks = SummarizeForm(&Data);
        } catch (const Exception& E) {
            Summary.Error = E.GetMessage();
        }
        Module.Forms.push_back(std::move(Summary));
    }
    return Module;
}
