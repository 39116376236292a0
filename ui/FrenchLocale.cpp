#include "ui/FrenchLocale.h"

#include <QCoreApplication>
#include <QFileInfo>

void SpeakFrenchWhateverTheEnvironment()
{
    // LC_ALL would win over every category: its value becomes the default of
    // the categories the user did not set, below the two set here.
    const QByteArray all = qgetenv("LC_ALL");
    if (!all.isEmpty()) {
        qputenv("LANG", all);
        qunsetenv("LC_ALL");
    }
    qputenv("LC_MESSAGES", "fr_FR.UTF-8");
    qputenv("LC_TIME", "fr_FR.UTF-8");
    qputenv("LANGUAGE", "fr");
}

QString TFrenchIconProvider::type(const QFileInfo& info) const
{
    if (info.isRoot())
        return QCoreApplication::translate("QFileDialog", "Drive");
    if (info.isDir())
        return QCoreApplication::translate("QFileDialog", "Folder");
    return QFileIconProvider::type(info);
}

TFrenchIconProvider* FrenchIconProvider()
{
    static TFrenchIconProvider provider;
    return &provider;
}
