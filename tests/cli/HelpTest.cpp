// --aide and --help print the usage on the standard output and do nothing else.
#include "CliRun.h"

#include "support/Images.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

TEST(CliHelp, EitherOptionPrintsTheFrenchUsageWithEveryOperation)
{
    const QStringList operations = {"mirroir", "flip",        "vaguex",    "vaguey",    "tunnel", "pouetpouet",
                                    "negatif", "noiretblanc", "couleurs",  "contraste", "flou",   "blur",
                                    "nettete", "estampage",   "aquarelle", "selection", "tout"};
    for (const QString option : {"--aide", "--help"}) {
        SCOPED_TRACE(option.toStdString());
        const clirun::Result result = clirun::Run({option});
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_TRUE(result.err.isEmpty());
        const QString usage = QString::fromUtf8(result.out);
        EXPECT_TRUE(usage.startsWith("Utilisation : velmora-cli ENTRÉE.bmp SORTIE.bmp"));
        for (const QString& operation : operations)
            EXPECT_TRUE(usage.contains("\n  " + operation + ' ')) << operation.toStdString();
    }
}

TEST(CliHelp, WinsOverEverythingElseOnTheLine)
{
    const QString dir = testimg::TempDir();
    const clirun::Result result = clirun::Run({dir + "/absent.bmp", dir + "/sortie.bmp", "blur", "--help", "inconnue"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.out.startsWith("Utilisation"));
    EXPECT_TRUE(QDir(dir).isEmpty());
}

TEST(CliHelp, AUsageThatCannotBeWrittenIsAnError)
{
    if (!QFileInfo::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    const clirun::Result result = clirun::Run({"--aide"}, "/dev/full");
    ASSERT_TRUE(result.finished);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_TRUE(QString::fromUtf8(result.err).contains("impossible d'écrire l'aide"));
}
