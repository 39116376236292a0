// The main palette's effect, filter and value-dialog commands: the rows of the
// command table, run on the active document.
#include "app/Form_main.h"

#include "dialogs/Fomr_cl.h"
#include "dialogs/Form_rvb.h"
#include "dialogs/Form_taille.h"
#include "document/Tdessin.h"
#include "filters/Tfiltre.h"
#include "raster/Screen.h"

using commands::CommandId;

void Tfrm_main::Mirroir1Click(QObject*) { RunCommand(CommandId::Mirroir); }
void Tfrm_main::Flip1Click(QObject*) { RunCommand(CommandId::Flip); }
void Tfrm_main::Vagueenabscisse1Click(QObject*) { RunCommand(CommandId::VagueX); }
void Tfrm_main::VagueY1Click(QObject*) { RunCommand(CommandId::VagueY); }
void Tfrm_main::Tunnel1Click(QObject*) { RunCommand(CommandId::Tunnel); }
void Tfrm_main::Pouetpouet1Click(QObject*) { RunCommand(CommandId::PouetPouet); }
void Tfrm_main::Negatif1Click(QObject*) { RunCommand(CommandId::Negatif); }
void Tfrm_main::NoirBlanc1Click(QObject*) { RunCommand(CommandId::NoirBlanc); }
void Tfrm_main::Blur1Click(QObject*) { RunCommand(CommandId::Blur); }
void Tfrm_main::Flou1Click(QObject*) { RunCommand(CommandId::Flou); }
void Tfrm_main::Nettet1Click(QObject*) { RunCommand(CommandId::Nettete); }
void Tfrm_main::Estompage1Click(QObject*) { RunCommand(CommandId::Estampage); }
void Tfrm_main::Aquarelle1Click(QObject*) { RunCommand(CommandId::Aquarelle); }
void Tfrm_main::Couleurs1Click(QObject*) { RunCommand(CommandId::Couleurs); }
void Tfrm_main::Contraste1Click(QObject*) { RunCommand(CommandId::Contraste); }

void Tfrm_main::RunCommand(CommandId id)
{
    const commands::Command& command = commands::Find(id);
    commands::Values values{};
    if (!AskValues(command, values))
        return;
    const bool isFilter = command.selection == commands::SelectionRule::ThroughMask;
    if (!dessin) {
        // A filter shows the hourglass and then the arrow all the same.
        if (isFilter) {
            Screen->SetCursor(crHourGlass);
            Screen->SetCursor(crArrow);
        }
        return;
    }
    // The last filter goes before the next one is made.
    if (isFilter)
        filtre.reset();
    if (std::unique_ptr<TFiltre> made = dessin->RunCommand(command, values))
        filtre = std::move(made);
}

bool Tfrm_main::AskValues(const commands::Command& command, commands::Values& values)
{
    // Preset to "cancelled", so that the close box applies nothing.
    std::int32_t v[commands::kMaxValues] = {-1, -1, -1, -1};
    switch (command.dialog) {
    case commands::ValueDialog::None: return true;
    case commands::ValueDialog::Rgb: {
        Tfrm_rvb dialog(this);
        dialog.SetRetour(&v[0], &v[1], &v[2]);
        dialog.ShowModal();
        break;
    }
    case commands::ValueDialog::Contrast: {
        Tfrm_CL dialog(this);
        dialog.SetRetour(&v[0], &v[1]);
        dialog.ShowModal();
        break;
    }
    default: return false;
    }
    const int count = command.ValueCount();
    for (int i = 0; i < count; ++i) {
        if (v[i] == -1)
            return false;
        values[size_t(i)] = v[i];
    }
    return true;
}

bool Tfrm_main::AskValues(const commands::Command& command, QSize imageSize, commands::Values& values)
{
    std::unique_ptr<TTailleDialog> dialog;
    switch (command.dialog) {
    case commands::ValueDialog::Resize: dialog = std::make_unique<Tfrm_redimensionner>(this, imageSize); break;
    case commands::ValueDialog::Canvas: dialog = std::make_unique<Tfrm_toile>(this, imageSize, Couleur2()); break;
    case commands::ValueDialog::Angle: dialog = std::make_unique<Tfrm_rotation>(this, imageSize); break;
    default: return AskValues(command, values);
    }
    if (dialog->ShowModal() != QDialog::Accepted)
        return false;
    values = dialog->Values();
    return true;
}
