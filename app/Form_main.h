#pragma once

#include "dialogs/PaletteCommands.h"
#include "document/DocumentHost.h"
#include "document/Tdessin.h"
#include "tools/ToolHost.h"
#include "ui/ColorWell.h"

#include <QFont>
#include <QPointer>
#include <QWidget>
#include <memory>

class QAction;
class QButtonGroup;
class QColorDialog;
class QFileDialog;
class QFontDialog;
class QGroupBox;
class QMenu;
class QToolButton;
class TDessin;
class TFiltre;
class TOutil;

// The main palette "V.M.": the tool buttons, the two colour wells, the file and
// effects buttons with their menus. It holds the current tool, the active
// document and the last filter. It is the host of the document windows and of
// the tools, and runs the commands of the secondary palettes.
class Tfrm_main : public QWidget, public TDocumentHost, public TToolHost, public TPaletteCommands {
    Q_OBJECT
public:
    Tfrm_main();
    ~Tfrm_main() override;

    // Shows the palette with its frame in the screen's top-left corner; under
    // weston's X window manager, which places a window mapped at exactly 0,0
    // itself, one pixel from the corner.
    void ShowInTheCorner();

    TOutil* GetOutil() const override { return outil.get(); }
    // Destroys the current tool, then makes `tool` the current one.
    void ReplaceTool(std::unique_ptr<TOutil> tool);
    void SetDessin(TDessin* document) override { dessin = document; }
    TDessin* ActiveDessin() const override { return dessin; }
    // The colours of the two wells.
    TColor Couleur1() const override { return Stxt_coul_1->Color(); }
    TColor Couleur2() const override { return Stxt_coul_2->Color(); }

    // The tools' host: the wells and the text dialog.
    void SetWellColour(TMouseButton bouton, TColor couleur) override;
    QString AskText() override;
    void ImageChanged() override;

    // Controls.
    QToolButton* btn_fichier;
    QToolButton* btn_effets;
    QToolButton* btn_outil_normal;
    QToolButton* btn_outil_pinceau;
    QToolButton* btn_outil_text;
    QToolButton* btn_outil_pipette;
    QToolButton* btn_outil_pot;
    QToolButton* btn_outil_selection;
    QToolButton* btn_outil_rectangle;
    QToolButton* btn_outil_ligne;
    QToolButton* BitBtn1;
    QToolButton* BitBtn2;
    QGroupBox* GroupBox_couleurs;
    TColorWell* Stxt_coul_1;
    TColorWell* Stxt_coul_2;
    QMenu* PopupMenu_fe;
    QMenu* PopupMenu_effets;
    QFileDialog* OpenPictureDialog1;
    QFileDialog* SavePictureDialog1;
    QColorDialog* ColorDialog1;
    QFontDialog* FontDialog1;

    // A menu item by its name ("Ouvrir1", "Flou1", …), or null.
    QAction* MenuItem(const QString& name) const;

    // Palette buttons.
    void OnClickFichier(QObject* sender);
    void OnClickEffet(QObject* sender);
    void btn_outil_normalClick(QObject* sender);
    void OnClickPinceau(QObject* sender);
    void OnClickText(QObject* sender);
    void OnClickPipette(QObject* sender);
    void btn_outil_potClick(QObject* sender);
    void OnClickSelect(QObject* sender);
    void OnClickRect(QObject* sender);
    void OnLineClick(QObject* sender);
    void OnClickCercle(QObject* sender);
    void Stxt_coul_1Click(QObject* sender);
    void Stxt_coul_2Click(QObject* sender);

    // File commands.
    void Nouveau1Click(QObject* sender) override;
    void Ouvrir1Click(QObject* sender) override;
    void OpenPictureDialog1CanClose(QObject* sender, bool& canClose);
    // Opens each file in its own document window (the command line, a drop).
    void OpenFiles(const QStringList& fileNames) override;
    bool SaveDocument(TDessin* document) override;
    void RaisePalettes() override;
    bool Quitting() const override { return quitting_; }
    void DocumentClosed(TDessin* document) override;
    // The entries of the open and save dialogs' type lists, in their order.
    static QStringList OpenFilters();
    static QStringList SaveFilters();
    void Enregistrer1Click(QObject* sender) override;
    void Enregistrersous1Click(QObject* sender) override;
    void SavePictureDialog1CanClose(QObject* sender, bool& canClose);

    // An effect, filter or value-dialog command of the table on the active
    // document: its values asked first where it has a dialog (nothing happens
    // when cancelled), then the document runs it, as one undo step. Without a
    // document a dialog is still shown and a filter still shows the hourglass.
    void RunCommand(commands::CommandId id) override;
    // The effect, filter and dialog commands, each running its row.
    void Mirroir1Click(QObject* sender);
    void Flip1Click(QObject* sender);
    void Vagueenabscisse1Click(QObject* sender);
    void VagueY1Click(QObject* sender);
    void Tunnel1Click(QObject* sender);
    void Pouetpouet1Click(QObject* sender);
    void Negatif1Click(QObject* sender);
    void NoirBlanc1Click(QObject* sender);
    void Blur1Click(QObject* sender);
    void Flou1Click(QObject* sender);
    void Nettet1Click(QObject* sender);
    void Estompage1Click(QObject* sender);
    void Aquarelle1Click(QObject* sender);
    void Couleurs1Click(QObject* sender);
    void Contraste1Click(QObject* sender);

    // The closing steps: the tool, the filter, the active document.
    void FormClose(QObject* sender);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Asks before quitting when an image is not saved; false: the user goes back.
    bool MayQuit();

private:
    void BuildButtons();
    void BuildMenus();
    void BuildDialogs();
    // Form_main_fichiers.cpp: the dialogs' type lists, and Ctrl+N, Ctrl+O,
    // Ctrl+S, Ctrl+Shift+S and Ctrl+Q in every window of the program.
    void SetFileFilters();
    void BuildFileShortcuts();
    // Runs the colour dialog and sets the clicked well (even after Cancel).
    TColor PickColour();
    // Presses the button of the current tool (none: no button pressed).
    void ShowCurrentTool(QToolButton* button);
    // Fills `values` from the command's dialog; false when it was cancelled.
    bool AskValues(const commands::Command& command, commands::Values& values);
    // The dialogs of the changes of size and orientation, for the active image.
    bool AskValues(const commands::Command& command, QSize imageSize, commands::Values& values) override;

    std::unique_ptr<TOutil> outil;
    // Counts the tools made, so that a button knows whether it made one.
    unsigned toolsMade_ = 0;
    QButtonGroup* toolButtons_ = nullptr;
    QToolButton* currentToolButton_ = nullptr;
    // Null once that window is gone, however it went.
    QPointer<TDessin> dessin;
    bool quitting_ = false;
    // The filter object of the last filter command. It refers to that run's
    // copy of the image, which is gone: it is never applied again, only
    // destroyed by the next filter command or when the palette closes.
    std::unique_ptr<TFiltre> filtre;
    // The colour and the font that the dialogs reopen on.
    TColor colourDialogColour_ = clBlack;
    QFont fontDialogFont_;
};

extern Tfrm_main* frm_main;
