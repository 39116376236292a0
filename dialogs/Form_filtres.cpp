#include "dialogs/Form_filtres.h"

#include "ui/Forms.h"
#include "platform/TFont.h"

Tfrm_filtres* frm_filtres = nullptr;

Tfrm_filtres::Tfrm_filtres() : QWidget(nullptr, PaletteFlags(false))
{
    setWindowTitle(QStringLiteral("Filtres"));
    setFont(TFont().ToQFont());
    setFixedSize(306, 57);
    QGroupBox* attenuation = MakeGroupBox(this, "GroupBox_attenuation", QStringLiteral("Atténuation"), 0, 0, 97, 57);
    QGroupBox* renforcement =
        MakeGroupBox(this, "GroupBox_renforcement", QStringLiteral("Renforcement"), 104, 0, 97, 57);
    QGroupBox* divers = MakeGroupBox(this, "GroupBox_divers", QStringLiteral("Divers"), 208, 0, 97, 57);
    // The captions decide the widths: each shows whole with the installed fonts.
    const auto button = [](QGroupBox* box, const char* name, int left, int width, const QString& caption,
                           const QString& hint) {
        return MakeGlyphButton(box, name, left, 16, width, 33, QIcon(), QSize(), hint, caption);
    };
    // These buttons have no handler.
    btn_soften = button(attenuation, "btn_soften", 4, 46, QStringLiteral("Soften"), QStringLiteral("Flou"));
    btn_blur = button(attenuation, "btn_blur", 50, 43, QStringLiteral("Blur"), QStringLiteral("Vent"));
    btn_sharpen = button(renforcement, "btn_sharpen", 4, 58, QStringLiteral("Sharpen"),
                         QStringLiteral("Accentuation des détails"));
    BitBtn1 = button(renforcement, "BitBtn1", 62, 31, QString(), QString());
    btn_bump = button(divers, "btn_bump", 3, 41, QStringLiteral("Bump"), QStringLiteral("Relief"));
    btn_emboss =
        button(divers, "btn_emboss", 44, 51, QStringLiteral("Emboss"), QStringLiteral("Relief monochromatique"));
    move(634, 127);
}
