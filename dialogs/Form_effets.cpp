#include "dialogs/Form_effets.h"

#include "platform/Forms.h"
#include "platform/TFont.h"

Tfrm_effets* frm_effets = nullptr;

Tfrm_effets::Tfrm_effets() : QWidget(nullptr, PaletteFlags(true))
{
    setWindowTitle(QStringLiteral("Effets"));
    setFont(TFont().ToQFont());
    setFixedSize(735, 57);
    move(121, 86);
}
