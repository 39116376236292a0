#include "dialogs/Form_nouveau.h"

#include "dialogs/DialogParts.h"
#include "raster/TFont.h"

#include <QEvent>

using namespace dialogparts;

TFrm_nouveau* Frm_nouveau = nullptr;

TFrm_nouveau::TFrm_nouveau(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QStringLiteral("Nouveau fichier"));
    setFont(TFont().ToQFont());
    setFixedSize(297 - kFrameWidth, 143 - kFrameHeight);
    QLabel* title = Label(this, "Label1", QStringLiteral("Rentrez les paramètes de la nouvelle image"), 24, 16);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->adjustSize();
    // Wider than the dialog with some fonts: then it starts further left and,
    // if need be, takes two lines above the fields.
    if (title->x() + title->width() > width()) {
        const int textWidth = width() - 2 * 8;
        if (title->fontMetrics().horizontalAdvance(title->text()) <= textWidth) {
            title->move(8, 16);
        } else {
            title->setWordWrap(true);
            title->setGeometry(8, 4, textWidth, title->heightForWidth(textWidth));
        }
    }
    Label(this, "Label3", QStringLiteral("Largeur :"), 16, 56);
    Label(this, "Label2", QStringLiteral("Hauteur :"), 16, 88);
    Label(this, "Label4", QStringLiteral("Pixels"), 144, 56);
    Label(this, "Label5", QStringLiteral("Pixels"), 144, 88);
    Edit_L = Edit(this, "Edit_L", QStringLiteral("640"), 72, 48, 65, 21);
    Edit_H = Edit(this, "Edit_H", QStringLiteral("480"), 72, 80, 65, 21);
    OK_nouveau = OkButton(this, "OK_nouveau", 192, 48, 81, 25);
    Annuler_nouveau = CancelButton(this, "Annuler_nouveau", 192, 80, 81, 25);

    setTabOrder(OK_nouveau, Annuler_nouveau);
    setTabOrder(Annuler_nouveau, Edit_L);
    setTabOrder(Edit_L, Edit_H);

    connect(OK_nouveau, &QPushButton::clicked, this, &TFrm_nouveau::OK_nouveauClick);
    connect(Annuler_nouveau, &QPushButton::clicked, this, &TFrm_nouveau::Annuler_nouveauClick);

    CentreOnScreen(this, 297, 143);
}

void TFrm_nouveau::SetRetour(std::int32_t* largeur, std::int32_t* hauteur)
{
    retourLargeur = largeur;
    retourHauteur = hauteur;
}

void TFrm_nouveau::OK_nouveauClick()
{
    if (retourLargeur)
        *retourLargeur = AtoL(Edit_L->text());
    if (retourHauteur)
        *retourHauteur = AtoL(Edit_H->text());
    accept();
}

void TFrm_nouveau::Annuler_nouveauClick()
{
    if (retourLargeur)
        *retourLargeur = -1;
    if (retourHauteur)
        *retourHauteur = -1;
    QDialog::reject();
}

void TFrm_nouveau::reject() { Annuler_nouveauClick(); }

void TFrm_nouveau::OnActivate() { Edit_L->setFocus(Qt::OtherFocusReason); }

bool TFrm_nouveau::event(QEvent* event)
{
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate)
        OnActivate();
    // A number typed at once replaces the proposed width.
    if (event->type() == QEvent::Show)
        Edit_L->selectAll();
    return handled;
}
