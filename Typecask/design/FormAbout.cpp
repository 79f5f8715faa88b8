#include "Typecask/design/FormAbout.h"

TYPECASK_IMPLEMENT_CLASS(TFormAbout)
void TFormAbout::Publish(TPublisher<TFormAbout>& P) {
    P.Field("ImageIcon", &TFormAbout::ImageIcon);
    P.Field("LabelProductName", &TFormAbout::LabelProductName);
    P.Field("LabelProductInfo", &TFormAbout::LabelProductInfo);
    P.Field("BevelBottomLine", &TFormAbout::BevelBottomLine);
    P.Field("BitBtnOk", &TFormAbout::BitBtnOk);
}

TFormAbout::TFormAbout(TComponent* Owner) : TForm(Owner) { CreateFromResource(); }

TFormAbout::~TFormAbout() = default;
