#pragma once

#include <QString>
#include <QWidget>
#include <functional>

class QGroupBox;
class THelpWindow;
class TPaletteCommands;
class QToolButton;

// The file palette: new, open, save, save as and help.
class Tfrm_fe : public QWidget {
    Q_OBJECT
public:
    // `commands` is the main palette, which the buttons forward to.
    explicit Tfrm_fe(TPaletteCommands* commands);

    QGroupBox* GroupBox1;
    QToolButton* btn_new;
    QToolButton* btn_open;
    QToolButton* btn_save;
    QToolButton* btn_saveas;
    QToolButton* btn_aide;

    void btn_newClick();
    void btn_openClick();
    void btn_saveClick();
    void btn_saveasClick();
    // Shows the installed help page in the program's help window.
    void btn_aideClick();

    // The help page, and the window that shows it (made at the first click).
    QString helpPage;
    THelpWindow* HelpWindow();

private:
    TPaletteCommands* commands_;
    THelpWindow* help_ = nullptr;
};

// Where the help page is installed: share/velmora/html/index.html beside the
// executable's prefix.
QString InstalledHelpPage();

extern Tfrm_fe* frm_fe;
