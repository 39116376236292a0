#include "codecs/BitmapFiles.h"
#include "codecs/ImageFile.h"
#include "raster/Exception.h"
#include "raster/TBitmap.h"
#include "support/FileLimits.h"
#include "support/Images.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Saves and returns the French message of the error, or an empty text.
QString saveError(const TBitmap& bitmap, const QString& path, ImageFormat format = ImageFormat::Bmp)
{
    try {
        SaveToFile(bitmap, path, format, kDefaultQuality);
    } catch (const ERasterError& error) {
        return error.Message();
    }
    return {};
}

} // namespace

TEST(SaveFailures, AWriteCutAtAnyByteLeavesThePreviousFileWhole)
{
    const auto next = testimg::Noise(5, 3, 2);
    for (const ImageFormat format :
         {ImageFormat::Bmp, ImageFormat::Png, ImageFormat::Jpeg, ImageFormat::Webp, ImageFormat::Tiff}) {
        SCOPED_TRACE(int(format));
        const QString dir = testimg::TempDir();
        const QString path = dir + "/photo";
        SaveToFile(*next, dir + "/whole", format, kDefaultQuality);
        const QByteArray whole = testimg::ReadFile(dir + "/whole");
        SaveToFile(*testimg::Noise(4, 4, 1), path);
        const QByteArray previous = testimg::ReadFile(path);

        for (qint64 cut = 0; cut < whole.size(); ++cut) {
            QString message;
            {
                const FileSizeLimit limit{rlim_t(cut)};
                message = saveError(*next, path, format);
            }
            EXPECT_TRUE(message.contains(QStringLiteral("fichier trop grand"))) << cut << ": " << message.toStdString();
            ASSERT_EQ(testimg::ReadFile(path), previous) << "cut at " << cut;
            EXPECT_TRUE(HiddenFiles(dir).isEmpty()) << "cut at " << cut;
        }
        {
            const FileSizeLimit limit{rlim_t(whole.size())};
            EXPECT_EQ(saveError(*next, path, format), QString());
        }
        EXPECT_EQ(testimg::ReadFile(path), whole);
    }
}

TEST(SaveFailures, AFullDiskSaysSoAndKeepsThePreviousFile)
{
    // A small file system of its own, when this machine lets the test mount one.
    const QString dir = testimg::TempDir();
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", dir}) != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const std::unique_ptr<const QString, void (*)(const QString*)> unmount(
        &dir, [](const QString* d) { QProcess::execute("umount", {*d}); });
    const QString path = dir + "/photo.bmp";
    SaveToFile(*testimg::Noise(4, 4, 1), path); // one page
    const QByteArray previous = testimg::ReadFile(path);
    const auto next = testimg::Noise(100, 41, 3); // 12,354 bytes: three pages and a bit

    for (int freePages = 0; freePages < 4; ++freePages) {
        QFile filler(dir + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Truncate));
        filler.write(QByteArray((16 - 1 - freePages) * 4096, 'x'));
        filler.close();
        const QString message = saveError(*next, path);
        EXPECT_TRUE(message.contains(QStringLiteral("disque plein"))) << freePages << ": " << message.toStdString();
        EXPECT_EQ(testimg::ReadFile(path), previous);
        EXPECT_EQ(HiddenFiles(dir), QStringList());
    }
    QFile::remove(dir + "/filler");
    EXPECT_EQ(saveError(*next, path), QString());
    EXPECT_EQ(QFileInfo(path).size(), 54 + 41 * 300);
}

// A file with two names on a nearly full disk: the new picture fits in the
// temporary but not in the file rewritten in place. The save says so and where
// the new picture is kept, whole; with room, both names get it.
TEST(SaveFailures, AFileWithTwoNamesThatCannotBeRewrittenKeepsTheNewImageBeside)
{
    const QString dir = testimg::TempDir();
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", dir}) != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const std::unique_ptr<const QString, void (*)(const QString*)> unmount(
        &dir, [](const QString* d) { QProcess::execute("umount", {*d}); });
    const QString path = dir + "/photo.bmp", other = dir + "/autre.bmp";
    SaveToFile(*testimg::Noise(4, 4, 1), path); // one page
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
    const auto next = testimg::Noise(100, 41, 3); // four pages
    const QString elsewhere = testimg::TempDir() + "/entier.bmp";
    SaveToFile(*next, elsewhere);
    const QByteArray whole = testimg::ReadFile(elsewhere);

    QFile filler(dir + "/filler");
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    filler.write(QByteArray(10 * 4096, 'x')); // five pages left: the temporary's four and one
    filler.close();
    const QString kept = dir + "/photo.nouveau.bmp";
    EXPECT_EQ(saveError(*next, path),
              QStringLiteral("Impossible d'enregistrer l'image dans « %1 » : disque plein. Le fichier est peut-être "
                             "incomplet ; la nouvelle image est gardée entière dans « %2 ».")
                  .arg(path, kept));
    EXPECT_EQ(testimg::ReadFile(kept), whole);
    EXPECT_EQ(HiddenFiles(dir), QStringList());

    QFile::remove(dir + "/filler");
    QFile::remove(kept);
    EXPECT_EQ(saveError(*next, path), QString());
    EXPECT_EQ(testimg::ReadFile(path), whole);
    EXPECT_EQ(testimg::ReadFile(other), whole);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList({"autre.bmp", "photo.bmp"}));
}

