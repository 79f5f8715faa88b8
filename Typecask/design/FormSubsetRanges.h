// TFormSubsetRanges: the dialog of the subset verb, in which the developer
// adds characters to keep besides the form's texts, as a list of ranges
// (AddCharacterRanges in SubsetCharacters.h reads it).
#pragma once

#include "platform/Buttons.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

class TFormSubsetRanges : public TForm {
    TYPECASK_CLASS(TFormSubsetRanges, TForm)

public:
    // Builds the form from its layout resource.
    explicit TFormSubsetRanges(TComponent* Owner);
    ~TFormSubsetRanges() override;

    TLabel* LabelPrompt = nullptr;
    TEdit* EditRanges = nullptr;
    TBitBtn* BitBtnOK = nullptr;
    TBitBtn* BitBtnCancel = nullptr;
};
