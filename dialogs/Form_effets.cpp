#include "dialogs/Form_effets.h"

#include "dialogs/PaletteCommands.h"
#include "raster/TFont.h"
#include "ui/Application.h"
#include "ui/Forms.h"
#include "ui/Glyphs.h"

Tfrm_effets* frm_effets = nullptr;

Tfrm_effets::Tfrm_effets(TPaletteCommands* palette) : QWidget(nullptr, PaletteFlags(true)), commands_(palette)
{
    setWindowTitle(QStringLiteral("Effets"));
    setFont(TFont().ToQFont());
    setFixedSize(735, 57);
    GroupBox_2d = MakeGroupBox(this, "GroupBox_2d", QStringLiteral("2D"), 8, 0, 273, 57);
    GroupBox_palette = MakeGroupBox(this, "GroupBox_palette", QStringLiteral("Palette"), 288, 0, 145, 57);
    GroupBox_attenuation = MakeGroupBox(this, "GroupBox_attenuation", QStringLiteral("Atténuation"), 440, 0, 97, 57);
    GroupBox_renforcement = MakeGroupBox(this, "GroupBox_renforcement", QStringLiteral("Renforcement"), 544, 0, 81, 57);
    GroupBox_divers = MakeGroupBox(this, "GroupBox_divers", QStringLiteral("Divers"), 632, 0, 97, 57);

    // Each button shows the hint of the row that names it and runs that row.
    const auto button = [this](QGroupBox* box, const char* name, int left, int width, QSize glyph,
                               const char* glyphName = nullptr) {
        const commands::Command* command = commands::FindBy(&commands::Command::button, name);
        QToolButton* b = MakeGlyphButton(box, name, left, 16, width, 33, Glyph(glyphName ? glyphName : name, glyph),
                                         glyph, QString::fromUtf8(command ? command->hint : nullptr));
        connect(b, &QToolButton::clicked, this, Guarded([this, b] { Run(b); }));
        return b;
    };
    const QSize small(20, 20), wide(50, 20), filter(31, 14);
    btn_resize = button(GroupBox_2d, "btn_resize", 8, 33, small);
    btn_rot = button(GroupBox_2d, "btn_rot", 40, 33, small);
    BitBtn1 = button(GroupBox_2d, "BitBtn1", 72, 33, small, "BitBtn1:effets");
    BitBtn2 = button(GroupBox_2d, "BitBtn2", 104, 33, small, "BitBtn2:effets");
    BitBtn3 = button(GroupBox_2d, "BitBtn3", 136, 65, wide);
    BitBtn4 = button(GroupBox_2d, "BitBtn4", 200, 65, wide);
    btn_contraste = button(GroupBox_palette, "btn_contraste", 8, 33, small);
    btn_gamma = button(GroupBox_palette, "btn_gamma", 40, 33, small);
    btn_couleurs = button(GroupBox_palette, "btn_couleurs", 72, 33, small);
    btn_negatif = button(GroupBox_palette, "btn_negatif", 104, 33, small);
    btn_soften = button(GroupBox_attenuation, "btn_soften", 8, 41, filter);
    btn_blur = button(GroupBox_attenuation, "btn_blur", 48, 41, filter);
    btn_sharpen = button(GroupBox_renforcement, "btn_sharpen", 8, 65, filter);
    btn_bump = button(GroupBox_divers, "btn_bump", 8, 41, filter);
    btn_emboss = button(GroupBox_divers, "btn_emboss", 48, 41, filter);

    move(121, 86);
}

void Tfrm_effets::Run(QToolButton* button)
{
    const commands::Command* command = commands::FindBy(&commands::Command::button, button->objectName().toStdString());
    if (commands_ && command)
        commands_->RunCommand(command->id);
}

void Tfrm_effets::btn_resizeClick() { Run(btn_resize); }
void Tfrm_effets::btn_rotClick() { Run(btn_rot); }
void Tfrm_effets::BitBtn1Click() { Run(BitBtn1); }
void Tfrm_effets::BitBtn2Click() { Run(BitBtn2); }
void Tfrm_effets::BitBtn3Click() { Run(BitBtn3); }
void Tfrm_effets::BitBtn4Click() { Run(BitBtn4); }
void Tfrm_effets::btn_contrasteClick() { Run(btn_contraste); }
void Tfrm_effets::btn_gammaClick() { Run(btn_gamma); }
void Tfrm_effets::btn_couleursClick() { Run(btn_couleurs); }
void Tfrm_effets::btn_negatifClick() { Run(btn_negatif); }
void Tfrm_effets::btn_softenClick() { Run(btn_soften); }
void Tfrm_effets::btn_blurClick() { Run(btn_blur); }
void Tfrm_effets::btn_sharpenClick() { Run(btn_sharpen); }
void Tfrm_effets::btn_bumpClick() { Run(btn_bump); }
void Tfrm_effets::btn_embossClick() { Run(btn_emboss); }
