// TFormAbout: the about box that TTypecaskAboutPropertyEditor fills from the
// package's version values.
#pragma once

#include "platform/Buttons.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

class TFormAbout : public TForm {
    TYPECASK_CLASS(TFormAbout, TForm)

public:
    explicit TFormAbout(TComponent* Owner);
    ~TFormAbout() override;

    TImage* ImageIcon = nullptr;
    TLabel* LabelProductName = nullptr;
    TLabel* LabelProductInfo = nullptr;
    TBevel* BevelBottomLine = nullptr;
    TBitBtn* BitBtnOk = nullptr;
};
