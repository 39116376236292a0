#include "dialogs/DialogParts.h"

#include "raster/Screen.h"
#include "raster/TFont.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QStyle>
#include <limits>

namespace dialogparts {

QLabel* Label(QWidget* parent, const QString& name, const QString& caption, int left, int top)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLineEdit* Edit(QWidget* parent, const QString& name, const QString& text, int left, int top, int width, int height)
{
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setGeometry(left, top, width, height);
    return edit;
}

QSlider* TrackBar(QWidget* parent, const QString& name, int left, int top)
{
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setObjectName(name);
    bar->setGeometry(left, top, 233, 33);
    bar->setRange(0, 255);
    bar->setValue(128);
    bar->setTickInterval(25);
    bar->setTickPosition(QSlider::TicksBelow);
    return bar;
}

namespace {
QPushButton* button(QWidget* parent, const QString& name, const QString& caption, QStyle::StandardPixmap icon, int left,
                    int top, int width, int height)
{
    auto* b = new QPushButton(parent->style()->standardIcon(icon), caption, parent);
    b->setObjectName(name);
    b->setGeometry(left, top, width, height);
    b->setAutoDefault(false);
    return b;
}
} // namespace

QPushButton* OkButton(QWidget* parent, const QString& name, int left, int top, int width, int height)
{
    QPushButton* b = button(parent, name, QStringLiteral("OK"), QStyle::SP_DialogApplyButton, left, top, width, height);
    b->setDefault(true);
    return b;
}

QPushButton* CancelButton(QWidget* parent, const QString& name, int left, int top, int width, int height)
{
    return button(parent, name, QStringLiteral("Annuler"), QStyle::SP_DialogCancelButton, left, top, width, height);
}

QPushButton* HelpButton(QWidget* parent, const QString& name, int left, int top, int width, int height)
{
    return button(parent, name, QStringLiteral("&Aide"), QStyle::SP_DialogHelpButton, left, top, width, height);
}

void TypeInto(QWidget* field)
{
    field->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(field))
        edit->selectAll();
    else if (auto* box = qobject_cast<QAbstractSpinBox*>(field))
        box->selectAll();
}

void CentreOnScreen(QWidget* dialog, int outerWidth, int outerHeight)
{
    dialog->move((Screen->Width() >> 1) - (outerWidth >> 1), (Screen->Height() >> 1) - (outerHeight >> 1));
}

std::int32_t AtoL(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    qint64 value = 0;
    constexpr qint64 limit = qint64(std::numeric_limits<std::int32_t>::max()) + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min(limit, value * 10 + (text[i].unicode() - '0'));
    if (negative)
        return std::int32_t(-value);
    return std::int32_t(std::min<qint64>(value, limit - 1));
}

} // namespace dialogparts
