#pragma once

#include "platform/TColor.h"

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

protected:
    ~TDocumentHost() = default;
};
