// Every text of every palette and dialog shows whole with the installed fonts,
// and each window offers the border buttons it is designed with.
#include "dialogs/Fomr_cl.h"
#include "dialogs/Form_effets.h"
#include "dialogs/Form_entree.h"
#include "dialogs/Form_fichier.h"
#include "dialogs/Form_filtres.h"
#include "dialogs/Form_nouveau.h"
#include "dialogs/Form_rvb.h"
#include "support/FormsFixture.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QToolButton>

namespace {

using LayoutTest = FormsTest;

// The windows as the user sees them; the RGB dialog lives only while its
// command runs, so one is made here.
std::vector<QWidget*> forms(QWidget* rvb)
{
    return {frm_main, frm_effets, frm_fe, frm_filtres, frm_CL, Frm_nouveau, Frm_entree, rvb};
}

// The text without its mnemonic marks.
QString shown(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove('&');
    text.replace('\x01', '&');
    return text;
}

// What does not fit: "name: why" for each text cut by its own box or by its
// parent's edge.
QStringList cutTexts(QWidget* form)
{
    QStringList cut;
    const auto outside = [&](QWidget* w) {
        const QRect inParent = w->geometry();
        if (!w->parentWidget()->rect().contains(inParent))
            cut << w->objectName() + ": outside its parent";
    };
    for (QLabel* label : form->findChildren<QLabel*>()) {
        if (label->text().isEmpty() || !label->isVisibleTo(form))
            continue;
        const QSize need =
            label->wordWrap() ? QSize(label->width(), label->heightForWidth(label->width())) : label->sizeHint();
        if (need.width() > label->width() || need.height() > label->height())
            cut << label->objectName() + ": needs " + QString::number(need.width()) + "x" +
                       QString::number(need.height());
        outside(label);
    }
    for (QAbstractButton* button : form->findChildren<QAbstractButton*>()) {
        if (button->text().isEmpty() || !button->isVisibleTo(form))
            continue;
        // A button's hint has margins and a minimum width of its own; what
        // matters is the text, the icon and the frame.
        auto* tool = qobject_cast<QToolButton*>(button);
        const bool textOnly = tool && tool->toolButtonStyle() == Qt::ToolButtonTextOnly;
        int need = button->fontMetrics().horizontalAdvance(shown(button->text())) + 8;
        if (!button->icon().isNull() && !textOnly)
            need += button->iconSize().width() + 4;
        if (need > button->width() || button->fontMetrics().height() + 4 > button->height())
            cut << button->objectName() + ": needs " + QString::number(need);
        outside(button);
    }
    for (QGroupBox* box : form->findChildren<QGroupBox*>()) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect title = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        if (title.right() >= box->width() || title.width() < box->fontMetrics().horizontalAdvance(shown(box->title())))
            cut << box->objectName() + ": caption ends at " + QString::number(title.right());
        outside(box);
    }
    return cut;
}

} // namespace

TEST_F(LayoutTest, EveryLabelButtonAndCaptionShowsItsWholeText)
{
    Tfrm_rvb rvb(frm_main);
    for (QWidget* form : forms(&rvb)) {
        EXPECT_EQ(cutTexts(form).join("; ").toStdString(), "") << form->windowTitle().toStdString();
        EXPECT_FALSE(form->windowTitle().isEmpty());
        // Pictures to look at: VELMORA_FORM_SHOTS=folder.
        const QString shots = qEnvironmentVariable("VELMORA_FORM_SHOTS");
        if (!shots.isEmpty())
            form->grab().save(shots + "/" + form->metaObject()->className() + ".png");
    }
}

// Which border buttons each window offers: the system menu with its close box,
// minimise, maximise.
TEST_F(LayoutTest, EachWindowOffersTheDesignedBorderButtons)
{
    Tfrm_rvb rvb(frm_main);
    struct Border {
        QWidget* form;
        bool systemMenu, close, minimise, maximise, onTop;
    };
    const Border borders[] = {
        {frm_main, true, true, true, false, true},   {frm_effets, true, true, false, false, true},
        {frm_fe, true, true, false, false, true},    {frm_filtres, true, true, false, false, false},
        {frm_CL, true, true, true, true, false},     {Frm_nouveau, false, false, false, false, false},
        {Frm_entree, true, true, true, true, false}, {&rvb, true, true, false, false, true},
    };
    for (const Border& b : borders) {
        const Qt::WindowFlags flags = b.form->windowFlags();
        const std::string name = b.form->windowTitle().toStdString();
        EXPECT_EQ(flags.testFlag(Qt::WindowSystemMenuHint), b.systemMenu) << name;
        EXPECT_EQ(flags.testFlag(Qt::WindowCloseButtonHint), b.close) << name;
        EXPECT_EQ(flags.testFlag(Qt::WindowMinimizeButtonHint), b.minimise) << name;
        EXPECT_EQ(flags.testFlag(Qt::WindowMaximizeButtonHint), b.maximise) << name;
        EXPECT_EQ(flags.testFlag(Qt::WindowStaysOnTopHint), b.onTop) << name;
        // Without the customise hint, the window manager adds buttons of its own.
        EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint) || b.maximise) << name;
    }
}
