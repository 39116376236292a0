// The glyphs of every palette, as the buttons show them.
#include "ui/Glyphs.h"
#include "dialogs/Form_effets.h"
#include "dialogs/Form_fichier.h"
#include "support/FormsFixture.h"

#include <QPainter>
#include <QToolButton>

namespace {

using GlyphsTest = FormsTest;

struct Shown {
    QString name;
    QImage image;
};

// Every glyph button of the palettes with the picture it shows.
std::vector<Shown> shownGlyphs()
{
    std::vector<Shown> all;
    for (QWidget* form :
         {static_cast<QWidget*>(frm_main), static_cast<QWidget*>(frm_effets), static_cast<QWidget*>(frm_fe)})
        for (QToolButton* b : form->findChildren<QToolButton*>())
            if (!b->icon().isNull() && b->window() == form) // not the common dialogs' buttons
                all.push_back({form->windowTitle() + "/" + b->objectName(),
                               b->icon().pixmap(b->iconSize()).toImage().convertToFormat(QImage::Format_ARGB32)});
    return all;
}

} // namespace

TEST_F(GlyphsTest, GlyphsAreCrispOnATransparentBackgroundAndAllDiffer)
{
    const std::vector<Shown> glyphs = shownGlyphs();
    ASSERT_EQ(glyphs.size(), 10u + 15u + 5u);
    for (const Shown& g : glyphs) {
        const QImage& im = g.image;
        SCOPED_TRACE(g.name.toStdString());
        EXPECT_EQ(qAlpha(im.pixel(0, im.height() - 1)), 0);
        int opaque = 0, partial = 0;
        for (int y = 0; y < im.height(); ++y)
            for (int x = 0; x < im.width(); ++x) {
                const int a = qAlpha(im.pixel(x, y));
                opaque += a == 255;
                partial += a != 0 && a != 255;
            }
        EXPECT_EQ(partial, 0);
        // Something to see, and the face of the button around it.
        EXPECT_GE(opaque, 20);
        EXPECT_LT(opaque, im.width() * im.height());
    }
    for (size_t i = 0; i < glyphs.size(); ++i)
        for (size_t j = i + 1; j < glyphs.size(); ++j)
            EXPECT_NE(glyphs[i].image, glyphs[j].image)
                << glyphs[i].name.toStdString() << " and " << glyphs[j].name.toStdString();

    // A sheet to look at, four times enlarged: VELMORA_GLYPH_SHEET=file.png.
    const QString sheet = qEnvironmentVariable("VELMORA_GLYPH_SHEET");
    if (!sheet.isEmpty()) {
        QImage out(4 * 70 * 6, 4 * 40 * int((glyphs.size() + 5) / 6), QImage::Format_ARGB32);
        out.fill(QColor(239, 239, 239));
        QPainter p(&out);
        for (size_t i = 0; i < glyphs.size(); ++i)
            p.drawImage(QRect(int(i % 6) * 280 + 8, int(i / 6) * 160 + 8, glyphs[i].image.width() * 4,
                              glyphs[i].image.height() * 4),
                        glyphs[i].image);
        p.end();
        out.save(sheet);
    }
}

TEST(Glyph, TheBottomLeftColourIsTheTransparentOne)
{
    for (const char* name : {"btn_outil_pinceau", "btn_aide", "btn_emboss", "BitBtn3", "unknown"}) {
        const QImage picture = GlyphImage(name, QSize(31, 14));
        EXPECT_EQ(picture.format(), QImage::Format_RGB888);
        EXPECT_EQ(picture.pixelColor(0, 13), kGlyphTransparent) << name;
    }
}

TEST(Glyph, OnAHighDensityScreenTheGlyphIsDrawnAtItsResolutionNotEnlarged)
{
    for (const char* name : {"btn_outil_pinceau", "btn_outil_text", "btn_aide", "btn_emboss"}) {
        SCOPED_TRACE(name);
        const QImage picture = GlyphImage(name, QSize(42, 29), 2.0);
        ASSERT_EQ(picture.size(), QSize(84, 58));
        EXPECT_EQ(picture.deviceIndependentSize(), QSizeF(42, 29));
        EXPECT_EQ(picture.pixelColor(0, 57), kGlyphTransparent);
        // An enlarged picture would be made of 2 x 2 squares of one colour.
        bool finer = false;
        for (int y = 0; y < 58 && !finer; y += 2)
            for (int x = 0; x < 84 && !finer; x += 2)
                finer = picture.pixel(x, y) != picture.pixel(x + 1, y) ||
                        picture.pixel(x, y) != picture.pixel(x, y + 1) ||
                        picture.pixel(x, y) != picture.pixel(x + 1, y + 1);
        EXPECT_TRUE(finer);
    }
}
