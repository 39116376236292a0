#pragma once

#include <QWidget>

class QToolButton;

// The effects palette: one glyph button per effect, filter and value dialog;
// each forwards to the main palette.
class Tfrm_effets : public QWidget {
    Q_OBJECT
public:
    Tfrm_effets();
};

extern Tfrm_effets* frm_effets;
