#pragma once

#include <QWidget>

class QToolButton;

// An older strip of filter buttons, created at start-up and never shown.
class Tfrm_filtres : public QWidget {
    Q_OBJECT
public:
    Tfrm_filtres();

    QToolButton* btn_soften;
    QToolButton* btn_blur;
    QToolButton* btn_sharpen;
    QToolButton* BitBtn1;
    QToolButton* btn_bump;
    QToolButton* btn_emboss;
};

extern Tfrm_filtres* frm_filtres;
