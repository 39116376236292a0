// What velmora-cli does with bad arguments and bad files: one French line on
// the standard error stream, a non-zero exit code, and no file written or
// changed, whether the output existed before or not.
#include "CliRun.h"

#include "codecs/BitmapFiles.h"
#include "filters/Tfiltre.h"
#include "support/FileLimits.h"
#include "support/Images.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

constexpr int kFileError = 1;
constexpr int kUsageError = 2;

// A folder with a valid input and the awkward neighbours the cases name:
// {entree} a 24-bit image, {sortie} the output (absent or existing), {texte}
// a text file, {tronque} a BMP cut short, {dossier} a folder, {fifo} a named
// pipe, {lecture-seule} a read-only copy of the image, {absent} a name with no
// file.
struct Folder {
    QString path;

    Folder(bool outputExists) : path(testimg::TempDir())
    {
        const auto image = testimg::Noise(37, 29, 3);
        SaveToFile(*image, file("entree.bmp"));
        if (outputExists)
            write("sortie.bmp", "ancien contenu");
        write("texte.bmp", "Ceci n'est pas une image.\n");
        write("tronque.bmp", clirun::Bytes(file("entree.bmp")).left(100));
        // Damaged pictures of the formats other libraries read: cut short,
        // the TIFF with 16 bits a channel, which Qt's plugin reads.
        QImage picture(64, 48, QImage::Format_RGBA64);
        picture.fill(QColor(30, 60, 90));
        for (const char* format : {"png", "webp", "tif"}) {
            const QString name = file(QStringLiteral("abime.%1").arg(QLatin1String(format)));
            picture.save(name, format);
            const QByteArray bytes = clirun::Bytes(name);
            write(QStringLiteral("abime.%1").arg(QLatin1String(format)), bytes.left(bytes.size() * 2 / 3));
        }
        QDir(path).mkdir("dossier");
        ::mkfifo(QFile::encodeName(file("fifo")).constData(), 0644);
        write("lecture-seule.bmp", clirun::Bytes(file("entree.bmp")));
        QFile::setPermissions(file("lecture-seule.bmp"), QFileDevice::ReadOwner | QFileDevice::ReadUser);
    }

    QString file(const QString& name) const { return path + QLatin1Char('/') + name; }

    void write(const QString& name, const QByteArray& bytes) const
    {
        QFile f(file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QStringList expand(const QStringList& arguments) const
    {
        QStringList expanded;
        for (QString argument : arguments) {
            for (const char* name : {"entree", "sortie", "texte", "tronque", "lecture-seule"})
                argument.replace(QStringLiteral("{%1}").arg(QLatin1String(name)), file(QLatin1String(name) + ".bmp"));
            for (const char* format : {"png", "webp", "tif"})
                argument.replace(QStringLiteral("{abime-%1}").arg(QLatin1String(format)),
                                 file(QStringLiteral("abime.%1").arg(QLatin1String(format))));
            argument.replace("{dossier}", file("dossier"));
            argument.replace("{fifo}", file("fifo"));
            argument.replace("{absent}", file("absent.bmp"));
            argument.replace("{sans-dossier}", file("nulle-part/sortie.bmp"));
            expanded << argument;
        }
        return expanded;
    }

    // Every entry of the folder with the bytes of the regular files.
    QMap<QString, QByteArray> snapshot() const
    {
        QMap<QString, QByteArray> entries;
        for (const QFileInfo& info :
             QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden))
            entries[info.fileName()] = info.isFile() ? clirun::Bytes(info.filePath()) : QByteArray("(autre)");
        return entries;
    }
};

struct Case {
    std::string name;
    QStringList arguments;
    int exitCode;
    QString message; // a part of the expected message
};

void expectRefused(const Case& c, bool outputExists)
{
    SCOPED_TRACE(c.name + (outputExists ? " (existing output)" : ""));
    const Folder folder(outputExists);
    const auto before = folder.snapshot();
    const clirun::Result result = clirun::Run(folder.expand(c.arguments));
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_TRUE(result.out.isEmpty());
    const QString err = QString::fromUtf8(result.err);
    EXPECT_TRUE(err.startsWith("velmora-cli : ")) << result.err.toStdString();
    EXPECT_TRUE(err.endsWith('\n') && err.count('\n') == 1) << "not one line: " << result.err.toStdString();
    EXPECT_TRUE(err.contains(c.message)) << result.err.toStdString();
    // Nothing written, nothing left behind, nothing changed.
    EXPECT_TRUE(folder.snapshot() == before);
}

} // namespace

