#pragma once

#include <QGroupBox>
#include <QIcon>
#include <QString>
#include <QToolButton>
#include <QWidget>

// Window flags of the palettes: a single fixed border with a close box only,
// optionally above every other window.
inline Qt::WindowFlags PaletteFlags(bool staysOnTop)
{
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    if (staysOnTop)
        flags |= Qt::WindowStaysOnTopHint;
    return flags;
}

inline QGroupBox* MakeGroupBox(QWidget* parent, const QString& name, const QString& caption, int left, int top,
                               int width, int height)
{
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    box->setGeometry(left, top, width, height);
    return box;
}

// A glyph button: a picture, an optional caption, and its hint as a tool tip.
inline QToolButton* MakeGlyphButton(QWidget* parent, const QString& name, int left, int top, int width, int height,
                                    const QIcon& glyph, QSize glyphSize, const QString& hint,
                                    const QString& caption = QString())
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setGeometry(left, top, width, height);
    if (!glyph.isNull()) {
        button->setIcon(glyph);
        button->setIconSize(glyphSize);
    }
    if (!caption.isEmpty()) {
        button->setText(caption);
        button->setToolButtonStyle(glyph.isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonTextBesideIcon);
    }
    button->setToolTip(hint);
    return button;
}
