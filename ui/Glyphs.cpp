#include "ui/Glyphs.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <functional>
#include <map>

namespace {

using Painter = std::function<void(QPainter&, const QRectF&)>;

void text(QPainter& p, const QRectF& r, const QString& s, int pixels)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixels);
    f.setBold(true);
    f.setStyleStrategy(QFont::NoAntialias);
    p.setFont(f);
    p.drawText(r, Qt::AlignCenter, s);
}

void wave(QPainter& p, const QRectF& r, bool vertical)
{
    QPainterPath path;
    for (int i = 0; i <= 40; ++i) {
        const double t = i / 40.0;
        const double s = std::sin(t * 6.2831853) * (vertical ? r.width() : r.height()) * 0.3;
        const QPointF pt = vertical ? QPointF(r.center().x() + s, r.top() + t * r.height())
                                    : QPointF(r.left() + t * r.width(), r.center().y() + s);
        i == 0 ? path.moveTo(pt) : path.lineTo(pt);
    }
    p.drawPath(path);
}

const std::map<QString, Painter>& painters()
{
    static const std::map<QString, Painter> table = {
        {"btn_outil_normal",
         [](QPainter& p, const QRectF& r) { // eraser
             p.setBrush(QColor(240, 160, 170));
             p.drawRect(r.adjusted(r.width() * 0.2, r.height() * 0.25, -r.width() * 0.2, -r.height() * 0.25));
         }},
        {"btn_outil_pinceau",
         [](QPainter& p, const QRectF& r) {
             p.setPen(QPen(QColor(120, 80, 30), 3));
             p.drawLine(r.topRight() + QPointF(-4, 3), r.center());
             p.setPen(QPen(Qt::black, 5, Qt::SolidLine, Qt::RoundCap));
             p.drawLine(r.center(), r.center() + QPointF(-6, 6));
         }},
        {"btn_outil_text",
         [](QPainter& p, const QRectF& r) { text(p, r, QStringLiteral("A"), int(r.height() * 0.8)); }},
        {"btn_outil_pipette",
         [](QPainter& p, const QRectF& r) {
             p.setPen(QPen(Qt::black, 2));
             p.drawLine(r.bottomLeft() + QPointF(8, -3), r.topRight() + QPointF(-8, 4));
             p.setBrush(Qt::black);
             p.drawEllipse(r.topRight() + QPointF(-10, 2), 4, 4);
         }},
        {"btn_outil_pot",
         [](QPainter& p, const QRectF& r) {
             p.setBrush(QColor(60, 110, 220));
             p.drawRect(QRectF(r.center().x() - 7, r.center().y() - 5, 14, 12));
             p.drawEllipse(QPointF(r.center().x() + 10, r.center().y() + 8), 3, 3);
         }},
        {"btn_outil_selection",
         [](QPainter& p, const QRectF& r) {
             p.setPen(QPen(Qt::black, 1, Qt::DashLine));
             p.drawRect(r.adjusted(6, 5, -6, -5));
         }},
        {"btn_outil_rectangle", [](QPainter& p, const QRectF& r) { p.drawRect(r.adjusted(6, 5, -6, -5)); }},
        {"btn_outil_ligne",
         [](QPainter& p, const QRectF& r) {
             p.drawLine(r.bottomLeft() + QPointF(6, -5), r.topRight() + QPointF(-6, 5));
         }},
        {"BitBtn1", [](QPainter& p, const QRectF& r) { p.drawEllipse(r.adjusted(8, 4, -8, -4)); }},
        {"BitBtn2",
         [](QPainter& p, const QRectF& r) {
             p.setPen(QPen(QColor(150, 40, 40), 2));
             p.drawLine(r.bottomLeft() + QPointF(6, -5), r.topRight() + QPointF(-6, 5));
         }},
        {"btn_new",
         [](QPainter& p, const QRectF& r) {
             p.setBrush(Qt::white);
             p.drawRect(r.adjusted(4, 2, -4, -2));
         }},
        {"btn_open",
         [](QPainter& p, const QRectF& r) {
             p.setBrush(QColor(230, 200, 90));
             p.drawRect(r.adjusted(2, 5, -2, -3));
         }},
        {"btn_save",
         [](QPainter& p, const QRectF& r) {
             p.setBrush(QColor(40, 60, 140));
             p.drawRect(r.adjusted(2, 2, -2, -2));
             p.setBrush(Qt::white);
             p.drawRect(r.adjusted(5, 2, -5, -r.height() * 0.55));
         }},
        {"btn_saveas",
         [](QPainter& p, const QRectF& r) {
             p.setBrush(QColor(40, 60, 140));
             p.drawRect(r.adjusted(2, 2, -6, -6));
             p.setBrush(QColor(40, 140, 60));
             p.drawRect(r.adjusted(6, 6, -2, -2));
         }},
        {"btn_aide", [](QPainter& p, const QRectF& r) { text(p, r, QStringLiteral("?"), int(r.height() * 0.9)); }},
        {"btn_resize",
         [](QPainter& p, const QRectF& r) { // flip: top and bottom
             p.drawLine(QPointF(r.left() + 2, r.center().y()), QPointF(r.right() - 2, r.center().y()));
             text(p, r.adjusted(0, 0, 0, -r.height() / 2), QStringLiteral("▲"), int(r.height() * 0.45));
             text(p, r.adjusted(0, r.height() / 2, 0, 0), QStringLiteral("▼"), int(r.height() * 0.45));
         }},
        {"btn_rot",
         [](QPainter& p, const QRectF& r) { // mirror: left and right
             p.drawLine(QPointF(r.center().x(), r.top() + 2), QPointF(r.center().x(), r.bottom() - 2));
             text(p, r.adjusted(0, 0, -r.width() / 2, 0), QStringLiteral("◀"), int(r.height() * 0.45));
             text(p, r.adjusted(r.width() / 2, 0, 0, 0), QStringLiteral("▶"), int(r.height() * 0.45));
         }},
        {"BitBtn1:effets", [](QPainter& p, const QRectF& r) { wave(p, r, false); }},
        {"BitBtn2:effets", [](QPainter& p, const QRectF& r) { wave(p, r, true); }},
        {"BitBtn3",
         [](QPainter& p, const QRectF& r) {
             for (int i = 1; i <= 4; ++i)
                 p.drawEllipse(r.center(), r.height() * 0.12 * i, r.height() * 0.12 * i);
         }},
        {"BitBtn4",
         [](QPainter& p, const QRectF& r) {
             p.setPen(QPen(QColor(40, 90, 200), 1));
             for (int i = 1; i <= 5; ++i)
                 p.drawEllipse(r.center(), r.width() * 0.09 * i, r.height() * 0.09 * i);
         }},
        {"btn_contraste",
         [](QPainter& p, const QRectF& r) {
             p.setBrush(Qt::black);
             p.drawPie(r.adjusted(2, 2, -2, -2), 90 * 16, 180 * 16);
             p.setBrush(Qt::white);
             p.drawPie(r.adjusted(2, 2, -2, -2), -90 * 16, 180 * 16);
         }},
        {"btn_gamma",
         [](QPainter& p, const QRectF& r) {
             QLinearGradient g(r.topLeft(), r.topRight());
             g.setColorAt(0, Qt::black);
             g.setColorAt(1, Qt::white);
             p.setBrush(g);
             p.drawRect(r.adjusted(2, 4, -2, -4));
         }},
        {"btn_couleurs",
         [](QPainter& p, const QRectF& r) {
             const double w = (r.width() - 4) / 3;
             const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
             for (int i = 0; i < 3; ++i)
                 p.fillRect(QRectF(r.left() + 2 + i * w, r.top() + 3, w, r.height() - 6), colours[i]);
         }},
        {"btn_negatif",
         [](QPainter& p, const QRectF& r) {
             p.fillRect(r.adjusted(2, 3, -r.width() / 2, -3), Qt::black);
             p.drawRect(r.adjusted(2, 3, -2, -3));
         }},
        {"btn_soften",
         [](QPainter& p, const QRectF& r) {
             p.setPen(QPen(QColor(90, 90, 90, 120), 3));
             p.drawLine(r.topLeft() + QPointF(4, 3), r.bottomRight() - QPointF(4, 3));
             p.drawLine(r.topLeft() + QPointF(8, 3), r.bottomRight() - QPointF(0, 3));
         }},
        {"btn_blur",
         [](QPainter& p, const QRectF& r) {
             QRadialGradient g(r.center(), r.height());
             g.setColorAt(0, Qt::black);
             g.setColorAt(1, Qt::transparent);
             p.setPen(Qt::NoPen);
             p.setBrush(g);
             p.drawEllipse(r.adjusted(4, 0, -4, 0));
         }},
        {"btn_sharpen", [](QPainter& p, const QRectF& r) { text(p, r, QStringLiteral("▲"), int(r.height())); }},
        {"btn_bump",
         [](QPainter& p, const QRectF& r) {
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(80, 140, 220, 160));
             p.drawEllipse(r.adjusted(2, 1, -r.width() / 3, -1));
             p.setBrush(QColor(230, 120, 80, 160));
             p.drawEllipse(r.adjusted(r.width() / 3, 1, -2, -1));
         }},
        {"btn_emboss",
         [](QPainter& p, const QRectF& r) {
             p.fillRect(r, QColor(128, 128, 128));
             p.setPen(Qt::white);
             p.drawRect(r.adjusted(3, 2, -5, -4));
             p.setPen(Qt::black);
             p.drawRect(r.adjusted(5, 4, -3, -2));
         }},
    };
    return table;
}

} // namespace

