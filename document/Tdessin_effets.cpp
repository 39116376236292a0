// The whole-image effects of a document: the pixel work lives in effects/,
// here come the hourglass, the arrow and the repaint around it.
#include "document/Tdessin.h"

#include "commands/SharedCommands.h"
#include "effects/Circles.h"
#include "effects/Mirror.h"
#include "effects/Tone.h"
#include "effects/Waves.h"
#include "platform/Screen.h"

template <typename Effect> void TDessin::RunEffect(Effect effect)
{
    if (!bmp)
        return;
    Screen->SetCursor(crHourGlass);
    try {
        RecordChange([&] { effect(*bmp); });
    } catch (...) {
        Screen->SetCursor(crArrow);
        throw;
    }
    Screen->SetCursor(crArrow);
    OnPaint();
}

void TDessin::Mirror()
{
    RunEffect([](TBitmap& b) { effects::Mirror(b); });
}
void TDessin::Flip()
{
    RunEffect([](TBitmap& b) { effects::Flip(b); });
}
void TDessin::NB()
{
    RunEffect([](TBitmap& b) { effects::NB(b); });
}
void TDessin::VagueX()
{
    RunEffect([](TBitmap& b) { effects::VagueX(b); });
}
void TDessin::VagueY()
{
    RunEffect([](TBitmap& b) { effects::VagueY(b); });
}
void TDessin::Cercle1()
{
    RunEffect([](TBitmap& b) { effects::Cercle1(b); });
}
void TDessin::Cercle2()
{
    RunEffect([](TBitmap& b) { effects::Cercle2(b); });
}

void TDessin::AdjustColor(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    RunEffect([=](TBitmap& image) { effects::AdjustColor(image, r, g, b); });
}

void TDessin::AdjustContrast(std::uint8_t c)
{
    RunEffect([=](TBitmap& image) { effects::AdjustContrast(image, c); });
}

void TDessin::AdjustLuminosite(std::int32_t d)
{
    RunEffect([=](TBitmap& image) { effects::AdjustLuminosite(image, d); });
}

void TDessin::AdjustContrastDialog(int contraste, int luminosite)
{
    RunEffect([=](TBitmap& image) { commands::ApplyContrastDialog(image, contraste, luminosite); });
}

void TDessin::InverseColor()
{
    if (!bmp)
        return;
    // The negative shows itself before the cursor comes back.
    Screen->SetCursor(crHourGlass);
    RecordChange([this] { effects::InverseColor(*bmp); });
    OnPaint();
    Screen->SetCursor(crArrow);
}

void TDessin::DoubleVague()
{
    // Both waves make one step.
    RecordChange([this] {
        VagueX();
        VagueY();
    });
}
