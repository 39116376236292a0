// The commands of a document: the pixel work is the command table's, here
// come the hourglass, the undo step, the arrow and the repaint around it.
#include "document/Tdessin.h"

#include "document/DocumentHost.h"

#include "effects/Tone.h"
#include "filters/Tfiltre.h"
#include "model/ImageDocument.h"
#include "raster/Screen.h"

using commands::CommandId;

void TDessin::RunWholeImage(const std::function<void()>& change, bool repaintBeforeArrow)
{
    if (!bmp || saving_)
        return;
    // A command works on the image with its floating piece set down.
    model_->SetDown();
    Screen->SetCursor(crHourGlass);
    try {
        model_->Change(change);
    } catch (...) {
        Screen->SetCursor(crArrow);
        throw;
    }
    if (repaintBeforeArrow) {
        OnPaint();
        Screen->SetCursor(crArrow);
    } else {
        Screen->SetCursor(crArrow);
        OnPaint();
    }
}

std::unique_ptr<TFiltre> TDessin::RunCommand(const commands::Command& command, const commands::Values& values)
{
    // Nothing changes an image while it is written.
    if (saving_)
        return nullptr;
    if (command.reshape) {
        if (!model_)
            return nullptr;
        // What a tool showed over the old image goes with it.
        RestorePreview();
        const TColor background = host_ ? host_->Couleur2() : clWhite;
        Screen->SetCursor(crHourGlass);
        try {
            model_->Run(command, values, background);
        } catch (...) {
            Screen->SetCursor(crArrow);
            throw;
        }
        Screen->SetCursor(crArrow);
        return nullptr;
    }
    std::unique_ptr<TFiltre> made;
    RunWholeImage([&] { made = command.run(*bmp, &model_->Mask(), values); }, command.repaintBeforeArrow);
    return made;
}

void TDessin::Mirror() { RunCommand(commands::Find(CommandId::Mirroir)); }
void TDessin::Flip() { RunCommand(commands::Find(CommandId::Flip)); }
void TDessin::NB() { RunCommand(commands::Find(CommandId::NoirBlanc)); }
void TDessin::InverseColor() { RunCommand(commands::Find(CommandId::Negatif)); }
void TDessin::VagueX() { RunCommand(commands::Find(CommandId::VagueX)); }
void TDessin::VagueY() { RunCommand(commands::Find(CommandId::VagueY)); }
void TDessin::Cercle1() { RunCommand(commands::Find(CommandId::Tunnel)); }
void TDessin::Cercle2() { RunCommand(commands::Find(CommandId::PouetPouet)); }

void TDessin::AdjustColor(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    RunCommand(commands::Find(CommandId::Couleurs), {r, g, b});
}

void TDessin::AdjustContrastDialog(int contraste, int luminosite)
{
    RunCommand(commands::Find(CommandId::Contraste), {contraste, luminosite});
}

// The contrast dialog runs these two together; each alone is no command of
// the table.
void TDessin::AdjustContrast(std::uint8_t c)
{
    RunWholeImage([=, this] { effects::AdjustContrast(*bmp, c); }, false);
}

void TDessin::AdjustLuminosite(std::int32_t d)
{
    RunWholeImage([=, this] { effects::AdjustLuminosite(*bmp, d); }, false);
}

void TDessin::DoubleVague()
{
    if (!model_)
        return;
    // Two whole runs, each with its cursor and its repaint, as one step.
    model_->SetDown();
    model_->Change([this] {
        VagueX();
        VagueY();
    });
}

bool TDessin::Reshape(commands::CommandId id, const commands::Values& values)
{
    if (!model_)
        return false;
    const QSize before(bmp->Width(), bmp->Height());
    const std::uint64_t state = model_->ChangeState();
    RunCommand(commands::Find(id), values);
    return model_->ChangeState() != state || QSize(bmp->Width(), bmp->Height()) != before;
}

bool TDessin::CropToSelection()
{
    const QRect kept = model_ ? model_->SelectionBounds() : QRect();
    if (kept.isEmpty())
        return false;
    return Reshape(CommandId::Rogner, {kept.left(), kept.top(), kept.right() + 1, kept.bottom() + 1});
}

bool TDessin::AskAndReshape(commands::CommandId id)
{
    if (!model_ || !host_)
        return false;
    commands::Values values{};
    if (!host_->AskValues(commands::Find(id), QSize(bmp->Width(), bmp->Height()), values))
        return false;
    return Reshape(id, values);
}
