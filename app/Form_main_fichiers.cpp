// The main palette's file commands: new, open, save and save as.
#include "app/Form_main.h"

#include "dialogs/Form_nouveau.h"
#include "document/Tdessin.h"
#include "ui/Application.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>

void Tfrm_main::Nouveau1Click(QObject*)
{
    TFrm_nouveau dialog(this);
    // Preset to "cancelled", so a dialog closed by neither button creates nothing.
    std::int32_t largeur = -1;
    std::int32_t hauteur = -1;
    dialog.SetRetour(&largeur, &hauteur);
    dialog.ShowModal();
    if (hauteur > 0 && largeur > 0) {
        if (!BitmapSizeAllowed(largeur, hauteur)) {
            ShowMessageBox(QStringLiteral("Impossible de créer une image de %1 x %2 pixels : chaque côté doit faire "
                                          "au plus %3 pixels et l'image au plus 1 Gio.")
                               .arg(largeur)
                               .arg(hauteur)
                               .arg(kMaxBitmapSide),
                           QStringLiteral("Nouveau fichier"), MB_OK | MB_ICONERROR);
            return;
        }
        auto* document = new TDessin(this, largeur, hauteur);
        document->show();
    }
}

void Tfrm_main::Ouvrir1Click(QObject*)
{
    if (OpenPictureDialog1->exec() != QDialog::Accepted)
        return;
    bool canClose = true;
    OpenPictureDialog1CanClose(OpenPictureDialog1, canClose);
}

void Tfrm_main::OpenPictureDialog1CanClose(QObject*, bool& canClose)
{
    if (!canClose)
        return;
    const QStringList files = OpenPictureDialog1->selectedFiles();
    const QString fileName = files.isEmpty() ? QString() : files.first();
    // A name typed by hand that does not exist opens nothing.
    if (fileName.isEmpty() || !QFileInfo(fileName).isFile())
        return;
    auto* document = new TDessin(this, fileName);
    document->show();
}

void Tfrm_main::OpenFiles(const QStringList& fileNames)
{
    // Each file opens as "Ouvrir..." opens it: a file that cannot be read
    // (missing ones included) shows its French error and the others still open.
    for (const QString& fileName : fileNames)
        Guarded([this, &fileName] {
            auto* document = new TDessin(this, fileName);
            document->show();
        })();
}

void Tfrm_main::dragEnterEvent(QDragEnterEvent* event)
{
    if (!TDessin::DroppedImages(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Tfrm_main::dropEvent(QDropEvent* event)
{
    const QStringList files = TDessin::DroppedImages(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    OpenFiles(files);
}

void Tfrm_main::Enregistrer1Click(QObject*)
{
    if (!dessin || !dessin->GetBmp())
        return;
    // An image that never had a file is not written under its caption: its
    // name is asked for.
    if (dessin->FileName().isEmpty()) {
        Enregistrersous1Click(this);
        return;
    }
    dessin->show();
    dessin->raise();
    // An opened document's file is its caption, the path it was opened from; a
    // new image's is the name it was first saved under.
    dessin->GetBmp()->SaveToFile(dessin->FileName());
    dessin->MarkSaved();
}

void Tfrm_main::Enregistrersous1Click(QObject*)
{
    if (SavePictureDialog1->exec() != QDialog::Accepted)
        return;
    bool canClose = true;
    SavePictureDialog1CanClose(SavePictureDialog1, canClose);
}

void Tfrm_main::SavePictureDialog1CanClose(QObject*, bool& canClose)
{
    if (!canClose)
        return;
    const QStringList files = SavePictureDialog1->selectedFiles();
    QString fileName = files.isEmpty() ? QString() : files.first();
    // Only a name without ".bmp" anywhere in it gets the extension.
    if (!fileName.contains(QStringLiteral(".bmp"), Qt::CaseSensitive)) {
        fileName += QStringLiteral(".bmp");
        SavePictureDialog1->selectFile(fileName);
    }
    if (!dessin || !dessin->GetBmp())
        return;
    dessin->GetBmp()->SaveToFile(fileName);
    dessin->MarkSaved(fileName);
}
