#pragma once

#include <QDialog>
#include <cstdint>

class QLineEdit;
class QPushButton;
class QSlider;

// Contrast (a gain, 128 neutral) and luminosity (128 neutral).
class Tfrm_CL : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_CL(QWidget* owner);

    void SetRetour(std::int32_t* contraste, std::int32_t* luminosite);
    int ShowModal() { return exec(); }

    QSlider* TckBar_C;
    QSlider* TckBar_L;
    QLineEdit* Valeur_C;
    QLineEdit* Valeur_L;
    QPushButton* Ok_CL;
    QPushButton* Annuler_CL;
    QPushButton* Aide_CL;

    void OnChangeC();
    void OnChangeL();
    void Ok_CLClick();
    void Annuler_CLClick();

    // Escape and the close box count as Annuler.
    void reject() override;

private:
    std::int32_t* retourContraste = nullptr;
    std::int32_t* retourLuminosite = nullptr;
};

extern Tfrm_CL* frm_CL;
