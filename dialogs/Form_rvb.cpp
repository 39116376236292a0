#include "dialogs/Form_rvb.h"

#include "dialogs/DialogParts.h"
#include "raster/TFont.h"

using namespace dialogparts;

Tfrm_rvb::Tfrm_rvb(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                         Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("RVB"));
    setFont(TFont().ToQFont());
    setFixedSize(451, 219);
    Label(this, "Label1", QStringLiteral("Rouge"), 16, 8);
    Label(this, "Label2", QStringLiteral("Vert"), 16, 80);
    Label(this, "Label3", QStringLiteral("Bleu"), 16, 152);
    Label(this, "Label4", QStringLiteral("Valeur"), 248, 8);
    TckBar_R = TrackBar(this, "TckBar_R", 8, 32);
    TckBar_V = TrackBar(this, "TckBar_V", 8, 104);
    TckBar_B = TrackBar(this, "TckBar_B", 8, 176);
    Valeur_R = Edit(this, "Valeur_R", QStringLiteral("128"), 248, 32, 41, 21);
    Valeur_V = Edit(this, "Valeur_V", QStringLiteral("128"), 248, 104, 41, 21);
    Valeur_B = Edit(this, "Valeur_B", QStringLiteral("128"), 248, 176, 41, 21);
    Ok_rvb = OkButton(this, "Ok_rvb", 336, 24, 105, 25);
    Annuler_RVB = CancelButton(this, "Annuler_RVB", 336, 64, 105, 25);
    Aide_RVB = HelpButton(this, "Aide_RVB", 336, 176, 105, 25);

    setTabOrder(TckBar_B, TckBar_V);
    setTabOrder(TckBar_V, TckBar_R);
    setTabOrder(TckBar_R, Valeur_R);
    setTabOrder(Valeur_R, Valeur_V);
    setTabOrder(Valeur_V, Valeur_B);
    setTabOrder(Valeur_B, Ok_rvb);
    setTabOrder(Ok_rvb, Annuler_RVB);
    setTabOrder(Annuler_RVB, Aide_RVB);

    connect(TckBar_R, &QSlider::valueChanged, this, &Tfrm_rvb::OnChangeR);
    connect(TckBar_V, &QSlider::valueChanged, this, &Tfrm_rvb::OnChangeV);
    connect(TckBar_B, &QSlider::valueChanged, this, &Tfrm_rvb::OnChangeB);
    connect(Ok_rvb, &QPushButton::clicked, this, &Tfrm_rvb::Ok_rvbClick);
    connect(Annuler_RVB, &QPushButton::clicked, this, &Tfrm_rvb::Annuler_RVBClick);

    // The arrow keys move the first track bar at once.
    TckBar_R->setFocus(Qt::OtherFocusReason);
    CentreOnScreen(this, 451 + kFrameWidth, 219 + kFrameHeight);
}

void Tfrm_rvb::SetRetour(std::int32_t* rouge, std::int32_t* vert, std::int32_t* bleu)
{
    retourRouge = rouge;
    retourVert = vert;
    retourBleu = bleu;
}

void Tfrm_rvb::OnChangeR() { Valeur_R->setText(QString::number(TckBar_R->value())); }
void Tfrm_rvb::OnChangeV() { Valeur_V->setText(QString::number(TckBar_V->value())); }
void Tfrm_rvb::OnChangeB() { Valeur_B->setText(QString::number(TckBar_B->value())); }

void Tfrm_rvb::Ok_rvbClick()
{
    // The edits only show the track bars' values; they are never read back.
    if (retourRouge)
        *retourRouge = TckBar_R->value();
    if (retourBleu)
        *retourBleu = TckBar_B->value();
    if (retourVert)
        *retourVert = TckBar_V->value();
    accept();
}

void Tfrm_rvb::Annuler_RVBClick()
{
    for (std::int32_t* value : {retourRouge, retourVert, retourBleu})
        if (value)
            *value = -1;
    QDialog::reject();
}

void Tfrm_rvb::reject() { Annuler_RVBClick(); }