TEST(CliErrors, BadCommandLinesAreRefusedBeforeAnyFileIsTouched)
{
    const std::vector<Case> cases = {
        {"no argument", {}, kUsageError, "il manque le fichier d'entrée"},
        {"no output", {"{entree}"}, kUsageError, "il manque le fichier de sortie"},
        {"empty input name", {"", "{sortie}"}, kUsageError, "fichier d'entrée est vide"},
        {"empty output name", {"{entree}", ""}, kUsageError, "fichier de sortie est vide"},
        {"unknown option", {"--verbeux", "{sortie}"}, kUsageError, "option inconnue « --verbeux »"},
        {"quality not a number",
         {"--qualite", "{entree}", "{sortie}"},
         kUsageError,
         "n'est pas un nombre pour « --qualite » : un entier de 1 à 100 attendu."},
        {"unknown operation", {"{entree}", "{sortie}", "pivoter"}, kUsageError, "opération inconnue « pivoter »"},
        {"operation in capitals", {"{entree}", "{sortie}", "Blur"}, kUsageError, "opération inconnue « Blur »"},
        {"empty operation", {"{entree}", "{sortie}", ""}, kUsageError, "opération inconnue"},
        {"missing coordinate", {"{entree}", "{sortie}", "selection", "1", "2", "3"}, kUsageError, "attend 4 valeurs"},
        {"plus sign",
         {"{entree}", "{sortie}", "selection", "1", "2", "3", "+4"},
         kUsageError,
         "« +4 » n'est pas un nombre"},
        {"decimal", {"{entree}", "{sortie}", "selection", "1", "2", "3", "4.0"}, kUsageError, "n'est pas un nombre"},
        {"space", {"{entree}", "{sortie}", "selection", "1", "2", "3", " 4"}, kUsageError, "n'est pas un nombre"},
        {"hexadecimal",
         {"{entree}", "{sortie}", "selection", "1", "2", "3", "0x4"},
         kUsageError,
         "n'est pas un nombre"},
        {"double minus",
         {"{entree}", "{sortie}", "selection", "1", "2", "3", "--4"},
         kUsageError,
         "n'est pas un nombre"},
        {"minus alone", {"{entree}", "{sortie}", "selection", "1", "2", "3", "-"}, kUsageError, "n'est pas un nombre"},
        {"empty value", {"{entree}", "{sortie}", "selection", "1", "2", "3", ""}, kUsageError, "valeur vide"},
        {"above int", {"{entree}", "{sortie}", "selection", "1", "2", "3", "2147483648"}, kUsageError, "hors limites"},
        {"below int", {"{entree}", "{sortie}", "selection", "-2147483649", "2", "3", "4"}, kUsageError, "hors limites"},
        {"huge",
         {"{entree}", "{sortie}", "selection", "1", "2", "3", "99999999999999999999999999"},
         kUsageError,
         "hors limites"},
        {"dialog value above 255",
         {"{entree}", "{sortie}", "couleurs", "256", "0", "0"},
         kUsageError,
         "256 est hors limites"},
        {"negative dialog value",
         {"{entree}", "{sortie}", "contraste", "-1", "0"},
         kUsageError,
         "« -1 » n'est pas un nombre"},
        {"missing dialog value", {"{entree}", "{sortie}", "contraste", "12"}, kUsageError, "attend 2 valeurs"},
        {"operation instead of a value",
         {"{entree}", "{sortie}", "couleurs", "1", "2", "aquarelle"},
         kUsageError,
         "« aquarelle » n'est pas un nombre"},
        // The changes of size and orientation.
        {"zero size",
         {"{entree}", "{sortie}", "toile", "0", "10", "centre", "FFFFFF"},
         kUsageError,
         "0 est hors limites"},
        {"both sides kept",
         {"{entree}", "{sortie}", "redimensionner", "0", "0", "lanczos"},
         kUsageError,
         "ne peuvent pas valoir 0 toutes les deux"},
        {"negative size",
         {"{entree}", "{sortie}", "redimensionner", "-5", "0", "lanczos"},
         kUsageError,
         "« -5 » n'est pas un nombre"},
        {"no percentage",
         {"{entree}", "{sortie}", "redimensionner", "0%", "0", "lanczos"},
         kUsageError,
         "0% est hors limites"},
        {"three decimals",
         {"{entree}", "{sortie}", "redimensionner", "1.125%", "0", "lanczos"},
         kUsageError,
         "n'est pas un nombre"},
        {"unknown filter",
         {"{entree}", "{sortie}", "redimensionner", "5", "5", "Lanczos"},
         kUsageError,
         "« Lanczos » n'est pas reconnu"},
        {"unknown anchor",
         {"{entree}", "{sortie}", "toile", "5", "5", "milieu", "FFFFFF"},
         kUsageError,
         "« milieu » n'est pas reconnu"},
        {"bad colour",
         {"{entree}", "{sortie}", "toile", "5", "5", "centre", "#FFFFF"},
         kUsageError,
         "« #FFFFF » n'est pas une couleur"},
        {"empty crop", {"{entree}", "{sortie}", "rogner", "4", "1", "4", "9"}, kUsageError, "est vide"},
        {"crop outside", {"{entree}", "{sortie}", "rogner", "-1", "1", "4", "9"}, kUsageError, "sort de toute image"},
        {"angle", {"{entree}", "{sortie}", "rotation", "-360.01"}, kUsageError, "-360.01 est hors limites"},
        // WebP holds at most 16383 pixels a side: known from the header, the
        // result is refused before the pixels are read (those of {abime-png}
        // are missing); after an autocrop, before it is written.
        {"WebP too wide",
         {"{abime-png}", "{sortie}.webp", "toile", "16384", "10", "centre", "FFFFFF"},
         kUsageError,
         "WebP ne dépasse pas 16383 pixels de côté : choisissez .png ou .tif"},
        {"WebP too tall after an autocrop",
         {"{entree}", "{sortie}.webp", "autorogner", "toile", "10", "16384", "centre", "FFFFFF"},
         kUsageError,
         "WebP ne dépasse pas 16383 pixels de côté : choisissez .png ou .tif"},
        // A valid operation first: still nothing is done.
        {"bad value after a valid filter",
         {"{entree}", "{sortie}", "blur", "selection", "1", "2", "3", "x"},
         kUsageError,
         "n'est pas un nombre"},
    };
    for (const Case& c : cases)
        for (bool outputExists : {false, true})
            expectRefused(c, outputExists);
}

