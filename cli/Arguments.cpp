#include "Arguments.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <limits>

namespace cli {
namespace {

using commands::ValueKind;

bool isHelp(const QString& argument)
{
    return argument == QLatin1String("--aide") || argument == QLatin1String("--help") ||
           argument == QLatin1String("-h");
}

QString quoted(const QString& text) { return QStringLiteral("« %1 »").arg(text); }

QString heading(commands::SelectionRule rule)
{
    switch (rule) {
    case commands::SelectionRule::WholeImage:
        return QStringLiteral("Effets, sur toute l'image (la sélection n'y change rien)");
    case commands::SelectionRule::ThroughMask: return QStringLiteral("Filtres, seulement dans la sélection");
    case commands::SelectionRule::SetsMask: return QStringLiteral("Sélection (au départ, toute l'image)");
    case commands::SelectionRule::Reshapes:
        return QStringLiteral("Taille et orientation (ensuite, toute l'image est modifiable)");
    case commands::SelectionRule::Fills: return QStringLiteral("Remplissage, seulement dans la sélection");
    }
    return QString();
}

// What each kind of value must be, as the refusals say it.
QString expected(ValueKind kind)
{
    switch (kind) {
    case ValueKind::Coordinate: return QStringLiteral("un entier (éventuellement négatif) attendu");
    case ValueKind::Size:
        return QStringLiteral("une taille attendue, en pixels (de 1 à %1), en pourcentage (« 50% », de 0,01 % à "
                              "1000 %) ou 0 pour garder les proportions")
            .arg(kMaxBitmapSide);
    case ValueKind::Pixels: return QStringLiteral("un nombre de pixels de 1 à %1 attendu").arg(kMaxBitmapSide);
    case ValueKind::Filter: return QStringLiteral("filtre attendu : lanczos, bicubique, bilineaire ou proche");
    case ValueKind::Anchor:
        return QStringLiteral("ancre attendue : haut-gauche, haut, haut-droite, gauche, centre, droite, bas-gauche, "
                              "bas ou bas-droite");
    case ValueKind::Colour: return QStringLiteral("couleur attendue en hexadécimal, RRGGBB (« FF8000 »)");
    case ValueKind::Angle: return QStringLiteral("un angle de -360 à 360 degrés attendu, deux décimales au plus");
    default: return QStringLiteral("un entier de 0 à 255 attendu");
    }
}

enum class Number { Read, NotANumber, OutOfRange };

// A number written with digits, an optional minus sign where `signedValue`,
// and up to `decimals` decimals after a point or a comma, in units of
// 10^-decimals; out of range when its magnitude passes `limit`.
Number readNumber(const QString& text, bool signedValue, int decimals, long long limit, long long* value)
{
    qsizetype at = 0;
    const bool negative = signedValue && text.startsWith(QLatin1Char('-'));
    if (negative)
        at = 1;
    long long magnitude = 0;
    int digits = 0;
    int fraction = -1; // digits after the point, once there is one
    for (; at < text.size(); ++at) {
        const QChar c = text[at];
        if ((c == QLatin1Char('.') || c == QLatin1Char(',')) && decimals > 0 && fraction < 0 && digits > 0) {
            fraction = 0;
            continue;
        }
        if (c < QLatin1Char('0') || c > QLatin1Char('9') || fraction == decimals)
            return Number::NotANumber;
        ++digits;
        if (fraction >= 0)
            ++fraction;
        // Past the limit the value is refused anyway; stop growing it.
        if (magnitude <= limit)
            magnitude = magnitude * 10 + (c.unicode() - '0');
    }
    if (digits == 0 || fraction == 0)
        return Number::NotANumber;
    for (int k = std::max(fraction, 0); k < decimals; ++k)
        magnitude = std::min(magnitude, limit + 1) * 10;
    if (magnitude > limit)
        return Number::OutOfRange;
    *value = negative ? -magnitude : magnitude;
    return Number::Read;
}

// The word's place in `words`, or -1.
int wordIndex(const QString& text, std::initializer_list<const char*> words)
{
    int index = 0;
    for (const char* word : words) {
        if (text == QLatin1String(word))
            return index;
        ++index;
    }
    return -1;
}

// One value of `kind`, as CommandTable.h says it is held.
int parseValue(const QString& text, ValueKind kind, const commands::Command& operation)
{
    const auto refuse = [&](const QString& why) {
        throw UsageError(
            QStringLiteral("%1 pour « %2 » : %3.").arg(why, QLatin1String(operation.cliName), expected(kind)));
    };
    const auto number = [&](bool signedValue, int decimals, long long low, long long high,
                            const QString& digits = QString()) {
        long long value = 0;
        const Number read =
            readNumber(digits.isNull() ? text : digits, signedValue, decimals, std::max(-low, high), &value);
        if (read == Number::NotANumber)
            refuse(text.isEmpty() ? QStringLiteral("valeur vide")
                                  : QStringLiteral("%1 n'est pas un nombre").arg(quoted(text)));
        if (read == Number::OutOfRange || value < low || value > high)
            refuse(QStringLiteral("%1 est hors limites").arg(text));
        return int(value);
    };
    const auto word = [&](std::initializer_list<const char*> words) {
        const int index = wordIndex(text, words);
        if (index < 0)
            refuse(text.isEmpty() ? QStringLiteral("valeur vide")
                                  : QStringLiteral("%1 n'est pas reconnu").arg(quoted(text)));
        return index;
    };
    switch (kind) {
    case ValueKind::Coordinate:
        return number(true, 0, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    case ValueKind::Size:
        if (text.endsWith(QLatin1Char('%'))) {
            const int percent = number(false, 2, 0, commands::kMaxPercent, text.chopped(1));
            if (percent == 0)
                refuse(QStringLiteral("%1 est hors limites").arg(text));
            return percent | commands::kPercent;
        }
        return number(false, 0, 0, kMaxBitmapSide);
    case ValueKind::Pixels: return number(false, 0, 1, kMaxBitmapSide);
    case ValueKind::Filter: return word({"lanczos", "bicubique", "bilineaire", "proche"});
    case ValueKind::Anchor:
        return word(
            {"haut-gauche", "haut", "haut-droite", "gauche", "centre", "droite", "bas-gauche", "bas", "bas-droite"});
    case ValueKind::Colour: {
        const auto hexDigit = [](QChar c) { return c.unicode() < 128 && std::isxdigit(c.unicode()); };
        if (text.size() != 6 || !std::all_of(text.begin(), text.end(), hexDigit))
            refuse(text.isEmpty() ? QStringLiteral("valeur vide")
                                  : QStringLiteral("%1 n'est pas une couleur").arg(quoted(text)));
        return text.toInt(nullptr, 16);
    }
    case ValueKind::Angle: return number(true, 2, -36000, 36000);
    default: return number(false, 0, 0, 255);
    }
}

// What one operation's values must be together.
void checkTogether(const Step& step)
{
    const commands::Command& operation = *step.operation;
    const commands::Values& v = step.values;
    const QString name = QLatin1String(operation.cliName);
    if (operation.id == commands::CommandId::Redimensionner && v[0] == 0 && v[1] == 0)
        throw UsageError(
            QStringLiteral("« %1 » : la largeur et la hauteur ne peuvent pas valoir 0 toutes les deux.").arg(name));
    if (operation.id == commands::CommandId::Rogner) {
        if (v[0] == v[2] || v[1] == v[3])
            throw UsageError(QStringLiteral("« %1 » : le rectangle de (%2, %3) à (%4, %5) est vide.")
                                 .arg(name)
                                 .arg(v[0])
                                 .arg(v[1])
                                 .arg(v[2])
                                 .arg(v[3]));
        if (std::min({v[0], v[1], v[2], v[3]}) < 0 || std::max(v[0], v[2]) > kMaxBitmapSide ||
            std::max(v[1], v[3]) > kMaxBitmapSide)
            throw UsageError(QStringLiteral("« %1 » : le rectangle de (%2, %3) à (%4, %5) sort de toute image.")
                                 .arg(name)
                                 .arg(v[0])
                                 .arg(v[1])
                                 .arg(v[2])
                                 .arg(v[3]));
    }
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
                                     .arg(QString::fromUtf8(operation->valueNames))
                                     .arg(k));
            step.values[size_t(k)] = parseValue(words[i++], operation->valueKinds[size_t(k)], *operation);
        }
        checkTogether(step);
        steps.push_back(step);
    }
    return steps;
}

