#pragma once

#include "raster/TColor.h"

#include <QLabel>

// A static text with a sunken border and no text, used as a colour well.
class TColorWell : public QLabel {
    Q_OBJECT
public:
    explicit TColorWell(QWidget* parent, TColor color = clBlack);

    TColor Color() const { return color_; }
    void SetColor(TColor color);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    TColor color_;
};