TEST(CliErrors, UnreadableInputsAndUnwritableOutputsLeaveEveryFileAsItWas)
{
    const std::vector<Case> cases = {
        {"missing input", {"{absent}", "{sortie}", "blur"}, kFileError, "le fichier n'existe pas"},
        {"text file", {"{texte}", "{sortie}"}, kFileError, "ce n'est pas une image BMP"},
        {"truncated BMP", {"{tronque}", "{sortie}", "blur"}, kFileError, "tronqué"},
        // The libraries' own messages never reach the terminal.
        {"truncated PNG", {"{abime-png}", "{sortie}", "blur"}, kFileError, "tronqué"},
        {"truncated WebP", {"{abime-webp}", "{sortie}", "blur"}, kFileError, "tronqué"},
        {"truncated 16-bit TIFF", {"{abime-tif}", "{sortie}", "blur"}, kFileError, "tronqué"},
        {"folder as input", {"{dossier}", "{sortie}"}, kFileError, "Impossible d'ouvrir"},
        // Neither blocks nor reads without end.
        {"pipe as input", {"{fifo}", "{sortie}"}, kFileError, "ce n'est pas un fichier ordinaire"},
        {"device as input", {"/dev/zero", "{sortie}"}, kFileError, "ce n'est pas un fichier ordinaire"},
    };
    for (const Case& c : cases)
        for (bool outputExists : {false, true})
            expectRefused(c, outputExists);

    const std::vector<Case> outputs = {
        {"output in a missing folder", {"{entree}", "{sans-dossier}", "blur"}, kFileError, "le dossier n'existe pas"},
        {"folder as output", {"{entree}", "{dossier}", "blur"}, kFileError, "c'est un dossier"},
        {"read-only output", {"{entree}", "{lecture-seule}", "blur"}, kFileError, "lecture seule"},
        {"pipe as output", {"{entree}", "{fifo}"}, kFileError, "pas un fichier ordinaire"},
        {"read-only input as output", {"{lecture-seule}", "{lecture-seule}", "blur"}, kFileError, "lecture seule"},
    };
    for (const Case& c : outputs)
        expectRefused(c, false);
}

