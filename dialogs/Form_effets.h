#pragma once

#include <QWidget>

class QGroupBox;
class TPaletteCommands;
class QToolButton;

// The effects palette: one glyph button per effect, filter and value dialog.
// Each runs the command that names it in the command table, through the main
// palette, which acts on the active document; its hint comes from the same
// row. Some names do not say what the button does: the hints do.
class Tfrm_effets : public QWidget {
    Q_OBJECT
public:
    // `palette` is the main palette, which runs the buttons' commands.
    explicit Tfrm_effets(TPaletteCommands* palette);

    QGroupBox* GroupBox_2d;
    QGroupBox* GroupBox_palette;
    QGroupBox* GroupBox_attenuation;
    QGroupBox* GroupBox_renforcement;
    QGroupBox* GroupBox_divers;
    QToolButton* btn_resize; // flip
    QToolButton* btn_rot; // mirror
    QToolButton* BitBtn1; // horizontal waves: VagueY
    QToolButton* BitBtn2; // vertical waves: VagueX
    QToolButton* BitBtn3; // tunnel
    QToolButton* BitBtn4; // ripple
    QToolButton* btn_contraste;
    QToolButton* btn_gamma; // black and white
    QToolButton* btn_couleurs;
    QToolButton* btn_negatif;
    QToolButton* btn_soften;
    QToolButton* btn_blur;
    QToolButton* btn_sharpen;
    QToolButton* btn_bump; // watercolour
    QToolButton* btn_emboss;

    // Each handler does what a click on its button does.
    void btn_resizeClick();
    void btn_rotClick();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void btn_contrasteClick();
    void btn_gammaClick();
    void btn_couleursClick();
    void btn_negatifClick();
    void btn_softenClick();
    void btn_blurClick();
    void btn_sharpenClick();
    void btn_bumpClick();
    void btn_embossClick();

private:
    // Runs the command of the table whose button this is.
    void Run(QToolButton* button);

    TPaletteCommands* commands_;
};

extern Tfrm_effets* frm_effets;
