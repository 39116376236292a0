// The recovery copies that programs no longer running left behind.
#include "document/Recovery.h"

#include "document/Tdessin.h"
#include "model/ImageDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Reads a copy's description; says why not in `copy.problem`.
void readDescription(TLeftCopy& copy)
{
    QFile file(copy.description);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024) {
        copy.problem = QStringLiteral("sa description ne peut pas être lue.");
        return;
    }
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(file.readAll(), &error);
    const QJsonObject object = json.object();
    if (error.error != QJsonParseError::NoError || !json.isObject() ||
        !object.value(QStringLiteral("fichier")).isString()) {
        copy.problem = QStringLiteral("sa description est endommagée.");
        return;
    }
    copy.fileName = object.value(QStringLiteral("fichier")).toString();
    // Earlier versions could record a name relative to the folder the program
    // ran in. It is resolved against that folder when the description says
    // which; otherwise it stays the caption and "Enregistrer" asks a name.
    if (!copy.fileName.isEmpty() && QFileInfo(copy.fileName).isRelative()) {
        const QString folder = object.value(QStringLiteral("dossier")).toString();
        if (!folder.isEmpty() && QFileInfo(folder).isAbsolute()) {
            copy.fileName = QDir::cleanPath(QDir(folder).absoluteFilePath(copy.fileName));
        } else {
            copy.caption = copy.fileName;
            copy.fileName.clear();
        }
    }
    copy.time = QDateTime::fromString(object.value(QStringLiteral("heure")).toString(), Qt::ISODateWithMs);
    if (!QFileInfo(copy.image).isFile())
        copy.problem = QStringLiteral("la copie de l'image manque.");
}

} // namespace

std::vector<TLeftCopy> TRecovery::FindLeft()
{
    std::vector<TLeftCopy> copies;
    const QDir base(folder_);
    for (const QString& name : base.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name)) {
        const QString path = base.filePath(name);
        if (path == session_)
            continue;
        // Held by a running program: its copies are its own. A lock whose
        // program died is taken over.
        auto lock = std::make_unique<QLockFile>(path + QStringLiteral(".verrou"));
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0))
            continue;
        const QDir folder(path);
        const QStringList descriptions =
            folder.entryList({QStringLiteral("image-*.json")}, QDir::Files | QDir::NoSymLinks, QDir::Name);
        if (descriptions.isEmpty()) {
            QDir(path).removeRecursively();
            continue;
        }
        for (const QString& description : descriptions) {
            TLeftCopy copy;
            copy.description = folder.filePath(description);
            copy.image = folder.filePath(description.chopped(5) + QStringLiteral(".bmp"));
            readDescription(copy);
            copies.push_back(copy);
        }
        left_.push_back(LeftFolder{path, std::move(lock)});
    }
    return copies;
}

void TRecovery::Adopt(ImageDocument* document, const TLeftCopy& copy)
{
    Entry entry;
    entry.document = document;
    entry.number = nextNumber_++;
    entry.due = clock_.elapsed() + interval_;
    // Moved, not copied: until its image is saved, the copy stays on disk.
    if (EnsureSession() && QFile::rename(copy.image, ImagePath(entry.number)) &&
        QFile::rename(copy.description, DescriptionPath(entry.number))) {
        entry.hasCopy = true;
        entry.copied = document->ChangeState();
    } else {
        entry.due = clock_.elapsed(); // written again at the next look
    }
    entries_[document] = entry;
}

void TRecovery::ReleaseLeft(bool remove)
{
    for (LeftFolder& folder : left_) {
        if (remove)
            QDir(folder.path).removeRecursively();
        folder.lock.reset();
    }
    left_.clear();
}
