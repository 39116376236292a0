// The batch's memory budget (--memoire): pictures that do not fit together are
// worked on one at a time, every result is still written, and a bad budget is
// refused before any work.
#include "CliRun.h"

#include "support/Images.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace {

// Runs velmora-cli and returns its peak resident memory in KiB, -1 when it
// did not end with code 0.
long peakKib(const QStringList& arguments)
{
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationDirPath() + "/velmora-cli");
    std::vector<QByteArray> words{program};
    for (const QString& argument : arguments)
        words.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, program.constData(), nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    struct rusage usage { };
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

} // namespace

// Six pictures of 2000 x 2000 pixels (small PNG files, 16 MB each once read):
// under a budget of 1 MiB each is read only once the one before is done, so
// six workers take no more memory than one file alone; with room for all, they
// overlap. Every output is the single-file form's.
TEST(CliBatchMemory, PicturesOverTheBudgetAreWorkedOnOneAtATime)
{
    const QString in = testimg::TempDir();
    QImage white(2000, 2000, QImage::Format_RGB32);
    white.fill(Qt::white);
    QStringList inputs;
    for (int i = 0; i < 6; ++i) {
        inputs << in + QStringLiteral("/p%1.png").arg(i);
        ASSERT_TRUE(white.save(inputs.last()));
    }
    const QString single = testimg::TempDir() + "/p.png";
    const long alone = peakKib({inputs[0], single, "negatif"});
    ASSERT_GT(alone, 0);
    const QByteArray expected = clirun::Bytes(single);

    const auto batch = [&](const char* memory, QString* out) {
        *out = testimg::TempDir();
        return peakKib(QStringList{"--dossier", *out, "--taches", "6", "--memoire", memory} + inputs +
                       QStringList{"--", "negatif"});
    };
    QString out;
    const long bounded = batch("1", &out);
    ASSERT_GT(bounded, 0);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(clirun::Bytes(out + QStringLiteral("/p%1.png").arg(i)), expected) << i;
    // The threads and their stacks cost a little; a second picture would be
    // 16 MB more.
    EXPECT_LT(bounded, alone + 6 * 1024) << "alone " << alone;

    const long roomy = batch("4096", &out);
    ASSERT_GT(roomy, 0);
    EXPECT_GT(roomy, alone + 12 * 1024) << "alone " << alone << ", bounded " << bounded;
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 6);
}

// Every refusal of --memoire is one French line, code 2, nothing written.
TEST(CliBatchMemory, BadBudgetsAreRefusedBeforeAnyWork)
{
    const qint64 most = qint64(::sysconf(_SC_PHYS_PAGES)) * ::sysconf(_SC_PAGESIZE) / (1 << 20) * 64;
    const QString input = clirun::Save(*testimg::Noise(7, 5, 1), "a.bmp");
    struct Case {
        std::string name;
        QStringList memory;
        QString message;
    };
    const QString range = QStringLiteral("invalide : un nombre de Mio de 1 à %1 attendu").arg(most);
    const std::vector<Case> cases = {
        {"zero", {"--memoire", "0"}, "mémoire « 0 » " + range},
        {"negative", {"--memoire", "-512"}, "mémoire « -512 » " + range},
        {"not a number", {"--memoire", "beaucoup"}, "mémoire « beaucoup » " + range},
        {"decimals", {"--memoire", "1.5"}, "mémoire « 1.5 » " + range},
        {"with a unit", {"--memoire", "512M"}, "mémoire « 512M » " + range},
        {"empty", {"--memoire", ""}, "mémoire «  » " + range},
        {"just over 64 times the machine",
         {"--memoire", QString::number(most + 1)},
         "mémoire « " + QString::number(most + 1) + " » " + range},
        {"absurd", {"--memoire", "99999999999999999999999"}, "mémoire « 99999999999999999999999 » " + range},
        {"no value", {"--memoire"}, "l'option « --memoire » attend une valeur."},
        {"twice", {"--memoire", "100", "--memoire", "100"}, "l'option « --memoire » est donnée deux fois."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString out = testimg::TempDir();
        QStringList arguments = QStringList{"--dossier", out} + c.memory;
        if (c.name != "no value")
            arguments << input << "--"
                      << "negatif";
        const clirun::Result result = clirun::Run(arguments);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 2);
        const QString err = QString::fromUtf8(result.err);
        EXPECT_EQ(err.count('\n'), 1) << result.err.toStdString();
        EXPECT_TRUE(err.contains(c.message)) << result.err.toStdString();
        EXPECT_TRUE(QDir(out).isEmpty());
    }
    // The largest budget is taken.
    const QString out = testimg::TempDir();
    const clirun::Result largest =
        clirun::Run({"--dossier", out, "--memoire", QString::number(most), input, "--", "negatif"});
    EXPECT_EQ(largest.exitCode, 0) << largest.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(out + "/a.bmp"));
}
