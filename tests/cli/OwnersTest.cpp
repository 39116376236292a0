// A save keeps the file's owner, group and mode, and every name of a file with
// several; an ordinary user who could not keep them is refused, nothing
// written. Root runs the tests; the ordinary user is a child that drops to
// another uid before starting velmora-cli.
#include "CliRun.h"

#include "codecs/BitmapFiles.h"
#include "support/FileLimits.h"
#include "support/Images.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t kUser = 4321; // the ordinary user, also in kShared
constexpr uid_t kOther = 1234; // another user
constexpr gid_t kShared = 1234; // the other user's group
constexpr gid_t kLeft = 5555; // a group the user is not in

// Runs velmora-cli as root or as the ordinary user, with temporaries that have
// no name or, as on a file system that cannot make those, named ones.
clirun::Result run(const QStringList& arguments, bool asUser, bool unnamed)
{
    return clirun::Run(arguments, {}, [asUser, unnamed] {
        const gid_t groups[] = {gid_t(kUser), kShared};
        if (asUser && (::setgroups(2, groups) != 0 || ::setresgid(kUser, kUser, kUser) != 0 ||
                       ::setresuid(kUser, kUser, kUser) != 0))
            ::_exit(125);
        if (!unnamed)
            NoUnnamedFilesInChild();
    });
}

// A fresh folder of `owner` that every user may go through and read.
QString openFolder(uid_t owner)
{
    const QString dir = testimg::TempDir();
    for (const QString& path : {QFileInfo(dir).absolutePath(), dir})
        EXPECT_EQ(::chmod(QFile::encodeName(path).constData(), 0755), 0);
    EXPECT_EQ(::chown(QFile::encodeName(dir).constData(), owner, owner), 0);
    return dir;
}

} // namespace

TEST(CliOwners, ASaveKeepsOwnerGroupModeAndEveryNameOrIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give files to other users";
    struct Case {
        const char* name;
        bool asUser; // run by the ordinary user; by root otherwise
        uid_t owner;
        gid_t group;
        mode_t mode;
        bool secondName; // a hard link in another folder
        const char* refusal; // the cause given; none: saved
    };
    const Case cases[] = {
        {"root, another's file", false, kOther, kShared, 0640, false, nullptr},
        {"root, a file with two names", false, kOther, kShared, 0640, true, nullptr},
        {"user, own file of one of his groups", true, kUser, kShared, 0640, false, nullptr},
        {"user, another's shared file with two names", true, kOther, kShared, 0660, true, nullptr},
        {"user, another's shared file", true, kOther, kShared, 0660, false,
         "le fichier appartient à un autre utilisateur, qui le perdrait."},
        {"user, own file of a group he is not in", true, kUser, kLeft, 0640, false,
         "le fichier appartient à un groupe dont vous n'êtes pas membre, qui le perdrait."},
    };
    const QString input = openFolder(0) + "/entree.bmp";
    SaveToFile(*testimg::Noise(37, 29, 3), input);
    ASSERT_EQ(::chmod(QFile::encodeName(input).constData(), 0644), 0);

    for (const char* format : {"bmp", "png", "jpg", "webp", "tif"}) {
        const QString name = QStringLiteral("image.%1").arg(QLatin1String(format));
        const QString reference = testimg::TempDir() + "/" + name;
        ASSERT_EQ(clirun::Run({input, reference}).exitCode, 0);
        const QByteArray written = clirun::Bytes(reference);
        for (const bool unnamed : {true, false})
            for (const Case& c : cases) {
                SCOPED_TRACE(std::string(format) + (unnamed ? ", unnamed, " : ", named, ") + c.name);
                const QString dir = openFolder(kUser);
                const QString target = dir + "/" + name;
                const QByteArray old = "ancien contenu";
                QFile file(target);
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                file.write(old);
                file.close();
                const QByteArray path = QFile::encodeName(target);
                ASSERT_EQ(::chown(path.constData(), c.owner, c.group), 0);
                ASSERT_EQ(::chmod(path.constData(), c.mode), 0);
                const QString other = openFolder(0) + "/autre." + format;
                if (c.secondName) {
                    ASSERT_EQ(::link(path.constData(), QFile::encodeName(other).constData()), 0);
                }

                const clirun::Result result = run({input, target}, c.asUser, unnamed);
                ASSERT_TRUE(result.finished);
                struct stat after { };
                ASSERT_EQ(::stat(path.constData(), &after), 0);
                EXPECT_EQ(after.st_uid, c.owner);
                EXPECT_EQ(after.st_gid, c.group);
                EXPECT_EQ(after.st_mode & 07777, c.mode);
                EXPECT_EQ(after.st_nlink, c.secondName ? 2u : 1u);
                if (c.refusal) {
                    EXPECT_EQ(result.exitCode, 1);
                    EXPECT_EQ(QString::fromUtf8(result.err),
                              QStringLiteral("velmora-cli : Impossible d'enregistrer l'image dans « %1 » : %2\n")
                                  .arg(target, QString::fromUtf8(c.refusal)));
                    EXPECT_EQ(clirun::Bytes(target), old);
                } else {
                    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
                    EXPECT_TRUE(clirun::Bytes(target) == written);
                    if (c.secondName) {
                        EXPECT_TRUE(clirun::Bytes(other) == written);
                    }
                }
                EXPECT_EQ(HiddenFiles(dir), QStringList());
            }
    }
}
