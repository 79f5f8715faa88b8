#include "tools/typecask/Road.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>

#include "platform/Graphics.h"

namespace Tool {

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

void RenderSample(const AnsiString& Family, const std::string& FileName, const AnsiString& Extra) {
    const AnsiString Line1 = Family;
    const AnsiString Line2 = "ABCDEFGHIJKLM 0123456789";
    TBitmap Probe(1, 1);
    TCanvas* Measure = Probe.GetCanvas();
    Measure->GetFont()->SetName(Family);
    Measure->GetFont()->SetSize(28);
    const int Width = std::max({Measure->TextWidth(Line1), Measure->TextWidth(Line2), Measure->TextWidth(Extra)}) + 32;
    const int LineHeight = Measure->TextHeight(Line2);
    const int Lines = Extra.empty() ? 2 : 3;

    TBitmap Sample(Width, Lines * LineHeight + 32);
    TCanvas* Canvas = Sample.GetCanvas();
    Canvas->GetBrush()->SetColor(clWhite);
    Canvas->FillRect(Rect(0, 0, Sample.GetWidth(), Sample.GetHeight()));
    Canvas->GetFont()->SetName(Family);
    Canvas->GetFont()->SetSize(28);
    Canvas->GetFont()->SetColor(clBlack);
    Canvas->TextOut(16, 12, Line1);
    Canvas->TextOut(16, 12 + LineHeight, Line2);
    if (!Extra.empty()) Canvas->TextOut(16, 12 + 2 * LineHeight, Extra);
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
