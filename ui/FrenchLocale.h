#pragma once

#include <QFileIconProvider>

// Makes the system locale French for Qt's own dialogs, whatever the user's
// environment: the file dialog's dates and sizes ("octets") follow the
// system locale, not the default one. Only messages and dates change; numbers
// and character types stay the user's. Call it before the application object.
void SpeakFrenchWhateverTheEnvironment();

// The file dialogs' type names in French: Qt 6.4's translation has no
// "Folder" of its own for the type column.
class TFrenchIconProvider : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override;
};

// One provider for every file dialog of the program.
TFrenchIconProvider* FrenchIconProvider();
