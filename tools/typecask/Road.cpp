#include "tools/typecask/Road.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>

#include "Typecask/compression/LZStream.h"
#include "platform/Graphics.h"
#include "platform/os/FontFiles.h"

namespace Tool {

namespace {

// Input itself when it holds binary form data (it starts with the
// signature), else Converted filled with the binary form of its text.
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

}  // namespace

void ReadForm(TStream* Input, TComponent* Root) {
    TMemoryStream Converted;
    TStream* Binary = BinaryFormData(Input, Converted);
    TReader Reader(Binary);
    if (Root->ComponentState().Contains(csDesigning))
        Reader.SetOnError([](TReader*, const Exception& E, bool& Handled) {
            std::cerr << "Error reading form: " << E.GetMessage() << '\n';
            Handled = true;
        });
    Reader.ReadRootComponent(Root);
}

void WriteForm(TComponent* Root, TStream* Output, bool Text) {
    if (!Text) {
        WriteComponentToStream(Output, Root);
        return;
    }
    TMemoryStream Binary;
    WriteComponentToStream(&Binary, Root);
    Binary.SetPosition(0);
    ObjectBinaryToText(&Binary, Output);
}

TTypecask* FindTypecask(TComponent* Root) {
    for (int I = 0; I < Root->ComponentCount(); ++I)
        if (auto* T = dynamic_cast<TTypecask*>(Root->Components(I))) return T;
    return nullptr;
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
            std::string Text = "'";  // appended apart: "'" + text trips GCC 12's false -Wrestrict at -O3
            Text += Reader.ReadString();
            Text += "'";
            return Text;
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

bool SameText(const AnsiString& A, const AnsiString& B) {
    if (A.size() != B.size()) return false;
    for (std::size_t I = 0; I < A.size(); ++I)
        if (std::tolower(static_cast<unsigned char>(A[I])) != std::tolower(static_cast<unsigned char>(B[I])))
            return false;
    return true;
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
    Summary.DeclaredFamilies = Os::GetFontFileFamilies(Font.GetMemory(), static_cast<std::size_t>(Font.GetSize()));
    Summary.Embedding = Os::GetFontEmbedding(Font.GetMemory(), static_cast<std::size_t>(Font.GetSize()));
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
                Summary.Properties.emplace_back(Property, "{ " + FormatSize(Data.GetSize()) + " }");
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

std::vector<TTypecaskSummary> SummarizeForm(TStream* Input) {
    TMemoryStream Converted;
    TStream* Binary = BinaryFormData(Input, Converted);
    TReader Reader(Binary);
    Reader.ReadSignature();
    std::vector<TTypecaskSummary> Out;
    SummarizeComponent(Reader, Out, 1);
    return Out;
}

void RenderSample(const AnsiString& Family, const std::string& FileName) {
    const AnsiString Line1 = Family;
    const AnsiString Line2 = "ABCDEFGHIJKLM 0123456789";
    TBitmap Probe(1, 1);
    TCanvas* Measure = Probe.GetCanvas();
    Measure->GetFont()->SetName(Family);
    Measure->GetFont()->SetSize(28);
    const int Width = std::max(Measure->TextWidth(Line1), Measure->TextWidth(Line2)) + 32;
    const int LineHeight = Measure->TextHeight(Line2);

    TBitmap Sample(Width, 2 * LineHeight + 32);
    TCanvas* Canvas = Sample.GetCanvas();
    Canvas->GetBrush()->SetColor(clWhite);
    Canvas->FillRect(Rect(0, 0, Sample.GetWidth(), Sample.GetHeight()));
    Canvas->GetFont()->SetName(Family);
    Canvas->GetFont()->SetSize(28);
    Canvas->GetFont()->SetColor(clBlack);
    Canvas->TextOut(16, 12, Line1);
    Canvas->TextOut(16, 12 + LineHeight, Line2);
    Sample.SaveToPngFile(FileName);
}

std::string FormatSize(std::int64_t Bytes) {
    char Buffer[32];
    if (Bytes < 1024)
        std::snprintf(Buffer, sizeof Buffer, "%lld bytes", static_cast<long long>(Bytes));
    else if (Bytes < 1024 * 1024)
        std::snprintf(Buffer, sizeof Buffer, "%.1f KiB", static_cast<double>(Bytes) / 1024);
    else
        std::snprintf(Buffer, sizeof Buffer, "%.2f MiB", static_cast<double>(Bytes) / (1024 * 1024));
    return Buffer;
}

}  // namespace Tool