TEST(CliFiles, TheInputMayBeTheOutput)
{
    const Folder folder(false);
    const auto before = folder.snapshot();
    const QString image = folder.file("entree.bmp");
    auto expected = clirun::Load(image);
    TBlur(*expected).Apply();
    const clirun::Result result = clirun::Run({image, image, "blur"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(clirun::Bytes(image) == clirun::Encoded(*expected));
    // Only the image changed; the save left no temporary file.
    EXPECT_EQ(folder.snapshot().keys(), before.keys());
}

TEST(CliFiles, AnExistingOutputIsReplaced)
{
    const Folder folder(true);
    const clirun::Result result = clirun::Run({folder.file("entree.bmp"), folder.file("sortie.bmp")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(clirun::Bytes(folder.file("sortie.bmp")) == clirun::Bytes(folder.file("entree.bmp")));
}

TEST(CliFiles, AnImageOfAnotherDepthIsWorkedInTwentyFourBitsAfterAWarning)
{
    const Folder folder(false);
    // Qt writes an indexed image as an 8-bit BMP with its palette.
    QImage grey(5, 3, QImage::Format_Indexed8);
    for (int i = 0; i < 256; ++i)
        grey.setColor(i, qRgb(i, i, i));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            grey.setPixel(x, y, uint(x * 50 + y * 7));
    const QString in = folder.file("gris.bmp");
    ASSERT_TRUE(grey.save(in, "BMP"));
    ASSERT_EQ(clirun::Bytes(in).at(28), 8);
    const QString out = folder.file("sortie.bmp");
    const clirun::Result result = clirun::Run({in, out, "blur"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0);
    const QString err = QString::fromUtf8(result.err);
    EXPECT_TRUE(err.contains("n'est pas une image 24 bits") && err.count('\n') == 1) << result.err.toStdString();

    auto expected = clirun::Load(in);
    TBlur(*expected).Apply();
    auto written = clirun::Load(out);
    EXPECT_EQ(written->PixelFormat(), pf24bit);
    EXPECT_TRUE(clirun::Bytes(out) == clirun::Encoded(*expected));
}

// `velmora-cli photo.bmp photo.bmp negatif` when the disk cannot take the
// whole image: an error, the exit code of a file error, the photo unchanged.
TEST(CliFiles, AWriteCutAtAnyByteLeavesTheInputWhole)
{
    const QString dir = testimg::TempDir();
    const QString photo = dir + "/photo.bmp";
    SaveToFile(*testimg::Noise(3, 2, 7), photo);
    const QByteArray before = clirun::Bytes(photo);
    for (qint64 cut = 0; cut < before.size(); ++cut) {
        const auto result = clirun::Run({photo, photo, "negatif"}, {}, [cut] { FileSizeLimit::InChild(rlim_t(cut)); });
        EXPECT_EQ(result.exitCode, kFileError) << "cut at " << cut;
        EXPECT_TRUE(QString::fromUtf8(result.err).contains(QStringLiteral("fichier trop grand"))) << result.err.data();
        EXPECT_EQ(clirun::Bytes(photo), before) << "cut at " << cut;
    }
    EXPECT_EQ(HiddenFiles(dir), QStringList());
    const auto whole =
        clirun::Run({photo, photo, "negatif"}, {}, [&] { FileSizeLimit::InChild(rlim_t(before.size())); });
    EXPECT_EQ(whole.exitCode, 0);
    EXPECT_NE(clirun::Bytes(photo), before);
}
