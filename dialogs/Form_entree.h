#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

// Asks for one line of text for the text tool. The one instance is reused: its
// edit keeps the last text accepted.
class TFrm_entree : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_entree(QWidget* owner);

    int ShowModal() { return exec(); }

    // Where the buttons write the text; set by the caller before ShowModal.
    QString* retourTexte = nullptr;

    QPushButton* Ok;
    QPushButton* Cancel;
    QLineEdit* Edit1;

    void OkClick();
    void CancelClick();

protected:
    // Entrée (either) answers Ok, Échap Cancel.
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

extern TFrm_entree* Frm_entree;
