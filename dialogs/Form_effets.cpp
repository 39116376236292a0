#include "dialogs/Form_effets.h"

#include "dialogs/PaletteCommands.h"
#include "ui/Application.h"
#include "ui/Forms.h"
#include "ui/Glyphs.h"
#include "platform/TFont.h"

Tfrm_effets* frm_effets = nullptr;

Tfrm_effets::Tfrm_effets(TPaletteCommands* commands) : QWidget(nullptr, PaletteFlags(true)), commands_(commands)
{
    setWindowTitle(QStringLiteral("Effets"));
    setFont(TFont().ToQFont());
    setFixedSize(735, 57);
    GroupBox_2d = MakeGroupBox(this, "GroupBox_2d", QStringLiteral("2D"), 8, 0, 273, 57);
    GroupBox_palette = MakeGroupBox(this, "GroupBox_palette", QStringLiteral("Palette"), 288, 0, 145, 57);
    GroupBox_attenuation = MakeGroupBox(this, "GroupBox_attenuation", QStringLiteral("Atténuation"), 440, 0, 97, 57);
    GroupBox_renforcement = MakeGroupBox(this, "GroupBox_renforcement", QStringLiteral("Renforcement"), 544, 0, 81, 57);
    GroupBox_divers = MakeGroupBox(this, "GroupBox_divers", QStringLiteral("Divers"), 632, 0, 97, 57);

    const auto button = [](QGroupBox* box, const char* name, int left, int width, QSize glyph, const QString& hint,
                           const char* glyphName = nullptr) {
        return MakeGlyphButton(box, name, left, 16, width, 33, Glyph(glyphName ? glyphName : name, glyph), glyph, hint);
    };
    const QSize small(20, 20), wide(50, 20), filter(31, 14);
    btn_resize = button(GroupBox_2d, "btn_resize", 8, 33, small, QStringLiteral("Flip"));
    btn_rot = button(GroupBox_2d, "btn_rot", 40, 33, small, QStringLiteral("Mirroir"));
    BitBtn1 = button(GroupBox_2d, "BitBtn1", 72, 33, small, QStringLiteral("Vagues Horizontales"), "BitBtn1:effets");
    BitBtn2 = button(GroupBox_2d, "BitBtn2", 104, 33, small, QStringLiteral("Vagues Verticales"), "BitBtn2:effets");
    BitBtn3 = button(GroupBox_2d, "BitBtn3", 136, 65, wide, QStringLiteral("Tunnel"));
    BitBtn4 = button(GroupBox_2d, "BitBtn4", 200, 65, wide, QStringLiteral("Ripple"));
    btn_contraste = button(GroupBox_palette, "btn_contraste", 8, 33, small, QStringLiteral("Contraste"));
    btn_gamma = button(GroupBox_palette, "btn_gamma", 40, 33, small, QStringLiteral("Noir et Blanc"));
    btn_couleurs = button(GroupBox_palette, "btn_couleurs", 72, 33, small, QStringLiteral("Couleurs RVB"));
    btn_negatif = button(GroupBox_palette, "btn_negatif", 104, 33, small, QStringLiteral("Négatif"));
    btn_soften =
        button(GroupBox_attenuation, "btn_soften", 8, 41, filter, QStringLiteral("Effet de flou en vision doublée"));
    btn_blur = button(GroupBox_attenuation, "btn_blur", 48, 41, filter, QStringLiteral("Effet de flou"));
    btn_sharpen =
        button(GroupBox_renforcement, "btn_sharpen", 8, 65, filter, QStringLiteral("Accentuation des détails"));
    btn_bump = button(GroupBox_divers, "btn_bump", 8, 41, filter, QStringLiteral("Effet de peinture à la main"));
    btn_emboss = button(GroupBox_divers, "btn_emboss", 48, 41, filter, QStringLiteral("Relief monochromatique"));

    const std::pair<QToolButton*, void (Tfrm_effets::*)()> handlers[] = {
        {btn_resize, &Tfrm_effets::btn_resizeClick},
        {btn_rot, &Tfrm_effets::btn_rotClick},
        {BitBtn1, &Tfrm_effets::BitBtn1Click},
        {BitBtn2, &Tfrm_effets::BitBtn2Click},
        {BitBtn3, &Tfrm_effets::BitBtn3Click},
        {BitBtn4, &Tfrm_effets::BitBtn4Click},
        {btn_contraste, &Tfrm_effets::btn_contrasteClick},
        {btn_gamma, &Tfrm_effets::btn_gammaClick},
        {btn_couleurs, &Tfrm_effets::btn_couleursClick},
        {btn_negatif, &Tfrm_effets::btn_negatifClick},
        {btn_soften, &Tfrm_effets::btn_softenClick},
        {btn_blur, &Tfrm_effets::btn_blurClick},
        {btn_sharpen, &Tfrm_effets::btn_sharpenClick},
        {btn_bump, &Tfrm_effets::btn_bumpClick},
        {btn_emboss, &Tfrm_effets::btn_embossClick},
    };
    for (const auto& [b, handler] : handlers)
        connect(b, &QToolButton::clicked, this, Guarded([this, handler = handler] { (this->*handler)(); }));

    move(121, 86);
}

void Tfrm_effets::btn_resizeClick()
{
    if (commands_)
        commands_->Flip1Click(this);
}
void Tfrm_effets::btn_rotClick()
{
    if (commands_)
        commands_->Mirroir1Click(this);
}
void Tfrm_effets::BitBtn1Click()
{
    if (commands_)
        commands_->VagueY1Click(this);
}
void Tfrm_effets::BitBtn2Click()
{
    if (commands_)
        commands_->Vagueenabscisse1Click(this);
}
void Tfrm_effets::BitBtn3Click()
{
    if (commands_)
        commands_->Tunnel1Click(this);
}
void Tfrm_effets::BitBtn4Click()
{
    if (commands_)
        commands_->Pouetpouet1Click(this);
}
void Tfrm_effets::btn_contrasteClick()
{
    if (commands_)
        commands_->Contraste1Click(this);
}
void Tfrm_effets::btn_gammaClick()
{
    if (commands_)
        commands_->NoirBlanc1Click(this);
}
void Tfrm_effets::btn_couleursClick()
{
    if (commands_)
        commands_->Couleurs1Click(this);
}
void Tfrm_effets::btn_negatifClick()
{
    if (commands_)
        commands_->Negatif1Click(this);
}
void Tfrm_effets::btn_softenClick()
{
    if (commands_)
        commands_->Flou1Click(this);
}
void Tfrm_effets::btn_blurClick()
{
    if (commands_)
        commands_->Blur1Click(this);
}
void Tfrm_effets::btn_sharpenClick()
{
    if (commands_)
        commands_->Nettet1Click(this);
}
void Tfrm_effets::btn_bumpClick()
{
    if (commands_)
        commands_->Aquarelle1Click(this);
}
void Tfrm_effets::btn_embossClick()
{
    if (commands_)
        commands_->Estompage1Click(this);
}
