#include "dialogs/Form_taille.h"

#include "dialogs/DialogParts.h"
#include "raster/TBitmap.h"
#include "raster/TFont.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
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

// Takes a point and a comma alike for the decimal sign: "17.5" and "17,5" are
// the same angle in any language. Groups of digits are never shown, so
// neither sign can mean one.
class DecimalBox : public QDoubleSpinBox {
public:
    using QDoubleSpinBox::QDoubleSpinBox;
    QValidator::State validate(QString& text, int& pos) const override
    {
        text = WithDecimalSign(text);
        return QDoubleSpinBox::validate(text, pos);
    }
    double valueFromText(const QString& text) const override
    {
        return QDoubleSpinBox::valueFromText(WithDecimalSign(text));
    }

private:
    QString WithDecimalSign(QString text) const
    {
        const QString sign = locale().decimalPoint();
        return text.replace(sign == QLatin1String(",") ? QLatin1Char('.') : QLatin1Char(','), sign);
    }
};

} // namespace

TTailleDialog::TTailleDialog(QWidget* owner, const QString& title, QSize imageSize, commands::CommandId id)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      imageSize_(imageSize),
      id_(id)
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

void TTailleDialog::Finish(QLayout* content, QAbstractSpinBox* first)
{
    first_ = first;
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

void TTailleDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (first_)
        TypeInto(first_);
}

void TTailleDialog::FollowTyping(QAbstractSpinBox* box, std::function<QString()> refusal)
{
    // A value in its range also changes the box's value, which shows the
    // result; any other text is told here, at once.
    connect(box->findChild<QLineEdit*>(), &QLineEdit::textChanged, this, [this, box, refusal = std::move(refusal)] {
        if (box->hasAcceptableInput()) {
            ShowResult();
            return;
        }
        Resultat->setText(refusal());
        Ok->setEnabled(false);
    });
}

void TTailleDialog::ShowResult()
{
    const QSize size = commands::ReshapedSize(id_, imageSize_, Values());
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
    : TTailleDialog(owner, QStringLiteral("Redimensionner l'image"), imageSize, commands::CommandId::Redimensionner)
{
    const auto side = [this](const QString& name, int value) {
        auto* box = new DecimalBox(this);
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
    Finish(grid, Largeur);

    for (QDoubleSpinBox* box : {Largeur, Hauteur})
        FollowTyping(box, [this] {
            return percent_ ? QStringLiteral("Valeur incomplète ou trop petite : au moins 0,01 % de côté.")
                            : QStringLiteral("Valeur incomplète ou trop petite : au moins 1 pixel de côté.");
        });
    connect(Largeur, &QDoubleSpinBox::valueChanged, this, &Tfrm_redimensionner::WidthChanged);
    connect(Hauteur, &QDoubleSpinBox::valueChanged, this, &Tfrm_redimensionner::HeightChanged);
    connect(Unite, &QComboBox::currentIndexChanged, this, &Tfrm_redimensionner::UnitChanged);
    connect(Proportions, &QCheckBox::toggled, this, &Tfrm_redimensionner::WidthChanged);
    ShowResult();
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
    ShowResult();
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
    ShowResult();
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
    ShowResult();
}

Tfrm_toile::Tfrm_toile(QWidget* owner, QSize imageSize, TColor fill)
    : TTailleDialog(owner, QStringLiteral("Taille de la zone de dessin"), imageSize, commands::CommandId::Toile),
      fill_(fill)
{
    const auto side = [this](const QString& name, int value) {
        auto* box = new QSpinBox(this);
        box->setObjectName(name);
        box->setRange(1, kMaxTyped);
        box->setValue(value);
        connect(box, &QSpinBox::valueChanged, this, [this] { ShowResult(); });
        return box;
    };
    Largeur = side(QStringLiteral("Largeur"), imageSize.width());
    Hauteur = side(QStringLiteral("Hauteur"), imageSize.height());

    // Nine buttons, three by three: where the image stands.
    Ancre = new QButtonGroup(this);
    auto* anchors = new QGridLayout;
    anchors->setSpacing(2);
    for (int i = 0; i < 9; ++i) {
        auto* button = new QToolButton(this);
        button->setCheckable(true);
        button->setFixedSize(28, 28);
        Ancre->addButton(button, i);
        anchors->addWidget(button, i / 3, i % 3);
    }
    Ancre->button(4)->setChecked(true);
    ShowAnchor();
    connect(Ancre, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            ShowAnchor();
    });

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
    Finish(grid, Largeur);
    for (QSpinBox* box : {Largeur, Hauteur})
        FollowTyping(box,
                     [] { return QStringLiteral("Valeur incomplète ou trop petite : au moins 1 pixel de côté."); });
    ShowResult();
}

void Tfrm_toile::ShowAnchor()
{
    // Read like a page, by the step from the chosen button to each one.
    static const char* const marks[9] = {"↖", "↑", "↗", "←", "●", "→", "↙", "↓", "↘"};
    const int chosen = Ancre->checkedId();
    const auto step = [](int from, int to) { return (to > from) - (to < from); };
    for (int i = 0; i < 9; ++i) {
        const int dx = step(chosen % 3, i % 3);
        const int dy = step(chosen / 3, i / 3);
        Ancre->button(i)->setText(QString::fromUtf8(marks[(dy + 1) * 3 + dx + 1]));
    }
}

commands::Values Tfrm_toile::Values() const
{
    return {Largeur->value(), Hauteur->value(), Ancre->checkedId(), commands::ToRrggbb(fill_)};
}

Tfrm_rotation::Tfrm_rotation(QWidget* owner, QSize imageSize)
    : TTailleDialog(owner, QStringLiteral("Rotation"), imageSize, commands::CommandId::Rotation)
{
    Angle = new DecimalBox(this);
    Angle->setObjectName(QStringLiteral("Angle"));
    Angle->setDecimals(2);
    Angle->setRange(-360, 360);
    Angle->setValue(0);
    connect(Angle, &QDoubleSpinBox::valueChanged, this, [this] { ShowResult(); });

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Angle :"), this), 0, 0);
    grid->addWidget(Angle, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("degrés, dans le sens des aiguilles d'une montre"), this), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Les coins prennent la couleur du bouton droit."), this), 1, 0, 1, 3);
    Finish(grid, Angle);
    FollowTyping(Angle, [] { return QStringLiteral("Valeur incomplète : un angle de -360 à 360 degrés."); });
    ShowResult();
}

commands::Values Tfrm_rotation::Values() const { return {int(std::lround(Angle->value() * 100))}; }