// What a killed save left (a file named as the saves name their temporaries,
// which no running save holds) is removed by the next save in its folder; one
// that a save holds, and everything that only looks like one, stay.
TEST(SaveFailures, ASaveRemovesTheStaleTemporariesOfItsFolderAndNothingElse)
{
    const QString dir = testimg::TempDir();
    const auto make = [&](const QString& name) {
        QFile file(dir + "/" + name);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    };
    for (const char* name : {".velmora-3kq9z0.tmp", ".velmora-held.tmp", ".velmora-ABC.tmp", ".velmora-.tmp",
                             ".velmora-12345678901234.tmp", ".velmora-a_b.tmp", ".velmora-abc.tmp~",
                             ".velmora-abc.tmp.part", "velmora-abc.tmp", "cible"})
        make(name);
    const int held = ::open(QFile::encodeName(dir + "/.velmora-held.tmp").constData(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    ASSERT_EQ(::symlink("cible", QFile::encodeName(dir + "/.velmora-lien.tmp").constData()), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir + "/.velmora-tube.tmp").constData(), 0644), 0);
    ASSERT_TRUE(QDir(dir).mkdir(".velmora-dossier.tmp"));
    const auto entries = [&] {
        return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    };
    QStringList expected = entries();
    expected.removeOne(".velmora-3kq9z0.tmp");
    expected << "photo.bmp";
    expected.sort();

    EXPECT_EQ(saveError(*testimg::Noise(3, 2, 1), dir + "/photo.bmp"), QString());
    EXPECT_EQ(entries().join(" ").toStdString(), expected.join(" ").toStdString());
    EXPECT_EQ(testimg::ReadFile(dir + "/cible"), "x");
    ::close(held);
}

TEST(SaveFailures, LinksAndNamesGiveTheirOwnCause)
{
    const QString dir = testimg::TempDir();
    const auto image = testimg::Noise(3, 2, 4);

    // A loop of links is an error; the links stay as they were.
    ASSERT_EQ(::symlink("b.bmp", QFile::encodeName(dir + "/a.bmp").constData()), 0);
    ASSERT_EQ(::symlink("a.bmp", QFile::encodeName(dir + "/b.bmp").constData()), 0);
    EXPECT_TRUE(saveError(*image, dir + "/a.bmp").contains(QStringLiteral("lien symbolique en boucle")));
    EXPECT_EQ(QFileInfo(dir + "/a.bmp").symLinkTarget(), dir + "/b.bmp");

    // A link to a file: the file is replaced, the link stays a link.
    SaveToFile(*testimg::Noise(2, 2, 5), dir + "/vrai.bmp");
    ASSERT_EQ(::symlink("vrai.bmp", QFile::encodeName(dir + "/lien.bmp").constData()), 0);
    EXPECT_EQ(saveError(*image, dir + "/lien.bmp"), QString());
    EXPECT_TRUE(QFileInfo(dir + "/lien.bmp").isSymLink());
    TBitmap back;
    LoadFromFile(back, dir + "/vrai.bmp");
    EXPECT_TRUE(testimg::SameBytes(back, *image));

    // A name longer than the file system allows is not a full disk.
    const QString message = saveError(*image, dir + "/" + QString(300, QLatin1Char('n')) + ".bmp");
    EXPECT_TRUE(message.contains(QStringLiteral("nom trop long"))) << message.toStdString();
    EXPECT_EQ(HiddenFiles(dir), QStringList());
}

// A side over WebP's 16383 pixels is refused at once with the message the
// editor's save shows, nothing written; 16383 pixels are written.
TEST(SaveFailures, AWebpSideOverItsLimitIsRefusedBeforeAnyWrite)
{
    const QString dir = testimg::TempDir();
    const QString path = dir + "/grande.webp";
    for (const QSize size : {QSize(16384, 1), QSize(2, 16384)}) {
        SCOPED_TRACE(size.width());
        EXPECT_EQ(saveError(*testimg::Noise(size.width(), size.height(), 3), path, ImageFormat::Webp),
                  QStringLiteral("Impossible d'enregistrer l'image dans « %1 » : WebP ne dépasse pas 16383 pixels "
                                 "de côté : choisissez .png ou .tif")
                      .arg(path));
        EXPECT_TRUE(QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    }
    EXPECT_EQ(saveError(*testimg::Noise(16383, 2, 3), path, ImageFormat::Webp), QString());
    EXPECT_EQ(ReadImageFile(path).image.size(), QSize(16383, 2));
}
