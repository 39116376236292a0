#pragma once

#include "document/Tdessin.h"

#include <QPaintEvent>
#include <QWidget>

// The part of the client area that shows the image. The mouse goes through it
// to the document window, which maps it to image coordinates.
class TDessinVue : public QWidget {
public:
    explicit TDessinVue(TDessin* dessin) : QWidget(dessin), dessin_(dessin)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent* event) override { dessin_->PaintView(this, event->rect()); }

private:
    TDessin* dessin_;
};
