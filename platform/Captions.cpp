#include "platform/Captions.h"

AnsiString CaptionText(const AnsiString& Caption) {
    AnsiString Out;
    for (std::size_t I = 0; I < Caption.size(); ++I) {
        if (Caption[I] == '&') {
            if (I + 1 < Caption.size() && Caption[I + 1] == '&') Out += '&', ++I;
            continue;
        }
        Out += Caption[I];
    }
    return Out;
}

std::vector<AnsiString> WrapCaption(TCanvas& C, const AnsiString& Text, int Width, bool WordWrap) {
    std::vector<AnsiString> Lines;
    std::size_t Start = 0;
    while (true) {
        std::size_t End = Text.find('\n', Start);
        AnsiString Para = Text.substr(Start, End == AnsiString::npos ? AnsiString::npos : End - Start);
        if (!Para.empty() && Para.back() == '\r') Para.pop_back();
        if (!WordWrap) {
            Lines.push_back(Para);
        } else {
            AnsiString Current;
            std::size_t I = 0;
            bool Any = false;
            while (I < Para.size()) {
                std::size_t WordEnd = Para.find(' ', I);
                if (WordEnd == AnsiString::npos) WordEnd = Para.size();
                AnsiString Word = Para.substr(I, WordEnd - I);
                AnsiString Candidate = Current.empty() && !Any ? Word : Current + " " + Word;
                if (Any && C.TextWidth(Candidate) > Width) {
                    Lines.push_back(Current);
                    Current = Word;
                } else {
                    Current = Candidate;
                }
                Any = true;
                I = WordEnd + 1;
            }
            Lines.push_back(Current);
        }
        if (End == AnsiString::npos) break;
        Start = End + 1;
    }
    return Lines;
}

std::vector<AnsiString> WrapCaption(const TFontData& Font, const AnsiString& Text, int Width, bool WordWrap) {
    TCanvas Canvas;
    Canvas.GetFont()->SetData(Font);
    return WrapCaption(Canvas, Text, Width, WordWrap);
}
