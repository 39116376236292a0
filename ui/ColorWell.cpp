#include "ui/ColorWell.h"

#include <QMouseEvent>

TColorWell::TColorWell(QWidget* parent, TColor color) : QLabel(parent), color_(color)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setAutoFillBackground(true);
    SetColor(color);
}

void TColorWell::SetColor(TColor color)
{
    color_ = color;
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(GetRValue(color), GetGValue(color), GetBValue(color)));
    setPalette(palette);
}

void TColorWell::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked();
    QLabel::mousePressEvent(event);
}
