// What the keys do with a selection: Suppr and Backspace fill it with the
// right-button colour, Ctrl+X copies it first, Ctrl+A selects everything.
#include "document/TDessinVue.h"
#include "document/Tdessin.h"
#include "kernels/Tselection.h"
#include "model/ImageDocument.h"
#include "support/FormsFixture.h"
#include "support/Images.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

#include <string>
#include <vector>

namespace {

class SelectionKeysTest : public FormsTest {
protected:
    TDessin* Shown(const TBitmap& image)
    {
        auto* document = new TDessin(frm_main, image.Width(), image.Height());
        document->GetBmp()->Assign(image);
        document->show();
        document->OnActivate();
        testgui::Settle();
        return document;
    }
};

struct Selected {
    std::string name;
    QRect drag; // the selection tool from the top-left to past the bottom-right; empty: everything
    QRect filled; // in the image
};

TEST_F(SelectionKeysTest, SupprFillsTheSelectionWithTheRightButtonColourAsOneStep)
{
    const auto noise = testimg::Noise(30, 20, 8);
    const TColor right = frm_main->Couleur2();
    const std::vector<Selected> cases = {
        {"rectangle", {4, 3, 10, 5}, {4, 3, 10, 5}},
        {"everything", {}, {0, 0, 30, 20}},
        // Pressed outside the image, released inside: the part inside.
        {"partly outside", {-5, -4, 12, 10}, {0, 0, 7, 6}},
    };
    for (const int key : {int(Qt::Key_Delete), int(Qt::Key_Backspace)})
        for (const Selected& c : cases) {
            SCOPED_TRACE(c.name + (key == Qt::Key_Delete ? " with Suppr" : " with Backspace"));
            TDessin* document = Shown(*noise);
            if (!c.drag.isEmpty())
                document->Model()->SelectRectangle(c.drag.left(), c.drag.top(), c.drag.right() + 1,
                                                   c.drag.bottom() + 1);
            QTest::keyClick(document, Qt::Key(key));
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < 30; ++x)
                    ASSERT_EQ(testimg::At(*document->GetBmp(), x, y),
                              c.filled.contains(x, y) ? right : testimg::At(*noise, x, y))
                        << x << ", " << y;
            ASSERT_TRUE(document->Undo());
            EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *noise));
            EXPECT_FALSE(document->Undo());
            document->DropChanges();
            document->close();
        }
}

TEST_F(SelectionKeysTest, CtrlXCopiesThenFillsAndCtrlASelectsEverything)
{
    const auto noise = testimg::Noise(30, 20, 9);
    TDessin* document = Shown(*noise);
    document->Model()->SelectRectangle(2, 3, 9, 8);
    document->Vue()->UpdateOutline();
    QTest::keyClick(document, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_BGR888),
              noise->Image().copy(2, 3, 7, 5));
    EXPECT_EQ(testimg::At(*document->GetBmp(), 2, 3), frm_main->Couleur2());
    EXPECT_EQ(testimg::At(*document->GetBmp(), 9, 3), testimg::At(*noise, 9, 3));

    QTest::keyClick(document, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(document->Model()->Mask().Everything());
    EXPECT_TRUE(document->Vue()->SelectionOutline().isEmpty());
    document->DropChanges();
}

} // namespace