QImage GlyphImage(const QString& name, QSize size, qreal ratio)
{
    // Glyphs are 24-bit pictures on a background of the transparent colour,
    // the colour of the bottom-left pixel, which no glyph draws over. On a
    // high-density screen they are drawn at the screen's resolution, in the
    // same units.
    QImage image((QSizeF(size) * ratio).toSize(), QImage::Format_RGB888);
    image.setDevicePixelRatio(ratio);
    image.fill(kGlyphTransparent);
    QPainter painter(&image);
    // Drawn pixel for pixel, without smoothing: crisp at these small sizes,
    // and no edge pixel half-way to the transparent colour.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setPen(QPen(Qt::black, 1));
    const QRectF area(0, 0, size.width() - 1.0, size.height() - 1.0);
    const auto& table = painters();
    const auto found = table.find(name);
    if (found != table.end())
        found->second(painter, area);
    else
        painter.drawRect(area.adjusted(3, 3, -3, -3));
    painter.end();
    return image;
}

namespace {

// The glyph at a resolution, every pixel of the bottom-left pixel's colour
// transparent.
QPixmap glyphPixmap(const QString& name, QSize size, qreal ratio)
{
    const QImage image = GlyphImage(name, size, ratio);
    QImage shown = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = image.pixel(0, image.height() - 1);
    for (int y = 0; y < shown.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(shown.scanLine(y));
        for (int x = 0; x < shown.width(); ++x)
            if (row[x] == key)
                row[x] = qRgba(0, 0, 0, 0);
    }
    return QPixmap::fromImage(shown);
}

} // namespace

QIcon Glyph(const QString& name, QSize size)
{
    QIcon icon(glyphPixmap(name, size, 1.0));
    // On a high-density screen, drawn again at its resolution rather than
    // enlarged.
    const qreal screen = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    if (screen > 1.0)
        icon.addPixmap(glyphPixmap(name, size, screen));
    return icon;
}
