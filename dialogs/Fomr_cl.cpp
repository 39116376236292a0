#include "dialogs/Fomr_cl.h"

#include "dialogs/DialogParts.h"
#include "raster/TFont.h"

using namespace dialogparts;

Tfrm_CL* frm_CL = nullptr;

Tfrm_CL::Tfrm_CL(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                         Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Contraste - Luminosité"));
    setFont(TFont().ToQFont());
    resize(447 - kFrameWidth, 168 - kFrameHeight);
    Label(this, "Label1", QStringLiteral("Contraste"), 16, 8);
    Label(this, "Label4", QStringLiteral("Valeur"), 248, 8);
    Label(this, "Label2", QStringLiteral("Luminosité"), 16, 72);
    TckBar_C = TrackBar(this, "TckBar_C", 8, 32);
    TckBar_L = TrackBar(this, "TckBar_L", 8, 96);
    Valeur_C = Edit(this, "Valeur_C", QStringLiteral("128"), 248, 32, 41, 21);
    Valeur_L = Edit(this, "Valeur_L", QStringLiteral("128"), 248, 96, 41, 21);
    Valeur_C->setReadOnly(true);
    Valeur_L->setReadOnly(true);
    Ok_CL = OkButton(this, "Ok_CL", 320, 24, 105, 25);
    Annuler_CL = CancelButton(this, "Annuler_CL", 320, 56, 105, 25);
    Aide_CL = HelpButton(this, "Aide_CL", 320, 104, 105, 25);

    setTabOrder(TckBar_C, Valeur_C);
    setTabOrder(Valeur_C, Ok_CL);
    setTabOrder(Ok_CL, Annuler_CL);
    setTabOrder(Annuler_CL, Aide_CL);
    setTabOrder(Aide_CL, TckBar_L);
    setTabOrder(TckBar_L, Valeur_L);

    connect(TckBar_C, &QSlider::valueChanged, this, &Tfrm_CL::OnChangeC);
    connect(TckBar_L, &QSlider::valueChanged, this, &Tfrm_CL::OnChangeL);
    connect(Ok_CL, &QPushButton::clicked, this, &Tfrm_CL::Ok_CLClick);
    connect(Annuler_CL, &QPushButton::clicked, this, &Tfrm_CL::Annuler_CLClick);

    // The arrow keys move the first track bar at once.
    TckBar_C->setFocus(Qt::OtherFocusReason);
    CentreOnScreen(this, 447, 168);
}

void Tfrm_CL::SetRetour(std::int32_t* contraste, std::int32_t* luminosite)
{
    retourContraste = contraste;
    retourLuminosite = luminosite;
}

void Tfrm_CL::OnChangeC() { Valeur_C->setText(QString::number(TckBar_C->value())); }
void Tfrm_CL::OnChangeL() { Valeur_L->setText(QString::number(TckBar_L->value())); }

void Tfrm_CL::Ok_CLClick()
{
    if (retourLuminosite)
        *retourLuminosite = TckBar_L->value();
    if (retourContraste)
        *retourContraste = TckBar_C->value();
    accept();
}

void Tfrm_CL::Annuler_CLClick()
{
    if (retourLuminosite)
        *retourLuminosite = -1;
    if (retourContraste)
        *retourContraste = -1;
    QDialog::reject();
}

void Tfrm_CL::reject() { Annuler_CLClick(); }