bool IsWholeNumber(const QString& text)
{
    const qsizetype first = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    return text.size() > first && std::all_of(text.begin() + first, text.end(),
                                              [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

UsageError NotANumber(const QString& value, const QString& option, const QString& expected)
{
    const QString what =
        value.isEmpty() ? QStringLiteral("valeur vide") : QStringLiteral("%1 n'est pas un nombre").arg(quoted(value));
    return UsageError(QStringLiteral("%1 pour %2 : %3.").arg(what, quoted(option), expected));
}

int ParseQuality(const QString& value)
{
    const QString expected = QStringLiteral("un entier de 1 à 100 attendu");
    if (!IsWholeNumber(value))
        throw NotANumber(value, QStringLiteral("--qualite"), expected);
    bool ok = false;
    const int quality = value.toInt(&ok);
    if (!ok || quality < 1 || quality > 100)
        throw UsageError(QStringLiteral("qualité %1 hors limites : %2.").arg(quoted(value), expected));
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
    for (const char* option : {"--dossier", "--taches", "--memoire", "--format", "--remplacer"})
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
    QString text = QStringLiteral("Utilisation : velmora-cli [--qualite N] ENTRÉE SORTIE [OPÉRATION [VALEURS]]...\n"
                                  "              velmora-cli --dossier SORTIE [--taches N] [--memoire N]\n"
                                  "                          [--format EXT] [--remplacer] [--qualite N]\n"
                                  "                          ENTRÉE... -- [OPÉRATION [VALEURS]]...\n"
                                  "              velmora-cli --aide (ou --help, -h)\n"
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
                                  "cas d'erreur, aucun fichier n'est écrit ni modifié ; interrompu (Ctrl+C,\n"
                                  "SIGTERM ou SIGHUP), le programme n'écrit rien. Le fichier remplacé garde son\n"
                                  "mode, son propriétaire, son groupe et tous ses noms (liens physiques).\n"
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
            usage += QLatin1Char(' ') + QString::fromUtf8(command.valueNames);
        text += QStringLiteral("  %1  %2\n").arg(usage, -25).arg(QString::fromUtf8(command.help));
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
                           "Les opérations de taille et d'orientation changent l'image entière ; ensuite,\n"
                           "toute l'image est modifiable. « rogner » garde le rectangle de « selection »,\n"
                           "qui doit être dans l'image ; il ne change rien s'il la couvre entière.\n"
                           "« autorogner » retire les lignes et les colonnes du bord dont tous les pixels\n"
                           "ont exactement la couleur du pixel en haut à gauche. L et H de\n"
                           "« redimensionner » : des pixels ou un pourcentage (« 50% ») ; 0 pour l'un\n"
                           "garde les proportions. FILTRE : lanczos (photos), bicubique, bilineaire ou\n"
                           "proche (pixel art). Une photo JPEG que sa première opération réduit au moins\n"
                           "au quart est lue directement à une taille réduite, au moins double du résultat\n"
                           "(au plus 2 niveaux d'écart avec la lecture entière).\n"
                           "L et H de « toile » : des pixels ; ANCRE : haut-gauche, haut, haut-droite,\n"
                           "gauche, centre, droite, bas-gauche, bas ou bas-droite ; COULEUR, celle de la\n"
                           "zone ajoutée : RRGGBB en hexadécimal. DEGRÉS : de -360 à 360, deux décimales\n"
                           "au plus ; 90, 180 et 270 tournent exactement, les autres angles agrandissent\n"
                           "l'image pour la contenir, coins blancs. Un résultat de plus de 32767 pixels\n"
                           "de côté ou de 1 Gio est refusé (code 2). COULEUR de « remplir » : RRGGBB ;\n"
                           "après « selection », seul le rectangle est rempli.\n"
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
                           "  --memoire N       mémoire que les images tiennent à la fois, en Mio, de 1 à\n"
                           "                    64 fois celle de la machine (par défaut, la moitié de la\n"
                           "                    mémoire disponible au départ) : une image n'est lue que\n"
                           "                    quand ce qu'elle demande, estimé d'après la taille que\n"
                           "                    son fichier annonce, tient à côté des autres ; une image\n"
                           "                    plus grande que ce budget est traitée seule\n"
                           "  --format EXT      écrit chaque résultat en bmp, png, jpg, jpeg, webp, tif ou\n"
                           "                    tiff, la fin de son nom remplacée par .EXT\n"
                           "  --remplacer       permet de remplacer un fichier d'entrée (refusé sans elle)\n"
                           "\n"
                           "Deux entrées de même nom (venant de dossiers différents) sont refusées avant\n"
                           "tout travail. Interrompu (Ctrl+C, SIGTERM ou SIGHUP), le programme ne commence\n"
                           "plus de fichier, termine ceux en cours et ne laisse aucun fichier incomplet.\n"
                           "Un lien du dossier SORTIE (symbolique, ou un autre nom d'un fichier) est\n"
                           "remplacé par le résultat, jamais suivi.\n"
                           "Sur un terminal, une ligne montre l'avancement.\n"
                           "\n"
                           "  velmora-cli --dossier sortie --taches 4 photos/*.jpg -- contraste 160 128\n"
                           "  velmora-cli --dossier vignettes photos/*.jpg -- redimensionner 1600 0 lanczos\n"
                           "\n"
                           "Codes de retour : 0 réussite, 1 fichier illisible ou impossible à écrire\n"
                           "(par lots : au moins un fichier en erreur), 2 erreur dans la ligne de commande\n"
                           "(par lots : aussi un dossier de sortie absent ou fermé en écriture, deux\n"
                           "entrées de même nom, une entrée qui serait remplacée), 130 interrompu par\n"
                           "Ctrl+C (SIGINT), 143 interrompu par SIGTERM, 129 par SIGHUP.\n");
    return text;
}

} // namespace cli
