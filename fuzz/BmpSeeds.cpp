// Writes one small BMP file of every variant the loader reads into the folder
// given as argument: the fuzzer's seed corpus.
#include "support/BmpFiles.h"

#include <QDir>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage : velmora_bmp_seeds DOSSIER\n");
        return 2;
    }
    const QString dir = QFile::decodeName(argv[1]);
    if (!QDir().mkpath(dir))
        return 1;
    for (const bmpfile::Named& seed : bmpfile::Variants()) {
        QFile file(dir + QLatin1Char('/') + seed.name + QStringLiteral(".bmp"));
        if (!file.open(QIODevice::WriteOnly) || file.write(seed.bytes) != seed.bytes.size())
            return 1;
    }
    return 0;
}
