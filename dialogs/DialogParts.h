#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QString>
#include <cstdint>

// Pieces shared by the value dialogs.
namespace dialogparts {

// The window frame around a client area, used to turn the forms' outer sizes
// into client sizes.
constexpr int kFrameWidth = 8;
constexpr int kFrameHeight = 27;

QLabel* Label(QWidget* parent, const QString& name, const QString& caption, int left, int top);
QLineEdit* Edit(QWidget* parent, const QString& name, const QString& text, int left, int top, int width, int height);
// A track bar from 0 to 255 at 128, a tick every 25 below it.
QSlider* TrackBar(QWidget* parent, const QString& name, int left, int top);
// Glyph buttons: "OK" with a check mark, "Annuler" and "&Aide".
QPushButton* OkButton(QWidget* parent, const QString& name, int left, int top, int width, int height);
QPushButton* CancelButton(QWidget* parent, const QString& name, int left, int top, int width, int height);
QPushButton* HelpButton(QWidget* parent, const QString& name, int left, int top, int width, int height);
// Gives `field` the keyboard, its text selected so that typing replaces it.
void TypeInto(QWidget* field);
// Moves a dialog to the middle of the screen by halving with a shift.
void CentreOnScreen(QWidget* dialog, int outerWidth, int outerHeight);
// Reads a number as the C library's atol does: leading blanks, an optional
// sign, the digits up to the first other character; no number gives 0. The
// result saturates at the limits of a 32-bit integer.
std::int32_t AtoL(const QString& text);

} // namespace dialogparts
