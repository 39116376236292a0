#pragma once

#include <QDialog>
#include <cstdint>

class QLineEdit;
class QPushButton;
class QSlider;

// Red, green and blue gains, each 0 to 255 (128 leaves a channel as it is).
// The colour command makes one for each use; no global instance exists.
class Tfrm_rvb : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_rvb(QWidget* owner);

    void SetRetour(std::int32_t* rouge, std::int32_t* vert, std::int32_t* bleu);
    int ShowModal() { return exec(); }

    QSlider* TckBar_R;
    QSlider* TckBar_V;
    QSlider* TckBar_B;
    QLineEdit* Valeur_R;
    QLineEdit* Valeur_V;
    QLineEdit* Valeur_B;
    QPushButton* Ok_rvb;
    QPushButton* Annuler_RVB;
    QPushButton* Aide_RVB;

    void OnChangeR();
    void OnChangeV();
    void OnChangeB();
    void Ok_rvbClick();
    void Annuler_RVBClick();

    // Escape and the close box count as Annuler.
    void reject() override;

private:
    std::int32_t* retourRouge = nullptr;
    std::int32_t* retourVert = nullptr;
    std::int32_t* retourBleu = nullptr;
};
