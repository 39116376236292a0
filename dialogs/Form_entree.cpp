#include "dialogs/Form_entree.h"

#include "dialogs/DialogParts.h"
#include "raster/TFont.h"

#include <QKeyEvent>

using namespace dialogparts;

TFrm_entree* Frm_entree = nullptr;

TFrm_entree::TFrm_entree(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                         Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Entrez votre texte"));
    setFont(TFont().ToQFont());
    resize(362 - kFrameWidth, 97 - kFrameHeight);
    move(319, 474);
    Ok = new QPushButton(QStringLiteral("Ok"), this);
    Ok->setObjectName("Ok");
    Ok->setGeometry(56, 40, 75, 25);
    Ok->setAutoDefault(false);
    Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    Cancel->setObjectName("Cancel");
    Cancel->setGeometry(224, 40, 75, 25);
    Cancel->setAutoDefault(false);
    Edit1 = Edit(this, "Edit1", QString(), 8, 8, 337, 21);

    setTabOrder(Ok, Cancel);
    setTabOrder(Cancel, Edit1);

    connect(Ok, &QPushButton::clicked, this, &TFrm_entree::OkClick);
    connect(Cancel, &QPushButton::clicked, this, &TFrm_entree::CancelClick);
}

void TFrm_entree::showEvent(QShowEvent* event)
{
    // Typing goes into the edit as soon as the dialog opens, and replaces the
    // last text.
    QDialog::showEvent(event);
    TypeInto(Edit1);
}

void TFrm_entree::OkClick()
{
    if (retourTexte)
        *retourTexte = Edit1->text();
    close();
}

void TFrm_entree::CancelClick()
{
    Edit1->clear();
    if (retourTexte)
        *retourTexte = QString();
    close();
}

void TFrm_entree::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: OkClick(); return;
    case Qt::Key_Escape: CancelClick(); return;
    default: QDialog::keyPressEvent(event);
    }
}
