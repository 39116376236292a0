// velmora-cli's batch form: each file gives the bytes of the single-file form,
// a bad file stops only itself, and a bad command line touches no file.
#include "CliRun.h"

#include "codecs/BitmapFiles.h"
#include "support/Images.h"
#include "support/PictureFiles.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

namespace {

constexpr int kFileError = 1;
constexpr int kUsageError = 2;

// The entries of a folder, hidden ones included, with the bytes of the files.
QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> entries;
    for (const QFileInfo& info :
         QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden))
        entries[info.fileName()] = info.isFile() ? clirun::Bytes(info.filePath()) : QByteArray("(dossier)");
    return entries;
}

// Three small inputs in a folder of their own: a BMP, an odd-sized BMP and a
// PNG (whose output stays a PNG).
struct Inputs {
    QString folder = testimg::TempDir();
    QStringList paths;

    Inputs()
    {
        SaveToFile(*testimg::Noise(23, 17, 1), folder + "/a.bmp");
        SaveToFile(*testimg::Noise(40, 31, 2), folder + "/b.bmp");
        SaveToFile(*testimg::Noise(16, 9, 3), folder + "/c.png", ImageFormat::Png, 92);
        paths = QStringList{folder + "/a.bmp", folder + "/b.bmp", folder + "/c.png"};
    }
};

QStringList batchArguments(const QString& out, const QStringList& options, const QStringList& inputs,
                           const QStringList& operations)
{
    return QStringList{"--dossier", out} + options + inputs + QStringList{"--"} + operations;
}

} // namespace

// An effect, a filter through a selection, and two dialogs' values: the batch
// writes, for each input, the very bytes the single-file form writes.
TEST(CliBatch, EachOutputHasTheBytesOfTheSingleFileForm)
{
    const std::vector<QStringList> groups = {
        {"negatif"},
        {"selection", "3", "2", "15", "12", "flou"},
        {"couleurs", "200", "100", "50", "contraste", "160", "90"},
        {"mirroir", "aquarelle"},
    };
    const Inputs inputs;
    for (const QStringList& operations : groups) {
        // The single-file form's output for each input.
        QMap<QString, QByteArray> expected;
        for (const QString& input : inputs.paths) {
            const QString single = testimg::TempDir() + "/" + QFileInfo(input).fileName();
            ASSERT_EQ(clirun::Run(QStringList{input, single} + operations).exitCode, 0);
            expected[QFileInfo(input).fileName()] = clirun::Bytes(single);
            ASSERT_FALSE(expected.last().isEmpty());
        }
        for (const char* jobs : {"1", "2"}) {
            SCOPED_TRACE((operations.join(' ') + " --taches " + QLatin1String(jobs)).toStdString());
            const QString out = testimg::TempDir();
            const clirun::Result batch = clirun::Run(batchArguments(out, {"--taches", jobs}, inputs.paths, operations));
            ASSERT_TRUE(batch.finished);
            EXPECT_EQ(batch.exitCode, 0);
            EXPECT_TRUE(batch.out.isEmpty());
            EXPECT_TRUE(batch.err.isEmpty()) << batch.err.toStdString(); // not a terminal, nothing failed
            EXPECT_TRUE(snapshot(out) == expected);
        }
    }
}

// --format writes every output in one format, the ending of its name replaced.
TEST(CliBatch, FormatOptionChoosesTheFormatAndTheEnding)
{
    const Inputs inputs;
    const QString gif = testimg::WriteFile(picturefile::Gif(1), "d.gif");
    const QString out = testimg::TempDir();
    const clirun::Result result =
        clirun::Run(batchArguments(out, {"--format", "PNG"}, inputs.paths + QStringList{gif}, {"negatif"}));
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(snapshot(out).keys(), (QStringList{"a.png", "b.png", "c.png", "d.png"}));
    const QString single = testimg::TempDir() + "/b.png";
    ASSERT_EQ(clirun::Run({inputs.paths[1], single, "negatif"}).exitCode, 0);
    EXPECT_EQ(clirun::Bytes(out + "/b.png"), clirun::Bytes(single));
}

