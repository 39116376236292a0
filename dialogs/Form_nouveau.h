#pragma once

#include <QDialog>
#include <cstdint>

class QLineEdit;
class QPushButton;

// The size of a new image, 640 x 480 proposed.
class TFrm_nouveau : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_nouveau(QWidget* owner);

    // Width first, then height.
    void SetRetour(std::int32_t* largeur, std::int32_t* hauteur);
    int ShowModal() { return exec(); }

    QLineEdit* Edit_L;
    QLineEdit* Edit_H;
    QPushButton* OK_nouveau;
    QPushButton* Annuler_nouveau;

    void OK_nouveauClick();
    void Annuler_nouveauClick();
    // Puts the caret in the width field.
    void OnActivate();

    // Escape and the window manager's close command count as Annuler.
    void reject() override;

protected:
    bool event(QEvent* event) override;

private:
    std::int32_t* retourHauteur = nullptr;
    std::int32_t* retourLargeur = nullptr;
};

extern TFrm_nouveau* Frm_nouveau;
