#include "dialogs/Form_filtres.h"

#include "commands/CommandTable.h"
#include "raster/TFont.h"
#include "ui/Forms.h"

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
    // Each button has the caption and the hint that the command table gives
    // this palette's button of its name (none for BitBtn1), and no handler.
    // The captions decide the widths: each shows whole with the installed fonts.
    const auto button = [](QGroupBox* box, const char* name, int left, int width) {
        const commands::Command* command = commands::FindBy(&commands::Command::button, name);
        const auto text = [&](const char* commands::Command::*field) {
            return QString::fromUtf8(command ? command->*field : nullptr);
        };
        return MakeGlyphButton(box, name, left, 16, width, 33, QIcon(), QSize(), text(&commands::Command::filtresHint),
                               text(&commands::Command::filtresCaption));
    };
    btn_soften = button(attenuation, "btn_soften", 4, 46);
    btn_blur = button(attenuation, "btn_blur", 50, 43);
    btn_sharpen = button(renforcement, "btn_sharpen", 4, 58);
    BitBtn1 = button(renforcement, "BitBtn1", 62, 31);
    btn_bump = button(divers, "btn_bump", 3, 41);
    btn_emboss = button(divers, "btn_emboss", 44, 51);
    move(634, 127);
}
