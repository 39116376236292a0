// The main palette's file commands: new, open, save and save as, their
// dialogs' type lists and their keys.
#include "app/Form_main.h"

#include "dialogs/Form_nouveau.h"
#include "document/Tdessin.h"
#include "model/ImageDocument.h"
#include "tools/Toutil.h"
#include "ui/Application.h"

#include "codecs/ImageFile.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QShortcut>

namespace {

// The entries of "Enregistrer sous": the format each writes and the endings
// that already name it (the first is the one added).
struct SaveEntry {
    const char* filter;
    ImageFormat format;
    std::initializer_list<const char*> endings;
};
const SaveEntry kSaveEntries[] = {
    {"Image Bitmap (*.bmp)", ImageFormat::Bmp, {".bmp"}},
    {"Image PNG (*.png)", ImageFormat::Png, {".png"}},
    {"Image JPEG (*.jpg *.jpeg)", ImageFormat::Jpeg, {".jpg", ".jpeg"}},
    {"Image WebP (*.webp)", ImageFormat::Webp, {".webp"}},
    {"Image TIFF (*.tif *.tiff)", ImageFormat::Tiff, {".tif", ".tiff"}},
};

} // namespace

QStringList Tfrm_main::OpenFilters()
{
    return {QStringLiteral("Images (*.bmp *.png *.jpg *.jpeg *.gif *.webp *.tif *.tiff)"),
            QStringLiteral("Image Bitmap (*.bmp)"),
            QStringLiteral("Image PNG (*.png)"),
            QStringLiteral("Image JPEG (*.jpg *.jpeg)"),
            QStringLiteral("Image GIF (*.gif)"),
            QStringLiteral("Image WebP (*.webp)"),
            QStringLiteral("Image TIFF (*.tif *.tiff)")};
}

QStringList Tfrm_main::SaveFilters()
{
    QStringList filters;
    for (const SaveEntry& entry : kSaveEntries)
        filters << QLatin1String(entry.filter);
    return filters;
}

void Tfrm_main::SetFileFilters()
{
    // The first entry of each list is the one selected.
    OpenPictureDialog1->setNameFilters(OpenFilters());
    SavePictureDialog1->setNameFilters(SaveFilters());
}

void Tfrm_main::BuildFileShortcuts()
{
    const std::pair<QKeySequence, void (Tfrm_main::*)(QObject*)> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_N), &Tfrm_main::Nouveau1Click},
        {QKeySequence(Qt::CTRL | Qt::Key_O), &Tfrm_main::Ouvrir1Click},
        {QKeySequence(Qt::CTRL | Qt::Key_S), &Tfrm_main::Enregistrer1Click},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), &Tfrm_main::Enregistrersous1Click},
    };
    for (const auto& [sequence, handler] : keys) {
        // Any window of the program that is not behind a modal dialog.
        auto* shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::ApplicationShortcut);
        connect(shortcut, &QShortcut::activated, this, Guarded([this, handler = handler] { (this->*handler)(this); }));
    }
    // Ctrl+Q closes the palette as its close box does: the quit question.
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    quit->setContext(Qt::ApplicationShortcut);
    connect(quit, &QShortcut::activated, this, [this] { close(); });
}

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
    // An image that never had a file is not written under its caption, nor is
    // one read from a GIF (never written: its file would get other bytes under
    // the same name): a name is asked for.
    const TBitmap& image = *dessin->GetBmp();
    if (dessin->FileName().isEmpty() || image.FileFormat() == ImageFormat::Gif ||
        dessin->FileName().endsWith(QLatin1String(".gif"), Qt::CaseInsensitive)) {
        Enregistrersous1Click(this);
        return;
    }
    dessin->show();
    dessin->raise();
    if (image.FileLosses().Any()) {
        // What the file holds beyond the image is lost once it is written over.
        const TFileLosses& lost = image.FileLosses();
        QStringList what;
        if (lost.transparency)
            what << QStringLiteral("de la transparence");
        if (lost.deepColour)
            what << QStringLiteral("des couleurs sur plus de 8 bits");
        if (lost.moreImages)
            what << QStringLiteral("d'autres images");
        const bool one = what.size() == 1 && lost.transparency;
        const QString list = what.size() == 1 ? what.first()
                                              : QStringList(what.mid(0, what.size() - 1)).join(QStringLiteral(", ")) +
                                                    QStringLiteral(" et ") + what.last();
        const int answer =
            AskQuestion(dessin, QMessageBox::Warning, QStringLiteral("Enregistrer"),
                        QStringLiteral("« %1 » contient %2 %3.")
                            .arg(dessin->FileName().section(QLatin1Char('/'), -1), list,
                                 one ? QStringLiteral("qui sera perdue") : QStringLiteral("qui seront perdues")),
                        {{QStringLiteral("Enregistrer quand même"), QMessageBox::AcceptRole},
                         {QStringLiteral("Enregistrer sous..."), QMessageBox::ActionRole},
                         {QStringLiteral("Annuler"), QMessageBox::RejectRole}},
                        1);
        if (answer == 1)
            Enregistrersous1Click(this);
        if (answer != 0)
            return;
    }
    // An opened document's file is its caption, the path it was opened from or
    // last saved under. Its ending names the format: a photo opened from a
    // JPEG is saved as a JPEG.
    const ImageFormat format = FormatForName(dessin->FileName());
    dessin->Save(dessin->FileName(), format, kDefaultQuality);
}

