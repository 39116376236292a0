#include "dialogs/Form_taille.h"

#include "dialogs/DialogParts.h"
#include "platform/TBitmap.h"
#include "platform/TFont.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

using namespace dialogparts;

namespace {

// Sides may be typed past the limits, so that the refusal can say why.
constexpr int kMaxTyped = 999999;

QString sizeText(QSize size)
{
    const QLocale french(QLocale::French, QLocale::France);
    // Rows are padded to 4 bytes.
    const qint64 stride = (3 * qint64(size.width()) + 3) / 4 * 4;
    const double mebibytes = double(size.height() * stride) / (1 << 20);
    return QStringLiteral("Nouvelle taille : %1 x %2 pixels, %3 Mio")
        .arg(size.width())
        .arg(size.height())
        .arg(french.toString(mebibytes, 'f', 1));
}

} // namespace

TTailleDialog::TTailleDialog(QWidget* owner, const QString& title, QSize imageSize)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      imageSize_(imageSize)
{
    setWindowTitle(title);
    setFont(TFont().ToQFont());
    Resultat = new QLabel(this);
    Resultat->setObjectName(QStringLiteral("Resultat"));
    Ok = OkButton(this, QStringLiteral("Ok"), 0, 0, 105, 25);
    Annuler = CancelButton(this, QStringLiteral("Annuler"), 0, 0, 105, 25);
    connect(Ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(Annuler, &QPushButton::clicked, this, &QDialog::reject);
}

void TTailleDialog::Finish(QLayout* content)
{
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Ok);
    buttons->addWidget(Annuler);
    auto* all = new QVBoxLayout(this);
    all->addLayout(content);
    all->addWidget(Resultat);
    all->addLayout(buttons);
    all->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    CentreOnScreen(this, width() + kFrameWidth, height() + kFrameHeight);
}

void TTailleDialog::ShowResult(commands::CommandId id)
{
    const QSize size = commands::ReshapedSize(id, imageSize_, Values());
    const bool allowed = commands::ResultAllowed(size);
    Resultat->setText(allowed ? sizeText(size)
                              : QStringLiteral("Trop grande (%1 x %2 pixels) : au plus %3 pixels de côté et 1 Gio "
                                               "d'image.")
                                    .arg(size.width())
                                    .arg(size.height())
                                    .arg(kMaxBitmapSide));
    Ok->setEnabled(allowed);
}

