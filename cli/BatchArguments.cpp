// The batch form's command line:
//   --dossier SORTIE [--taches N] [--format EXT] [--remplacer] [--qualite N] ENTRÉE... -- [OPÉRATION [VALEURS]]...
#include "Arguments.h"
#include "platform/ImageFile.h"

namespace cli {
namespace {

QString quoted(const QString& text) { return QStringLiteral("« %1 »").arg(text); }

// Digits only, from 1 to kMaxJobs.
int parseJobs(const QString& value)
{
    bool digits = !value.isEmpty();
    for (const QChar c : value)
        digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int jobs = digits && value.size() <= 3 ? value.toInt() : 0;
    if (jobs < 1 || jobs > kMaxJobs)
        throw UsageError(QStringLiteral("nombre de tâches %1 invalide : un entier de 1 à %2 attendu.")
                             .arg(quoted(value))
                             .arg(kMaxJobs));
    return jobs;
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
                                option == QLatin1String("--format") || option == QLatin1String("--qualite");
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
