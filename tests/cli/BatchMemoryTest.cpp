// The batch's memory budget (--memoire): pictures that do not fit together are
// worked on one at a time, and every result is still written.
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
    // Under AddressSanitizer freed blocks wait in a quarantine before they go
    // back: without it, a picture's memory is given back when it is done, as
    // in the program itself.
    const QByteArray sanitizer = qgetenv("ASAN_OPTIONS");
    qputenv("ASAN_OPTIONS", sanitizer + (sanitizer.isEmpty() ? "" : ":") + "quarantine_size_mb=0");
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
    qputenv("ASAN_OPTIONS", sanitizer);
}
