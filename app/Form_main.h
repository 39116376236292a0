#pragma once

#include "platform/ColorWell.h"

#include <QFont>
#include <QWidget>
#include <functional>
#include <memory>

class QAction;
class QColorDialog;
class QFileDialog;
class QFontDialog;
class QGroupBox;
class QMenu;
class QToolButton;
class TBitmap;
class TDessin;
class TFiltre;
class TOutil;

// The main palette "V.M.": the tool buttons, the two colour wells, the file and
// effects buttons with their menus. It holds the current tool, the active
// document and the last filter.
class Tfrm_main : public QWidget {
    Q_OBJECT
public:
    Tfrm_main();
    ~Tfrm_main() override;

    TOutil* GetOutil() const { return outil.get(); }
    // Destroys the current tool, then makes `tool` the current one.
    void ReplaceTool(std::unique_ptr<TOutil> tool);
    void SetDessin(TDessin* document) { dessin = document; }
    TDessin* ActiveDessin() const { return dessin; }

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
    void Nouveau1Click(QObject* sender);
    void Ouvrir1Click(QObject* sender);
    void OpenPictureDialog1CanClose(QObject* sender, bool& canClose);
    void Enregistrer1Click(QObject* sender);
    void Enregistrersous1Click(QObject* sender);
    void SavePictureDialog1CanClose(QObject* sender, bool& canClose);

    // Effect commands.
    void Mirroir1Click(QObject* sender);
    void Flip1Click(QObject* sender);
    void Vagueenabscisse1Click(QObject* sender);
    void VagueY1Click(QObject* sender);
    void Tunnel1Click(QObject* sender);
    void Pouetpouet1Click(QObject* sender);
    void Negatif1Click(QObject* sender);
    void NoirBlanc1Click(QObject* sender);
    // Filter commands.
    void Blur1Click(QObject* sender);
    void Flou1Click(QObject* sender);
    void Nettet1Click(QObject* sender);
    void Estompage1Click(QObject* sender);
    void Aquarelle1Click(QObject* sender);
    // Dialog commands.
    void Couleurs1Click(QObject* sender);
    void Contraste1Click(QObject* sender);

    // A filter run: a copy of the active document's image, the last filter
    // destroyed, a new one made by `makeFilter` on the copy and applied, the
    // copy merged back through the selection, under the hourglass.
    using FilterFactory = std::function<std::unique_ptr<TFiltre>(TBitmap& copy)>;
    void RunFilter(const FilterFactory& makeFilter);
    TFiltre* LastFilter() const { return filtre.get(); }

    // The closing steps: the tool, the filter, the active document.
    void FormClose(QObject* sender);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildButtons();
    void BuildMenus();
    void BuildDialogs();
    // Runs the colour dialog and sets the clicked well (even after Cancel).
    TColor PickColour();

    std::unique_ptr<TOutil> outil;
    TDessin* dessin = nullptr;
    std::unique_ptr<TFiltre> filtre;
    // The colour and the font that the dialogs reopen on.
    TColor colourDialogColour_ = clBlack;
    QFont fontDialogFont_;
};

extern Tfrm_main* frm_main;
