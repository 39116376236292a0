#pragma once

#include "commands/CommandTable.h"

class QObject;

// The commands of the main palette that the file and effects palettes'
// buttons run. The main palette implements them; a secondary palette holds
// them borrowed and never sees the main palette itself.
class TPaletteCommands {
public:
    // File commands.
    virtual void Nouveau1Click(QObject* sender) = 0;
    virtual void Ouvrir1Click(QObject* sender) = 0;
    virtual void Enregistrer1Click(QObject* sender) = 0;
    virtual void Enregistrersous1Click(QObject* sender) = 0;
    // An effect, filter or value-dialog command of the table on the active
    // document; a dialog command asks for its values first.
    virtual void RunCommand(commands::CommandId id) = 0;

protected:
    ~TPaletteCommands() = default;
};