// Without --format a GIF is refused (the program writes none) and the others go on.
TEST(CliBatch, ABadFileStopsOnlyItself)
{
    const Inputs inputs;
    const QString text = testimg::WriteFile("Ceci n'est pas une image.\n", "texte.bmp");
    const QString gif = testimg::WriteFile(picturefile::Gif(2), "anime.gif");
    const QString absent = testimg::TempDir() + "/absent.bmp";
    const QString out = testimg::TempDir();
    const QStringList files{inputs.paths[0], text, inputs.paths[1], absent, gif, inputs.paths[2]};
    const clirun::Result result = clirun::Run(batchArguments(out, {"--taches", "2"}, files, {"negatif"}));
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, kFileError);
    EXPECT_EQ(snapshot(out).keys(), (QStringList{"a.bmp", "b.bmp", "c.png"}));
    const QStringList lines = QString::fromUtf8(result.err).split('\n');
    ASSERT_EQ(lines.size(), 5) << result.err.toStdString(); // three failures, the summary, the final newline
    EXPECT_EQ(lines[3], "velmora-cli : 3 images traitées, 3 en erreur");
    EXPECT_EQ(lines[4], "");
    const QString failures = lines.mid(0, 3).join('\n');
    EXPECT_TRUE(failures.contains("velmora-cli : Impossible d'ouvrir « " + text + " » : ce n'est pas une image"));
    EXPECT_TRUE(failures.contains("velmora-cli : Impossible d'ouvrir « " + absent + " » : le fichier n'existe pas."));
    EXPECT_TRUE(failures.contains("velmora-cli : « " + gif + " » est une image GIF"));
}

// Counts are written the French way, the thousands apart by a narrow no-break
// space: a thousand missing files fail fast and write nothing.
TEST(CliBatch, TheSummaryGroupsTheThousands)
{
    const QString folder = testimg::TempDir();
    QStringList files;
    for (int i = 0; i < 1002; ++i)
        files << QStringLiteral("%1/absent%2.bmp").arg(folder).arg(i);
    const QString out = testimg::TempDir();
    const clirun::Result result = clirun::Run(batchArguments(out, {"--taches", "3"}, files, {}));
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, kFileError);
    EXPECT_EQ(QString::fromUtf8(result.err).count('\n'), 1003);
    EXPECT_TRUE(QString::fromUtf8(result.err)
                    .endsWith(QStringLiteral("\nvelmora-cli : 0 image traitée, 1\u202F002 en erreur\n")));
    EXPECT_TRUE(snapshot(out).isEmpty());
}

// An input in the output folder is replaced only with --remplacer.
TEST(CliBatch, AnInputIsReplacedOnlyWhenAsked)
{
    const Inputs inputs;
    const QString expected = testimg::TempDir() + "/a.bmp";
    ASSERT_EQ(clirun::Run({inputs.paths[0], expected, "negatif"}).exitCode, 0);
    const auto before = snapshot(inputs.folder);

    const clirun::Result refused = clirun::Run(batchArguments(inputs.folder, {}, {inputs.paths[0]}, {"negatif"}));
    EXPECT_EQ(refused.exitCode, kUsageError);
    EXPECT_TRUE(snapshot(inputs.folder) == before);

    const clirun::Result replaced =
        clirun::Run(batchArguments(inputs.folder, {"--remplacer"}, {inputs.paths[0]}, {"negatif"}));
    EXPECT_EQ(replaced.exitCode, 0) << replaced.err.toStdString();
    EXPECT_EQ(clirun::Bytes(inputs.paths[0]), clirun::Bytes(expected));
    EXPECT_EQ(clirun::Bytes(inputs.paths[1]), before["b.bmp"]);
}

