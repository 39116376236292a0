#pragma once

#include "commands/CommandTable.h"
#include "raster/TColor.h"

#include <QSize>
#include <QStringList>

class TDessin;
class TOutil;

// What a document window asks of the palette that owns it: the current tool,
// the colours of the two wells, and which document is the active one. The
// palette implements it; the window never sees the palette itself.
class TDocumentHost {
public:
    virtual TOutil* GetOutil() const = 0;
    virtual TColor Couleur1() const = 0;
    virtual TColor Couleur2() const = 0;
    virtual void SetDessin(TDessin* document) = 0;
    virtual TDessin* ActiveDessin() const = 0;
    // Opens image files dropped on a document window, each in its own window.
    virtual void OpenFiles(const QStringList& fileNames) = 0;
    // Saves `document` as "Enregistrer" does, asking a name for an image that
    // never had a file; false when the save failed or was cancelled (a
    // failure has been shown).
    virtual bool SaveDocument(TDessin* document) = 0;
    // `document` is closing and will be freed: it is no longer the active
    // document and the tool lets go of its image.
    virtual void DocumentClosed(TDessin* document) = 0;
    // True once the user chose to quit without saving: closing windows then
    // asks nothing more.
    virtual bool Quitting() const { return false; }
    // Asks the values of `command` in its dialog, for an image of `imageSize`;
    // false when cancelled.
    virtual bool AskValues(const commands::Command&, QSize, commands::Values&) { return false; }
    // Puts the palettes back above a document window that was just shown or
    // raised: without a window manager nothing else keeps them on top.
    virtual void RaisePalettes() = 0;

protected:
    ~TDocumentHost() = default;
};
