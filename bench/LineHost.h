#pragma once

#include "document/DocumentHost.h"
#include "tools/Tformes.h"

#include <QApplication>
#include <QObject>
#include <memory>

// What the document benchmarks need of the editor: a widget application, and
// the palette as a document window sees it, with one line tool, black on white.
namespace benchhost {

class LineHost : public QObject, public TDocumentHost {
public:
    TOutil* GetOutil() const override { return tool.get(); }
    TColor Couleur1() const override { return clBlack; }
    TColor Couleur2() const override { return clWhite; }
    void SetDessin(TDessin* document) override { active = document; }
    TDessin* ActiveDessin() const override { return active; }
    void OpenFiles(const QStringList&) override { }
    bool SaveDocument(TDessin*) override { return false; }
    void RaisePalettes() override { }
    void DocumentClosed(TDessin*) override { }

    std::unique_ptr<TOutil> tool = std::make_unique<TLine>(nullptr, nullptr);
    TDessin* active = nullptr;
};

inline QApplication& App()
{
    static int argc = 1;
    static char name[] = "velmora_bench";
    static char* argv[] = {name, nullptr};
    // Never destroyed: at exit, after Qt's own globals, it would crash.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

} // namespace benchhost