// Every refusal is one French line, exit code 2, and no file written or
// changed, neither in the output folder nor among the inputs.
TEST(CliBatch, BadCommandLinesTouchNoFile)
{
    struct Case {
        std::string name;
        QStringList arguments; // {out} the output folder, {a} {b} {c} the inputs
        QString message;
    };
    const std::vector<Case> cases = {
        {"no --", {"--dossier", "{out}", "{a}", "negatif"}, "il manque « -- » après les fichiers d'entrée"},
        {"no input", {"--dossier", "{out}", "--", "negatif"}, "aucun fichier d'entrée."},
        {"no folder", {"--taches", "2", "{a}", "--"}, "l'option « --taches » demande le dossier de sortie"},
        {"folder without value", {"{a}", "--dossier"}, "l'option « --dossier » demande le dossier de sortie"},
        {"empty folder name", {"--dossier", "", "{a}", "--"}, "le nom du dossier de sortie est vide."},
        {"zero jobs",
         {"--dossier", "{out}", "--taches", "0", "{a}", "--"},
         "nombre de tâches « 0 » invalide : un entier de 1 à 64 attendu."},
        {"negative jobs", {"--dossier", "{out}", "--taches", "-2", "{a}", "--"}, "nombre de tâches « -2 » invalide"},
        {"too many jobs", {"--dossier", "{out}", "--taches", "65", "{a}", "--"}, "nombre de tâches « 65 » invalide"},
        {"huge jobs",
         {"--dossier", "{out}", "--taches", "99999999999", "{a}", "--"},
         "nombre de tâches « 99999999999 »"},
        {"jobs not a number",
         {"--dossier", "{out}", "--taches", "deux", "{a}", "--"},
         "« deux » n'est pas un nombre pour « --taches » : un entier de 1 à 64 attendu."},
        {"jobs without value", {"--dossier", "{out}", "--taches"}, "l'option « --taches » attend une valeur."},
        {"zero memory", {"--dossier", "{out}", "--memoire", "0", "{a}", "--"}, "mémoire « 0 » {memory}"},
        {"negative memory", {"--dossier", "{out}", "--memoire", "-512", "{a}", "--"}, "mémoire « -512 » {memory}"},
        {"memory with a unit",
         {"--dossier", "{out}", "--memoire", "512M", "{a}", "--"},
         "« 512M » n'est pas un nombre pour « --memoire » : un nombre de Mio de 1 à {most} attendu"},
        {"memory over 64 times the machine's",
         {"--dossier", "{out}", "--memoire", "{over}", "{a}", "--"},
         "mémoire « {over} » {memory}"},
        {"absurd memory",
         {"--dossier", "{out}", "--memoire", "99999999999999999999", "{a}", "--"},
         "mémoire « 99999999999999999999 » {memory}"},
        {"memory without value", {"--dossier", "{out}", "--memoire"}, "l'option « --memoire » attend une valeur."},
        {"option twice",
         {"--dossier", "{out}", "--dossier", "{out}", "{a}", "--"},
         "l'option « --dossier » est donnée deux fois."},
        {"unknown option", {"--dossier", "{out}", "--vite", "{a}", "--"}, "option inconnue « --vite »."},
        {"option after the files",
         {"--dossier", "{out}", "{a}", "--remplacer", "--"},
         "option « --remplacer » après les fichiers"},
        {"gif format", {"--dossier", "{out}", "--format", "gif", "{a}", "--"}, "format « gif » inconnu"},
        {"bad quality", {"--dossier", "{out}", "--qualite", "0", "{a}", "--"}, "qualité « 0 » hors limites"},
        {"quality not a number",
         {"--dossier", "{out}", "--qualite", "{a}", "{b}", "--"},
         "« {a} » n'est pas un nombre pour « --qualite » : un entier de 1 à 100 attendu."},
        {"unknown operation", {"--dossier", "{out}", "{a}", "--", "pivoter"}, "opération inconnue « pivoter »."},
        {"missing value", {"--dossier", "{out}", "{a}", "--", "contraste", "1"}, "« contraste » attend 2 valeurs"},
        {"missing folder",
         {"--dossier", "{out}/nulle-part", "{a}", "--"},
         "le dossier de sortie « {out}/nulle-part » n'existe pas."},
        {"folder is a file", {"--dossier", "{a}", "{b}", "--"}, "« {a} » n'est pas un dossier."},
        {"same name twice",
         {"--dossier", "{out}", "{a}", "{b}", "{a}", "--"},
         "« {a} » et « {a} » donneraient le même fichier de sortie « a.bmp »."},
        {"same name, other folder",
         {"--dossier", "{out}", "{a}", "{autre}", "--"},
         "« {a} » et « {autre} » donneraient le même fichier de sortie « a.bmp »."},
        {"same name once renamed",
         {"--dossier", "{out}", "--format", "png", "{a}", "{c}", "{apng}", "--"},
         "donneraient le même fichier de sortie « a.png »."},
        {"input in the folder",
         {"--dossier", "{in}", "{b}", "--"},
         "« {in}/b.bmp » est un fichier d'entrée : il serait remplacé (--remplacer le permet)."},
        {"renamed onto an input",
         {"--dossier", "{in}", "--format", "png", "{c}", "--"},
         "« {in}/c.png » est un fichier d'entrée"},
    };
    // Every case is refused: the same files serve them all.
    const Inputs inputs;
    const QString out = testimg::TempDir();
    const QString other = testimg::TempDir();
    SaveToFile(*testimg::Noise(3, 3, 9), other + "/a.bmp");
    SaveToFile(*testimg::Noise(3, 3, 9), other + "/a.png", ImageFormat::Png, 92);
    const auto before = snapshot(inputs.folder);
    // --memoire takes from 1 MiB to 64 times the machine's memory.
    const qint64 most = qint64(::sysconf(_SC_PHYS_PAGES)) * ::sysconf(_SC_PAGESIZE) / (1 << 20) * 64;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto expand = [&](QString text) {
            return text.replace("{out}", out)
                .replace("{in}", inputs.folder)
                .replace("{a}", inputs.paths[0])
                .replace("{b}", inputs.paths[1])
                .replace("{c}", inputs.paths[2])
                .replace("{autre}", other + "/a.bmp")
                .replace("{apng}", other + "/a.png")
                .replace("{over}", QString::number(most + 1))
                .replace("{most}", QString::number(most))
                .replace("{memory}", QStringLiteral("invalide : un nombre de Mio de 1 à %1 attendu").arg(most));
        };
        QStringList arguments;
        for (const QString& argument : c.arguments)
            arguments << expand(argument);
        const clirun::Result result = clirun::Run(arguments);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, kUsageError);
        const QString err = QString::fromUtf8(result.err);
        EXPECT_TRUE(err.startsWith("velmora-cli : ") && err.endsWith(" Voir velmora-cli --aide.\n") &&
                    err.count('\n') == 1)
            << result.err.toStdString();
        EXPECT_TRUE(err.contains(expand(c.message))) << result.err.toStdString();
        EXPECT_TRUE(snapshot(out).isEmpty());
        EXPECT_TRUE(snapshot(inputs.folder) == before);
    }
}

