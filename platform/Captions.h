// How the controls show their captions, the class library's rule that every
// widgetset follows: accelerator marks, and the lines of a label's text.
#pragma once

#include <vector>

#include "platform/Graphics.h"

// A caption as shown: accelerator marks ('&') removed, "&&" kept as '&'.
AnsiString CaptionText(const AnsiString& Caption);

// The lines of Text in Width pixels of the canvas's font: broken at line
// feeds and, with WordWrap, between words.
std::vector<AnsiString> WrapCaption(TCanvas& Canvas, const AnsiString& Text, int Width, bool WordWrap);
// The same in Font.
std::vector<AnsiString> WrapCaption(const TFontData& Font, const AnsiString& Text, int Width, bool WordWrap);