Tfrm_redimensionner::Tfrm_redimensionner(QWidget* owner, QSize imageSize)
    : TTailleDialog(owner, QStringLiteral("Redimensionner l'image"), imageSize)
{
    const auto side = [this](const QString& name, int value) {
        auto* box = new QDoubleSpinBox(this);
        box->setObjectName(name);
        box->setDecimals(0);
        box->setRange(1, kMaxTyped);
        box->setValue(value);
        return box;
    };
    Largeur = side(QStringLiteral("Largeur"), imageSize.width());
    Hauteur = side(QStringLiteral("Hauteur"), imageSize.height());
    Unite = new QComboBox(this);
    Unite->addItems({QStringLiteral("pixels"), QStringLiteral("pour cent")});
    Proportions = new QCheckBox(QStringLiteral("Conserver les proportions"), this);
    Proportions->setChecked(true);
    Methode = new QComboBox(this);
    Methode->addItems({QStringLiteral("Lanczos (photos)"), QStringLiteral("Bicubique"), QStringLiteral("Bilinéaire"),
                       QStringLiteral("Au plus proche (pixel art)")});

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Largeur :"), this), 0, 0);
    grid->addWidget(Largeur, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Hauteur :"), this), 1, 0);
    grid->addWidget(Hauteur, 1, 1);
    grid->addWidget(Unite, 0, 2);
    grid->addWidget(Proportions, 2, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Méthode :"), this), 3, 0);
    grid->addWidget(Methode, 3, 1, 1, 2);
    Finish(grid);

    connect(Largeur, &QDoubleSpinBox::valueChanged, this, &Tfrm_redimensionner::WidthChanged);
    connect(Hauteur, &QDoubleSpinBox::valueChanged, this, &Tfrm_redimensionner::HeightChanged);
    connect(Unite, &QComboBox::currentIndexChanged, this, &Tfrm_redimensionner::UnitChanged);
    connect(Proportions, &QCheckBox::toggled, this, &Tfrm_redimensionner::WidthChanged);
    ShowResult(commands::CommandId::Redimensionner);
}

int Tfrm_redimensionner::SizeValue(const QDoubleSpinBox* side) const
{
    if (percent_)
        return int(std::lround(side->value() * 100)) | commands::kPercent;
    return int(side->value());
}

commands::Values Tfrm_redimensionner::Values() const
{
    // With the proportions kept, the height follows the width as velmora-cli
    // computes it.
    const QSize size =
        commands::SizeFromValues(imageSize_, SizeValue(Largeur), Proportions->isChecked() ? 0 : SizeValue(Hauteur));
    return {size.width(), size.height(), Methode->currentIndex()};
}

void Tfrm_redimensionner::WidthChanged()
{
    if (!following_ && Proportions->isChecked()) {
        following_ = true;
        const QSize size = commands::SizeFromValues(imageSize_, SizeValue(Largeur), 0);
        Hauteur->setValue(percent_ ? Largeur->value() : size.height());
        following_ = false;
    }
    ShowResult(commands::CommandId::Redimensionner);
}

void Tfrm_redimensionner::HeightChanged()
{
    if (!following_ && Proportions->isChecked()) {
        following_ = true;
        const QSize size = commands::SizeFromValues(imageSize_, 0, SizeValue(Hauteur));
        Largeur->setValue(percent_ ? Hauteur->value() : size.width());
        following_ = false;
    }
    // The width leads: a height typed with the proportions kept sets it.
    ShowResult(commands::CommandId::Redimensionner);
}

void Tfrm_redimensionner::UnitChanged()
{
    const QSize size(Values()[0], Values()[1]);
    percent_ = Unite->currentIndex() == 1;
    following_ = true;
    for (QDoubleSpinBox* box : {Largeur, Hauteur}) {
        box->setDecimals(percent_ ? 2 : 0);
        box->setRange(percent_ ? 0.01 : 1, percent_ ? commands::kMaxPercent / 100.0 : kMaxTyped);
    }
    if (percent_) {
        Largeur->setValue(100.0 * size.width() / imageSize_.width());
        Hauteur->setValue(100.0 * size.height() / imageSize_.height());
    } else {
        Largeur->setValue(size.width());
        Hauteur->setValue(size.height());
    }
    following_ = false;
    ShowResult(commands::CommandId::Redimensionner);
}

Tfrm_toile::Tfrm_toile(QWidget* owner, QSize imageSize, TColor fill)
    : TTailleDialog(owner, QStringLiteral("Taille de la zone de dessin"), imageSize), fill_(fill)
{
    const auto side = [this](const QString& name, int value) {
        auto* box = new QSpinBox(this);
        box->setObjectName(name);
        box->setRange(1, kMaxTyped);
        box->setValue(value);
        connect(box, &QSpinBox::valueChanged, this, [this] { ShowResult(commands::CommandId::Toile); });
        return box;
    };
    Largeur = side(QStringLiteral("Largeur"), imageSize.width());
    Hauteur = side(QStringLiteral("Hauteur"), imageSize.height());

    // Nine buttons, three by three: where the image stands.
    Ancre = new QButtonGroup(this);
    auto* anchors = new QGridLayout;
    anchors->setSpacing(2);
    static const char* const arrows[9] = {"↖", "↑", "↗", "←", "●", "→", "↙", "↓", "↘"};
    for (int i = 0; i < 9; ++i) {
        auto* button = new QToolButton(this);
        button->setText(QString::fromUtf8(arrows[i]));
        button->setCheckable(true);
        button->setFixedSize(28, 28);
        Ancre->addButton(button, i);
        anchors->addWidget(button, i / 3, i % 3);
    }
    Ancre->button(4)->setChecked(true);

    auto* swatch = new QLabel(this);
    swatch->setFixedSize(28, 16);
    swatch->setFrameShape(QFrame::Box);
    swatch->setStyleSheet(
        QStringLiteral("background: rgb(%1, %2, %3);").arg(GetRValue(fill)).arg(GetGValue(fill)).arg(GetBValue(fill)));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Largeur :"), this), 0, 0);
    grid->addWidget(Largeur, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("pixels"), this), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Hauteur :"), this), 1, 0);
    grid->addWidget(Hauteur, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("pixels"), this), 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Ancrage :"), this), 2, 0, Qt::AlignTop);
    grid->addLayout(anchors, 2, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Zone ajoutée (couleur du bouton droit) :"), this), 3, 0, 1, 2);
    grid->addWidget(swatch, 3, 2);
    Finish(grid);
    ShowResult(commands::CommandId::Toile);
}

commands::Values Tfrm_toile::Values() const
{
    return {Largeur->value(), Hauteur->value(), Ancre->checkedId(), commands::ToRrggbb(fill_)};
}

Tfrm_rotation::Tfrm_rotation(QWidget* owner, QSize imageSize)
    : TTailleDialog(owner, QStringLiteral("Rotation"), imageSize)
{
    Angle = new QDoubleSpinBox(this);
    Angle->setObjectName(QStringLiteral("Angle"));
    Angle->setDecimals(2);
    Angle->setRange(-360, 360);
    Angle->setValue(0);
    connect(Angle, &QDoubleSpinBox::valueChanged, this, [this] { ShowResult(commands::CommandId::Rotation); });

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Angle :"), this), 0, 0);
    grid->addWidget(Angle, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("degrés, dans le sens des aiguilles d'une montre"), this), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Les coins prennent la couleur du bouton droit."), this), 1, 0, 1, 3);
    Finish(grid);
    ShowResult(commands::CommandId::Rotation);
}

commands::Values Tfrm_rotation::Values() const { return {int(std::lround(Angle->value() * 100))}; }
