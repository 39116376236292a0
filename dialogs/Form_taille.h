#pragma once

#include "commands/CommandTable.h"
#include "raster/TColor.h"

#include <QDialog>
#include <QSize>
#include <functional>

class QAbstractButton;
class QAbstractSpinBox;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The dialogs of the changes of size and orientation. Each shows the size the
// image will have and its memory before OK; a result over the bitmaps' limits
// disables OK and says why. Values() gives the command's values as the
// command table holds them, read once OK is pressed.
class TTailleDialog : public QDialog {
    Q_OBJECT
public:
    int ShowModal() { return exec(); }
    virtual commands::Values Values() const = 0;

    QLabel* Resultat = nullptr;
    QPushButton* Ok = nullptr;
    QPushButton* Annuler = nullptr;

protected:
    TTailleDialog(QWidget* owner, const QString& title, QSize imageSize, commands::CommandId id);
    // The buttons under `content`, the whole laid out; `first` has the
    // keyboard when the dialog opens.
    void Finish(QLayout* content, QAbstractSpinBox* first);
    // Shows the size that the values give and allows OK only for one that may
    // be made.
    void ShowResult();
    // The result follows what is typed in `box` at each key: a text that is
    // not a value in the box's range yet shows `refusal()` and allows no OK.
    void FollowTyping(QAbstractSpinBox* box, std::function<QString()> refusal);
    void showEvent(QShowEvent* event) override;

    QSize imageSize_;

private:
    commands::CommandId id_;
    QAbstractSpinBox* first_ = nullptr;
};

// "Redimensionner l'image": the new width and height in pixels or in percent,
// the proportions kept or not, the resampling method.
class Tfrm_redimensionner : public TTailleDialog {
    Q_OBJECT
public:
    Tfrm_redimensionner(QWidget* owner, QSize imageSize);
    // Width and height in pixels, then the filter.
    commands::Values Values() const override;

    QDoubleSpinBox* Largeur;
    QDoubleSpinBox* Hauteur;
    QComboBox* Unite; // "pixels" or "pour cent"
    QCheckBox* Proportions;
    QComboBox* Methode; // in the order of effects::ResampleFilter

private:
    void WidthChanged();
    void HeightChanged();
    void UnitChanged();
    // A side as a Size value of the command table.
    int SizeValue(const QDoubleSpinBox* side) const;

    bool following_ = false; // one side is being set from the other
    bool percent_ = false;
};

// "Taille de la zone de dessin": the new width and height, and where the image
// stands in it; what it does not cover takes the right-button colour.
class Tfrm_toile : public TTailleDialog {
    Q_OBJECT
public:
    Tfrm_toile(QWidget* owner, QSize imageSize, TColor fill);
    // Width, height, anchor, then the colour as RRGGBB.
    commands::Values Values() const override;

    QSpinBox* Largeur;
    QSpinBox* Hauteur;
    QButtonGroup* Ancre; // ids 0 to 8, read like a page

private:
    // The chosen anchor shows a dot, the others arrows pointing away from it.
    void ShowAnchor();

    TColor fill_;
};

// "Rotation": any angle in degrees, clockwise, two decimals.
class Tfrm_rotation : public TTailleDialog {
    Q_OBJECT
public:
    Tfrm_rotation(QWidget* owner, QSize imageSize);
    // The angle in hundredths of a degree.
    commands::Values Values() const override;

    QDoubleSpinBox* Angle;
};
