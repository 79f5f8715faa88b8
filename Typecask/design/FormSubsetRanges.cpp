#include "Typecask/design/FormSubsetRanges.h"

TYPECASK_IMPLEMENT_CLASS(TFormSubsetRanges)
void TFormSubsetRanges::Publish(TPublisher<TFormSubsetRanges>& P) {
    P.Field("LabelPrompt", &TFormSubsetRanges::LabelPrompt);
    P.Field("EditRanges", &TFormSubsetRanges::EditRanges);
    P.Field("BitBtnOK", &TFormSubsetRanges::BitBtnOK);
    P.Field("BitBtnCancel", &TFormSubsetRanges::BitBtnCancel);
}

TFormSubsetRanges::TFormSubsetRanges(TComponent* Owner) : TForm(Owner) { CreateFromResource(); }

TFormSubsetRanges::~TFormSubsetRanges() = default;
