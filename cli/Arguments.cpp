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

Command ParseArguments(const QStringList& arguments)
{
    Command command;
    for (const QString& argument : arguments)
        if (isHelp(argument)) {
            command.help = true;
            return command;
        }

    // Options come before the files.
    qsizetype first = 0;
    while (first < arguments.size() && arguments[first] == QLatin1String("--qualite")) {
        if (first + 1 == arguments.size())
            throw UsageError(QStringLiteral("« --qualite » attend une valeur de 1 à 100."));
        const QString& value = arguments[first + 1];
        bool ok = false;
        const int quality = value.toInt(&ok);
        if (!ok || quality < 1 || quality > 100 || !value.front().isDigit())
            throw UsageError(
                QStringLiteral("qualité %1 hors limites : un entier de 1 à 100 attendu.").arg(quoted(value)));
        command.quality = quality;
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
    command.input = files[0];
    command.output = files[1];

    for (qsizetype i = 2; i < files.size();) {
        const QString& name = files[i++];
        const commands::Command* operation = FindOperation(name);
        if (!operation)
            throw UsageError(QStringLiteral("opération inconnue %1.").arg(quoted(name)));
        Step step{operation};
        const int count = operation->ValueCount();
        for (int k = 0; k < count; ++k) {
            if (i == files.size())
                throw UsageError(QStringLiteral("« %1 » attend %2 valeurs (%3), %4 donnée(s).")
                                     .arg(QLatin1String(operation->cliName))
                                     .arg(count)
                                     .arg(QLatin1String(operation->valueNames))
                                     .arg(k));
            step.values[size_t(k)] = parseValue(files[i++], operation->valueKind, *operation);
        }
        command.steps.push_back(step);
    }
    return command;
}

QString UsageText()
{
    QString text = QStringLiteral("Utilisation : velmora-cli [--qualite N] ENTRÉE SORTIE [OPÉRATION [VALEURS]]...\n"
                                  "              velmora-cli --aide\n"
                                  "\n"
                                  "Lit l'image ENTRÉE (BMP, PNG, JPEG, GIF, WebP ou TIFF, reconnue à son contenu),\n"
                                  "lui applique les opérations dans l'ordre donné et écrit le résultat dans\n"
                                  "SORTIE, dans le format que nomme la fin de son nom : .png, .jpg ou .jpeg,\n"
                                  ".webp, .tif ou .tiff ; toute autre fin donne un BMP 24 bits. Les opérations\n"
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
                           "Codes de retour : 0 réussite, 1 fichier illisible ou impossible à écrire,\n"
                           "2 erreur dans la ligne de commande.\n");
    return text;
}

} // namespace cli