// A symbolic link found in the output folder is replaced by the result itself:
// the file it pointed at, outside the folder, is never written.
TEST(CliBatch, ALinkInTheOutputFolderIsReplacedNotFollowed)
{
    const Inputs inputs;
    const QString outside = testimg::TempDir() + "/precieux.bmp";
    SaveToFile(*testimg::Noise(5, 5, 9), outside);
    const QByteArray kept = clirun::Bytes(outside);
    const QString out = testimg::TempDir();
    ASSERT_EQ(::symlink(QFile::encodeName(outside).constData(), QFile::encodeName(out + "/a.bmp").constData()), 0);

    const clirun::Result batch = clirun::Run(batchArguments(out, {}, inputs.paths, {"negatif"}));
    EXPECT_EQ(batch.exitCode, 0) << batch.err.toStdString();
    EXPECT_EQ(clirun::Bytes(outside), kept);
    const QFileInfo written(out + "/a.bmp");
    EXPECT_FALSE(written.isSymLink());
    EXPECT_TRUE(written.isFile());
    const QString single = testimg::TempDir() + "/a.bmp";
    ASSERT_EQ(clirun::Run({inputs.paths[0], single, "negatif"}).exitCode, 0);
    EXPECT_EQ(clirun::Bytes(out + "/a.bmp"), clirun::Bytes(single));
    EXPECT_EQ(snapshot(out).size(), 3);
}
