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

std::string ValueText(TReader& Reader) {
    switch (Reader.NextValue()) {
        case vaInt8:
        case vaInt16:
        case vaInt32:
        case vaInt64: return std::to_string(Reader.ReadInt64());
        case vaString:
        case vaLString:
        case vaWString:
        case vaUTF8String:
        case vaUString: {
            return "'" + Reader.ReadString() + "'";
        }
        case vaIdent:
        case vaFalse:
        case vaTrue:
        case vaNil:
        case vaNull: return Reader.ReadIdent();
        case vaSet: {
            Reader.ReadValue();
            std::string Text = "[";
            for (const auto& Name : Reader.ReadSetNames()) Text += (Text.size() > 1 ? ", " : "") + Name;
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

void SummarizeComponent(TReader& Reader, std::vector<TTypecaskSummary>& Out, int Depth) {
    CheckFilerNesting(Depth);
    TFilerFlags Flags;
    int ChildPos = 0;
    Reader.ReadPrefix(Flags, ChildPos);
    const AnsiString ClassName = Reader.ReadStr();
    TTypecaskSummary Summary;
    Summary.Name = Reader.ReadStr();
    const bool IsTypecask = SameText(ClassName, "TTypecask");
    while (!Reader.EndOfList()) {
        const AnsiString Property = Reader.ReadStr();
        if (Reader.NextValue() == vaBinary) {
            Reader.ReadValue();
            TMemoryStream Data;
            Reader.ReadBinaryData(&Data);
            if (IsTypecask && Property == "TrueTypeFontResource")
                SummarizeFontData(&Data, Summary);
            else
                Summary.Properties.emplace_back(Property, "{ " + std::to_string(Data.GetSize()) + " bytes }");
            continue;
        }
        const bool IsName = Property == "TypecaskName.TTFontName" && (Reader.NextValue() != vaSet);
        const std::string Text = ValueText(Reader);
        if (IsName && Text.size() >= 2 && Text.front() == '\'') Summary.FamilyName = Text.substr(1, Text.size() - 2);
        Summary.Properties.emplace_back(Property, Text);
    }
    Reader.ReadListEnd();
    while (!Reader.EndOfList()) SummarizeComponent(Reader, Out, Depth + 1);
    Reader.ReadListEnd();
    if (IsTypecask) Out.push_back(std::move(Summary));
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
    Reader.ReadSignature();
    std::vector<TTypecaskSummary> Out;
    SummarizeComponent(Reader, Out, 1);
    return Out;
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