void Tfrm_main::DocumentClosed(TDessin* document)
{
    if (outil && outil->GetBmp() == document->GetBmp()) {
        outil->SetBmp(nullptr);
        outil->SetMasque(nullptr);
    }
    if (dessin != document)
        return;
    // Another open image becomes the active document, or none.
    dessin = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* other = qobject_cast<TDessin*>(window);
            other && other != document && other->GetBmp() && other->isVisible()) {
            other->OnActivate();
            other->activateWindow();
            return;
        }
}

bool Tfrm_main::SaveDocument(TDessin* document)
{
    // The file commands act on the active document: the one closing becomes it.
    dessin = document;
    try {
        Enregistrer1Click(this);
    } catch (const std::exception& error) {
        ReportException(error);
        return false;
    }
    return !document->IsModified();
}

void Tfrm_main::Enregistrersous1Click(QObject*)
{
    // The dialog proposes the document's own name, as it is; a GIF's without
    // its ending, since GIF is not written.
    if (dessin && !dessin->FileName().isEmpty()) {
        QString proposed = dessin->FileName();
        if (proposed.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive))
            proposed.chop(4);
        SavePictureDialog1->selectFile(proposed);
    }
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
    // The dialog hides the patterns: entries are told apart by their names.
    const QString chosen = SavePictureDialog1->selectedNameFilter().section(QStringLiteral(" ("), 0, 0);
    const SaveEntry* entry = &kSaveEntries[0];
    for (const SaveEntry& e : kSaveEntries)
        if (chosen == QString::fromLatin1(e.filter).section(QStringLiteral(" ("), 0, 0))
            entry = &e;
    // A typed ending the program writes wins over the selected entry. Without
    // one, "Image Bitmap" adds ".bmp" to a name without ".bmp" anywhere in it
    // (so "photo.BMP" becomes "photo.BMP.bmp", "photo.bmp.old" stays), and
    // another entry adds its first ending.
    ImageFormat format = entry->format;
    ImageFormat typed = ImageFormat::Bmp;
    const bool known = WrittenFormatForName(fileName, &typed);
    if (known && (typed != ImageFormat::Bmp || entry->format != ImageFormat::Bmp)) {
        format = typed;
    } else if (entry->format != ImageFormat::Bmp || !fileName.contains(QStringLiteral(".bmp"), Qt::CaseSensitive)) {
        fileName += QLatin1String(*entry->endings.begin());
        SavePictureDialog1->selectFile(fileName);
    }
    if (!dessin || !dessin->GetBmp())
        return;
    // The copy becomes the document: the next "Enregistrer" writes it, not the
    // file the user kept.
    dessin->Save(fileName, format, kDefaultQuality);
}
