#include "Arguments.h"

#include <limits>

namespace cli {
namespace {

using commands::ValueKind;

bool isHelp(const QString& argument)
{
    return argument == QLatin1String("--aide") || argument == QLatin1String("--help");
}

QString quoted(const QString& text) { return QStringLiteral("« %1 »").arg(text); }

QString heading(commands::SelectionRule rule)
{
    switch (rule) {
    case commands::SelectionRule::WholeImage:
        return QStringLiteral("Effets, sur toute l'image (la sélection n'y change rien)");
    case commands::SelectionRule::ThroughMask: return QStringLiteral("Filtres, seulement dans la sélection");
    case commands::SelectionRule::SetsMask: return QStringLiteral("Sélection (au départ, toute l'image)");
    }
    return QString();
}

// Digits only, with a leading minus sign where `kind` allows one; the value
// must lie in the kind's range.
int parseValue(const QString& text, ValueKind kind, const commands::Command& operation)
{
    const bool signedValue = kind == ValueKind::Coordinate;
    const long long low = signedValue ? std::numeric_limits<int>::min() : 0;
    const long long high = signedValue ? std::numeric_limits<int>::max() : 255;
    const QString range =
        signedValue ? QStringLiteral("un entier (éventuellement négatif)") : QStringLiteral("un entier de 0 à 255");
    const auto refuse = [&](const QString& why) {
        throw UsageError(
            QStringLiteral("%1 pour « %2 » : %3 attendu.").arg(why, QLatin1String(operation.cliName), range));
    };

    qsizetype at = 0;
    const bool negative = signedValue && text.startsWith(QLatin1Char('-'));
    if (negative)
        at = 1;
    if (at == text.size())
        refuse(text.isEmpty() ? QStringLiteral("valeur vide")
                              : QStringLiteral("%1 n'est pas un nombre").arg(quoted(text)));
    long long magnitude = 0;
    bool tooLarge = false;
    for (; at < text.size(); ++at) {
        const QChar c = text[at];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            refuse(QStringLiteral("%1 n'est pas un nombre").arg(quoted(text)));
        // Past this bound the value is out of range anyway; stop growing it.
        if (magnitude <= high + 1)
            magnitude = magnitude * 10 + (c.unicode() - '0');
        else
            tooLarge = true;
    }
    const long long value = negative ? -magnitude : magnitude;
    if (tooLarge || value < low || value > high)
        refuse(QStringLiteral("%1 est hors limites").arg(text));
    return int(value);
}

} // namespace

std::vector<Step> ParseSteps(const QStringList& words)
{
    std::vector<Step> steps;
    for (qsizetype i = 0; i < words.size();) {
        const QString& name = words[i++];
        const commands::Command* operation = FindOperation(name);
        if (!operation)
            throw UsageError(QStringLiteral("opération inconnue %1.").arg(quoted(name)));
        Step step{operation};
        const int count = operation->ValueCount();
        for (int k = 0; k < count; ++k) {
            if (i == words.size())
                throw UsageError(QStringLiteral("« %1 » attend %2 valeurs (%3), %4 donnée(s).")
                                     .arg(QLatin1String(operation->cliName))
                                     .arg(count)
                                     .arg(QLatin1String(operation->valueNames))
                                     .arg(k));
            step.values[size_t(k)] = parseValue(words[i++], operation->valueKind, *operation);
        }
        steps.push_back(step);
    }
    return steps;
}

int ParseQuality(const QString& value)
{
    bool ok = false;
    const int quality = value.toInt(&ok);
    if (!ok || quality < 1 || quality > 100 || !value.front().isDigit())
        throw UsageError(QStringLiteral("qualité %1 hors limites : un entier de 1 à 100 attendu.").arg(quoted(value)));
    return quality;
}

Command ParseArguments(const QStringList& arguments)
{
    Command command;
    for (const QString& argument : arguments)
        if (isHelp(argument)) {
            command.help = true;
            return command;
        }
    if (arguments.contains(QLatin1String("--version"))) {
        command.version = true;
        return command;
    }
    for (const char* option : {"--dossier", "--taches", "--format", "--remplacer"})
        if (arguments.contains(QLatin1String(option)))
            return ParseBatchArguments(arguments);

    // Options come before the files.
    qsizetype first = 0;
    while (first < arguments.size() && arguments[first] == QLatin1String("--qualite")) {
        if (first + 1 == arguments.size())
            throw UsageError(QStringLiteral("« --qualite » attend une valeur de 1 à 100."));
        command.quality = ParseQuality(arguments[first + 1]);
        first += 2;
    }
    const QStringList files = arguments.mid(first);
    if (files.isEmpty())
        throw UsageError(QStringLiteral("il manque le fichier d'entrée et le fichier de sortie."));
    if (files.size() < 2)
        throw UsageError(QStringLiteral("il manque le fichier de sortie."));
    for (int i = 0; i < 2; ++i) {
        const QString& name = files[i];
        if (name.isEmpty())
            throw UsageError(i == 0 ? QStringLiteral("le nom du fichier d'entrée est vide.")
                                    : QStringLiteral("le nom du fichier de sortie est vide."));
        // The options are the two for help and --qualite; a file whose name
        // starts with "--" can be written ./--name.
        if (name.startsWith(QLatin1String("--")))
            throw UsageError(QStringLiteral("option inconnue %1.").arg(quoted(name)));
    }
    // Refused before anything is read: a GIF name would get other bytes.
    if (files[1].endsWith(QLatin1String(".gif"), Qt::CaseInsensitive))
        throw UsageError(
            QStringLiteral("velmora-cli n'écrit pas de GIF : choisissez .png, .webp, .tif, .jpg ou .bmp."));
    command.input = files[0];
    command.output = files[1];

    command.steps = ParseSteps(files.mid(2));
    return command;
}

QString UsageText()
{
    QString text =
        QStringLiteral("Utilisation : velmora-cli [--qualite N] ENTRÉE SORTIE [OPÉRATION [VALEURS]]...\n"
                       "              velmora-cli --dossier SORTIE [--taches N] [--format EXT] [--remplacer]\n"
                       "                          [--qualite N] ENTRÉE... -- [OPÉRATION [VALEURS]]...\n"
                       "              velmora-cli --aide\n"
                       "              velmora-cli --version\n"
                       "\n"
                       "Lit l'image ENTRÉE (BMP, PNG, JPEG, GIF, WebP ou TIFF, reconnue à son contenu),\n"
                       "lui applique les opérations dans l'ordre donné et écrit le résultat dans\n"
                       "SORTIE, dans le format que nomme la fin de son nom : .png, .jpg ou .jpeg,\n"
                       ".webp, .tif ou .tiff ; toute autre fin donne un BMP 24 bits, sauf .gif, refusée\n"
                       "(le programme n'écrit pas de GIF). Les opérations\n"
                       "donnent les mêmes octets que les commandes de l'éditeur. Sans opération,\n"
                       "l'image est simplement réenregistrée en 24 bits. ENTRÉE et SORTIE peuvent être\n"
                       "le même fichier : il n'est remplacé qu'une fois tout le traitement réussi. En\n"
                       "cas d'erreur, aucun fichier n'est écrit ni modifié.\n"
                       "\n"
                       "  --qualite N  qualité des fichiers JPEG et WebP écrits, de 1 à 100 (92 par\n"
                       "               défaut)\n");

    // The operations under a heading for each selection rule, in the order of
    // the table.
    const commands::Command* previous = nullptr;
    for (const commands::Command& command : commands::AllCommands()) {
        if (!previous || previous->selection != command.selection)
            text += QStringLiteral("\n%1 :\n").arg(heading(command.selection));
        previous = &command;
        QString usage = QLatin1String(command.cliName);
        if (command.ValueCount() > 0)
            usage += QLatin1Char(' ') + QLatin1String(command.valueNames);
        text += QStringLiteral("  %1  %2\n").arg(usage, -22).arg(QString::fromUtf8(command.help));
    }

    text += QStringLiteral("\n"
                           "Les valeurs R V B, C et L sont celles des boîtes « Couleurs RVB » et\n"
                           "« Contraste » : des entiers de 0 à 255 (128 ne change rien). Les\n"
                           "coordonnées X0 Y0 X1 Y1 sont des entiers, éventuellement négatifs.\n"
                           "Après « selection », seul le rectangle entre les deux points reste\n"
                           "modifiable, sans la colonne X1 ni la ligne Y1 ; comme dans l'éditeur,\n"
                           "toute l'image reste modifiable si X1 = X0, si Y1 = Y0 ou si (X1, Y1) est\n"
                           "hors de l'image.\n"
                           "\n"
                           "Exemples :\n"
                           "  velmora-cli photo.bmp photo-aquarelle.bmp selection 10 10 200 150 aquarelle\n"
                           "  velmora-cli photo.bmp photo-chaude.bmp couleurs 255 128 0 contraste 160 128\n"
                           "\n"
                           "Traitement par lots (--dossier) : chaque ENTRÉE reçoit les opérations données\n"
                           "après « -- » (obligatoire, même sans opération) et le résultat est écrit dans\n"
                           "le dossier SORTIE, qui doit exister, sous le nom de l'entrée et dans son format\n"
                           "(reconnu à son contenu). Une image GIF n'y est pas écrite : le programme n'écrit\n"
                           "pas de GIF ; choisissez un autre format avec --format. Un fichier qui échoue\n"
                           "n'arrête pas les autres : une ligne par échec, puis un bilan (toujours sur un\n"
                           "terminal, ailleurs seulement s'il y a eu des erreurs).\n"
                           "\n"
                           "  --dossier SORTIE  dossier où écrire les résultats\n"
                           "  --taches N        nombre d'images traitées à la fois, de 1 à 64 (par défaut,\n"
                           "                    le nombre de cœurs) : au plus N images en mémoire à la fois\n"
                           "                    et N fichiers ouverts\n"
                           "  --format EXT      écrit chaque résultat en bmp, png, jpg, jpeg, webp, tif ou\n"
                           "                    tiff, la fin de son nom remplacée par .EXT\n"
                           "  --remplacer       permet de remplacer un fichier d'entrée (refusé sans elle)\n"
                           "\n"
                           "Deux entrées de même nom (venant de dossiers différents) sont refusées avant\n"
                           "tout travail. Interrompu (Ctrl+C, SIGTERM ou SIGHUP), le programme ne commence\n"
                           "plus de fichier, termine ceux en cours et ne laisse aucun fichier incomplet.\n"
                           "Un lien symbolique du dossier SORTIE est remplacé par le résultat, jamais suivi.\n"
                           "Sur un terminal, une ligne montre l'avancement.\n"
                           "\n"
                           "  velmora-cli --dossier sortie --taches 4 photos/*.jpg -- contraste 160 128\n"
                           "\n"
                           "Codes de retour : 0 réussite, 1 fichier illisible ou impossible à écrire\n"
                           "(par lots : au moins un fichier en erreur), 2 erreur dans la ligne de commande\n"
                           "(par lots : aussi un dossier de sortie absent ou fermé en écriture, deux\n"
                           "entrées de même nom, une entrée qui serait remplacée), 130 interrompu par\n"
                           "Ctrl+C (SIGINT), 143 interrompu par SIGTERM, 129 par SIGHUP.\n");
    return text;
}

} // namespace cli
