// The batch form's command line:
//   --dossier SORTIE [--taches N] [--memoire N] [--format EXT] [--remplacer] [--qualite N] ENTRÉE... -- [OPÉRATION
//   [VALEURS]]...
#include "Arguments.h"
#include "MemoryBudget.h"
#include "codecs/ImageFile.h"

#include <algorithm>

namespace cli {
namespace {

QString quoted(const QString& text) { return QStringLiteral("« %1 »").arg(text); }

// Digits only, from 1 to kMaxJobs.
int parseJobs(const QString& value)
{
    const QString expected = QStringLiteral("un entier de 1 à %1 attendu").arg(kMaxJobs);
    if (!IsWholeNumber(value))
        throw NotANumber(value, QStringLiteral("--taches"), expected);
    const int jobs = !value.startsWith(QLatin1Char('-')) && value.size() <= 3 ? value.toInt() : 0;
    if (jobs < 1 || jobs > kMaxJobs)
        throw UsageError(QStringLiteral("nombre de tâches %1 invalide : %2.").arg(quoted(value), expected));
    return jobs;
}

// Digits only, a number of MiB from 1 to MaxMemoryMebibytes(); in bytes.
qint64 parseMemory(const QString& value)
{
    const qint64 most = MaxMemoryMebibytes();
    const QString expected =
        QStringLiteral("un nombre de Mio de 1 à %1 attendu (64 fois la mémoire de la machine)").arg(most);
    if (!IsWholeNumber(value))
        throw NotANumber(value, QStringLiteral("--memoire"), expected);
    // More digits than the largest value has cannot be in range.
    const qint64 mebibytes =
        !value.startsWith(QLatin1Char('-')) && value.size() <= QString::number(most).size() ? value.toLongLong() : 0;
    if (mebibytes < 1 || mebibytes > most)
        throw UsageError(QStringLiteral("mémoire %1 invalide : %2.").arg(quoted(value), expected));
    return mebibytes << 20;
}

// The formats --format names, by the ending their files take.
void parseFormat(const QString& value, Batch& batch)
{
    const QString extension = value.toLower();
    for (const char* known : {"bmp", "png", "jpg", "jpeg", "webp", "tif", "tiff"})
        if (extension == QLatin1String(known)) {
            batch.format = FormatForName(QLatin1Char('.') + extension);
            batch.extension = extension;
            return;
        }
    throw UsageError(
        QStringLiteral("format %1 inconnu : bmp, png, jpg, jpeg, webp, tif ou tiff attendu.").arg(quoted(value)));
}

} // namespace

qint64 MaxMemoryMebibytes() { return std::clamp<qint64>((TotalMemory() >> 20) * 64, 1, qint64(1) << 40); }

Command ParseBatchArguments(const QStringList& arguments)
{
    Command command;
    Batch& batch = command.batch;
    QStringList seen;

    // The options, in any order, before the files.
    qsizetype i = 0;
    for (; i < arguments.size() && arguments[i].startsWith(QLatin1String("--")) && arguments[i] != QLatin1String("--");
         ++i) {
        const QString& option = arguments[i];
        if (seen.contains(option))
            throw UsageError(QStringLiteral("l'option %1 est donnée deux fois.").arg(quoted(option)));
        seen << option;
        if (option == QLatin1String("--remplacer")) {
            batch.replace = true;
            continue;
        }
        const bool takesValue = option == QLatin1String("--dossier") || option == QLatin1String("--taches") ||
                                option == QLatin1String("--memoire") || option == QLatin1String("--format") ||
                                option == QLatin1String("--qualite");
        if (!takesValue)
            throw UsageError(QStringLiteral("option inconnue %1.").arg(quoted(option)));
        if (++i == arguments.size())
            throw UsageError(QStringLiteral("l'option %1 attend une valeur.").arg(quoted(option)));
        const QString& value = arguments[i];
        if (option == QLatin1String("--dossier")) {
            if (value.isEmpty())
                throw UsageError(QStringLiteral("le nom du dossier de sortie est vide."));
            batch.folder = value;
        } else if (option == QLatin1String("--taches")) {
            batch.jobs = parseJobs(value);
        } else if (option == QLatin1String("--memoire")) {
            batch.memory = parseMemory(value);
        } else if (option == QLatin1String("--format")) {
            parseFormat(value, batch);
        } else {
            command.quality = ParseQuality(value);
        }
    }
    if (batch.folder.isEmpty())
        throw UsageError(QStringLiteral("l'option %1 demande le dossier de sortie (--dossier SORTIE).")
                             .arg(quoted(seen.isEmpty() ? QStringLiteral("--dossier") : seen.front())));

    // The files up to "--", then the operations.
    for (; i < arguments.size() && arguments[i] != QLatin1String("--"); ++i) {
        const QString& name = arguments[i];
        if (name.isEmpty())
            throw UsageError(QStringLiteral("un nom de fichier d'entrée est vide."));
        // The options come before the files; a file whose name starts with "--"
        // can be written ./--name.
        if (name.startsWith(QLatin1String("--")))
            throw UsageError(
                QStringLiteral("option %1 après les fichiers : les options viennent avant.").arg(quoted(name)));
        batch.inputs << name;
    }
    if (batch.inputs.isEmpty())
        throw UsageError(QStringLiteral("aucun fichier d'entrée."));
    if (i == arguments.size())
        throw UsageError(QStringLiteral("il manque « -- » après les fichiers d'entrée (les opérations le suivent, "
                                        "même quand il n'y en a aucune)."));
    command.steps = ParseSteps(arguments.mid(i + 1));
    return command;
}

} // namespace cli
