// One-off generator of the toolbar pictures in this folder (not part of the
// build). Composes Tango pictures (/usr/share/icons/Tango/16x16, public
// domain) with shapes drawn here. Run once; the PNGs are committed:
//   g++ -std=c++20 -fPIC compose.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/compose
//   QT_QPA_PLATFORM=offscreen /tmp/compose resources/icons
#include <functional>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {

const QString kTango = QStringLiteral("/usr/share/icons/Tango/16x16/");

QImage blank()
{
    QImage img(16, 16, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

QImage tango(const QString& name)
{
    QImage img(kTango + name);
    return img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Swaps colour channels of strongly coloured pixels (recolours an arrow).
QImage swapChannels(QImage img, int a, int b, bool onlyRedDominant)
{
    img = img.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            int c[3] = {qRed(line[x]), qGreen(line[x]), qBlue(line[x])};
            if (onlyRedDominant && !(c[0] > c[1] + 40 && c[0] > c[2] + 40)) {
                continue;
            }
            std::swap(c[a], c[b]);
            line[x] = qRgba(c[0], c[1], c[2], qAlpha(line[x]));
        }
    }
    return img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void draw(QImage& img, const std::function<void(QPainter&)>& f)
{
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    f(p);
}

void tick(QPainter& p, QColor colour, QPointF offset = {}, qreal scale = 1.0)
{
    QPainterPath path;
    path.moveTo(QPointF(2.5, 8.5) * scale + offset);
    path.lineTo(QPointF(6.0, 12.5) * scale + offset);
    path.lineTo(QPointF(13.5, 3.0) * scale + offset);
    p.setPen(QPen(colour.darker(150), 3.6 * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(colour, 2.2 * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
}

// A filled arrow pointing in direction (dx, dy), inside the rectangle r.
void arrow(QPainter& p, QRectF r, int dx, int dy, QColor colour)
{
    QPolygonF poly;
    const qreal w = r.width(), h = r.height();
    if (dy != 0) { // vertical
        const qreal s = r.left() + w / 2;
        const qreal shaft = w * 0.22;
        const qreal headY = dy > 0 ? r.bottom() - h * 0.45 : r.top() + h * 0.45;
        const qreal tip = dy > 0 ? r.bottom() : r.top();
        const qreal tail = dy > 0 ? r.top() : r.bottom();
        poly << QPointF(s - shaft, tail) << QPointF(s + shaft, tail) << QPointF(s + shaft, headY)
             << QPointF(r.right(), headY) << QPointF(s, tip) << QPointF(r.left(), headY)
             << QPointF(s - shaft, headY);
    } else { // horizontal
        const qreal s = r.top() + h / 2;
        const qreal shaft = h * 0.22;
        const qreal headX = dx > 0 ? r.right() - w * 0.45 : r.left() + w * 0.45;
        const qreal tip = dx > 0 ? r.right() : r.left();
        const qreal tail = dx > 0 ? r.left() : r.right();
        poly << QPointF(tail, s - shaft) << QPointF(tail, s + shaft) << QPointF(headX, s + shaft)
             << QPointF(headX, r.bottom()) << QPointF(tip, s) << QPointF(headX, r.top())
             << QPointF(headX, s - shaft);
    }
    p.setPen(QPen(colour.darker(160), 1.0));
    p.setBrush(colour);
    p.drawPolygon(poly);
}

void plus(QPainter& p, QPointF centre, QColor colour)
{
    p.setPen(QPen(colour.darker(170), 4.2, Qt::SolidLine, Qt::SquareCap));
    p.drawLine(centre + QPointF(-3, 0), centre + QPointF(3, 0));
    p.drawLine(centre + QPointF(0, -3), centre + QPointF(0, 3));
    p.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::SquareCap));
    p.drawLine(centre + QPointF(-3, 0), centre + QPointF(3, 0));
    p.drawLine(centre + QPointF(0, -3), centre + QPointF(0, 3));
}

void cross(QPainter& p, QPointF centre, QColor colour, qreal half = 3)
{
    p.setPen(QPen(colour.darker(170), 4.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre + QPointF(-half, -half), centre + QPointF(half, half));
    p.drawLine(centre + QPointF(-half, half), centre + QPointF(half, -half));
    p.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre + QPointF(-half, -half), centre + QPointF(half, half));
    p.drawLine(centre + QPointF(-half, half), centre + QPointF(half, -half));
}

// A small catalogue tree: a root with two children.
void tree(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(90, 90, 90));
    p.drawLine(3, 4, 3, 12);
    p.drawLine(3, 8, 7, 8);
    p.drawLine(3, 12, 7, 12);
    auto node = [&](int x, int y, QColor c) {
        p.setPen(c.darker(160));
        p.setBrush(c);
        p.drawRect(x, y, 4, 3);
    };
    node(1, 1, QColor(237, 212, 0));
    node(6, 7, QColor(114, 159, 207));
    node(6, 11, QColor(114, 159, 207));
    p.setRenderHint(QPainter::Antialiasing, true);
}

void window(QPainter& p, QRectF r = QRectF(0.5, 1.5, 13, 12))
{
    p.setPen(QColor(85, 87, 83));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(52, 101, 164));
    p.drawRect(QRectF(r.left() + 0.5, r.top() + 0.5, r.width() - 1, 3));
}

void magnifier(QPainter& p, QPointF centre, qreal radius)
{
    p.setPen(QPen(QColor(46, 52, 54), 2.2, Qt::SolidLine, Qt::RoundCap));
    const QPointF handle = centre + QPointF(radius * 0.7, radius * 0.7);
    p.drawLine(handle, handle + QPointF(radius * 0.9, radius * 0.9));
    p.setPen(QPen(QColor(136, 138, 133), 1.4));
    p.setBrush(QColor(190, 220, 255, 200));
    p.drawEllipse(centre, radius, radius);
}

void eraser(QPainter& p, QPointF at)
{
    p.save();
    p.translate(at);
    p.rotate(-35);
    p.setPen(QPen(QColor(85, 87, 83), 0.8));
    p.setBrush(QColor(238, 238, 236));
    p.drawRoundedRect(QRectF(-1, -3, 9, 6), 1, 1);
    p.setBrush(QColor(204, 0, 0));
    p.drawRoundedRect(QRectF(-5, -3, 5, 6), 1, 1);
    p.restore();
}

void sheet(QPainter& p, QRectF r, bool lines = true)
{
    p.setPen(QColor(136, 138, 133));
    p.setBrush(Qt::white);
    p.drawRect(r);
    if (lines) {
        p.setPen(QColor(160, 160, 160));
        for (qreal y = r.top() + 2.5; y < r.bottom() - 1; y += 2) {
            p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
        }
    }
}

QImage over(const QImage& base, const std::function<void(QPainter&)>& f)
{
    QImage img = base;
    draw(img, f);
    return img;
}

QImage scaled(const QImage& img, int size, QPoint at)
{
    QImage out = blank();
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(at, QSize(size, size)), img);
    return out;
}

void letters(QPainter& p)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(8);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(32, 74, 135));
    p.drawText(QRectF(0, -1, 8, 9), Qt::AlignCenter, QStringLiteral("А"));
    p.setPen(QColor(164, 0, 0));
    p.drawText(QRectF(0, 7, 8, 9), Qt::AlignCenter, QStringLiteral("Я"));
}

void skipButton(QPainter& p, bool toEnd)
{
    QRadialGradient g(QPointF(6, 5), 9);
    g.setColorAt(0, QColor(170, 200, 235));
    g.setColorAt(1, QColor(52, 101, 164));
    p.setPen(QPen(QColor(32, 74, 135), 1));
    p.setBrush(g);
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    QPolygonF tri;
    if (toEnd) {
        tri << QPointF(4.5, 4.5) << QPointF(10, 8) << QPointF(4.5, 11.5);
        p.drawPolygon(tri);
        p.drawRect(QRectF(10, 4.5, 2, 7));
    } else {
        tri << QPointF(11.5, 4.5) << QPointF(6, 8) << QPointF(11.5, 11.5);
        p.drawPolygon(tri);
        p.drawRect(QRectF(4, 4.5, 2, 7));
    }
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QDir out(argc > 1 ? argv[1] : ".");
    const QColor blue(52, 101, 164), red(204, 0, 0), green(78, 154, 6);
    const QImage copy = tango("actions/edit-copy.png");
    const QImage paste = tango("actions/edit-paste.png");
    const QImage calendar = scaled(tango("mimetypes/x-office-calendar.png"), 12, QPoint(0, 2));

    struct Picture
    {
        const char* name;
        QImage image;
    };
    const Picture pictures[] = {
        {"00-blue-tick", over(blank(), [&](QPainter& p) { tick(p, QColor(32, 110, 220)); })},
        {"01-two-sheets", copy},
        {"02-red-notebook", over(blank(),
                                 [&](QPainter& p) {
                                     p.setPen(QColor(120, 0, 0));
                                     p.setBrush(red);
                                     p.drawRoundedRect(QRectF(3.5, 1.5, 10, 13), 1, 1);
                                     p.setBrush(QColor(239, 41, 41));
                                     p.setPen(Qt::NoPen);
                                     p.drawRect(QRectF(6, 4, 6, 3));
                                     p.setPen(QPen(QColor(85, 87, 83), 1.2));
                                     for (int y = 3; y <= 13; y += 3) {
                                         p.drawLine(QPointF(2, y), QPointF(5, y));
                                     }
                                 })},
        {"03-blue-undo", swapChannels(tango("actions/edit-undo.png"), 0, 2, false)},
        {"04-tree-plus", over(blank(),
                              [&](QPainter& p) {
                                  tree(p);
                                  plus(p, QPointF(12, 4.5), QColor(115, 210, 22));
                              })},
        {"05-tree-cross", over(blank(),
                               [&](QPainter& p) {
                                   tree(p);
                                   cross(p, QPointF(12, 4.5), red, 2.5);
                               })},
        {"06-door-green-arrow", swapChannels(tango("actions/system-log-out.png"), 0, 1, true)},
        {"07-clipboard-cross",
         over(paste, [&](QPainter& p) { cross(p, QPointF(11.5, 11.5), red, 2.5); })},
        {"08-clipboard-plus",
         over(paste, [&](QPainter& p) { plus(p, QPointF(11.5, 11.5), QColor(115, 210, 22)); })},
        {"09-magnifier-window", over(blank(),
                                     [&](QPainter& p) {
                                         window(p);
                                         magnifier(p, QPointF(8.5, 8.5), 3.5);
                                     })},
        {"10-database-sheet", over(blank(),
                                   [&](QPainter& p) {
                                       QLinearGradient g(0, 0, 11, 0);
                                       g.setColorAt(0, QColor(136, 138, 133));
                                       g.setColorAt(0.4, QColor(238, 238, 236));
                                       g.setColorAt(1, QColor(136, 138, 133));
                                       p.setPen(QColor(85, 87, 83));
                                       p.setBrush(g);
                                       p.drawRect(QRectF(0.5, 3, 10, 9.5));
                                       p.drawEllipse(QRectF(0.5, 10, 10, 4));
                                       p.setBrush(QColor(211, 215, 207));
                                       p.drawEllipse(QRectF(0.5, 1, 10, 4));
                                       sheet(p, QRectF(8.5, 6.5, 7, 9));
                                   })},
        {"11-lines-return",
         over(
             blank(),
             [&](QPainter& p) {
                 p.setPen(QColor(85, 87, 83));
                 for (int y : {2, 5, 8}) {
                     p.drawLine(QPointF(1, y + 0.5), QPointF(14, y + 0.5));
                 }
                 p.drawLine(QPointF(1, 11.5), QPointF(6, 11.5));
                 QPainterPath path;
                 path.moveTo(14, 9);
                 path.lineTo(14, 13);
                 path.lineTo(10, 13);
                 p.setPen(QPen(blue, 1.6));
                 p.setBrush(Qt::NoBrush);
                 p.drawPath(path);
                 p.setPen(Qt::NoPen);
                 p.setBrush(blue);
                 p.drawPolygon(QPolygonF({QPointF(7.5, 13), QPointF(10.5, 10), QPointF(10.5, 16)}));
             })},
        {"12-az-down", over(blank(),
                            [&](QPainter& p) {
                                letters(p);
                                arrow(p, QRectF(9, 1, 6, 14), 0, 1, blue);
                            })},
        {"13-az-up", over(blank(),
                          [&](QPainter& p) {
                              letters(p);
                              arrow(p, QRectF(9, 1, 6, 14), 0, -1, blue);
                          })},
        {"14-eraser", over(blank(), [&](QPainter& p) { eraser(p, QPointF(6.5, 9.5)); })},
        {"15-identity-badge", over(blank(),
                                   [&](QPainter& p) {
                                       p.setPen(QColor(85, 87, 83));
                                       p.setBrush(QColor(238, 238, 236));
                                       p.drawRoundedRect(QRectF(0.5, 2.5, 15, 11), 1.5, 1.5);
                                       p.setPen(Qt::NoPen);
                                       p.setBrush(blue);
                                       p.drawRect(QRectF(1, 3, 14, 2.5));
                                       p.setBrush(QColor(193, 125, 17));
                                       p.drawEllipse(QRectF(2.5, 6.5, 4, 4));
                                       p.drawRect(QRectF(2, 10.5, 5, 2.5));
                                       p.setPen(QColor(136, 138, 133));
                                       for (int y : {7, 9, 11}) {
                                           p.drawLine(QPointF(8.5, y + 0.5),
                                                      QPointF(13.5, y + 0.5));
                                       }
                                   })},
        {"16-arrow-into-drive",
         over(scaled(tango("devices/drive-harddisk.png"), 16, QPoint(0, 3)),
              [&](QPainter& p) { arrow(p, QRectF(4.5, 0, 7, 10), 0, 1, red); })},
        {"17-skip-to-end", over(blank(), [&](QPainter& p) { skipButton(p, true); })},
        {"18-skip-to-start", over(blank(), [&](QPainter& p) { skipButton(p, false); })},
        {"19-red-tick", over(blank(), [&](QPainter& p) { tick(p, red); })},
        {"20-sheet-arrow-left", over(blank(),
                                     [&](QPainter& p) {
                                         sheet(p, QRectF(5.5, 0.5, 10, 15));
                                         arrow(p, QRectF(0, 6, 10, 7), -1, 0, red);
                                     })},
        {"21-tick-arrow-left", over(blank(),
                                    [&](QPainter& p) {
                                        tick(p, QColor(32, 110, 220), QPointF(4, -1), 0.8);
                                        arrow(p, QRectF(0, 8.5, 9, 7), -1, 0, red);
                                    })},
        {"22-binoculars", over(blank(),
                               [&](QPainter& p) {
                                   const QColor body(46, 52, 54);
                                   p.setPen(Qt::NoPen);
                                   p.setBrush(body);
                                   p.drawRoundedRect(QRectF(1.5, 3, 5, 8), 1.5, 1.5);
                                   p.drawRoundedRect(QRectF(9.5, 3, 5, 8), 1.5, 1.5);
                                   p.drawRect(QRectF(6, 5, 4, 3));
                                   p.setPen(QPen(QColor(20, 20, 20), 1));
                                   p.setBrush(QColor(85, 87, 83));
                                   p.drawEllipse(QRectF(0.5, 8.5, 7, 7));
                                   p.drawEllipse(QRectF(8.5, 8.5, 7, 7));
                                   p.setPen(Qt::NoPen);
                                   p.setBrush(QColor(114, 159, 207));
                                   p.drawEllipse(QRectF(2, 10, 4, 4));
                                   p.drawEllipse(QRectF(10, 10, 4, 4));
                                   p.setBrush(Qt::white);
                                   p.drawEllipse(QRectF(2.6, 10.6, 1.4, 1.4));
                                   p.drawEllipse(QRectF(10.6, 10.6, 1.4, 1.4));
                               })},
        {"23-magnifier-window-query", over(blank(),
                                           [&](QPainter& p) {
                                               window(p, QRectF(2.5, 0.5, 13, 11));
                                               p.setPen(QColor(136, 138, 133));
                                               p.drawLine(QPointF(5, 6.5), QPointF(13, 6.5));
                                               p.drawLine(QPointF(5, 8.5), QPointF(11, 8.5));
                                               magnifier(p, QPointF(5, 10), 3.2);
                                           })},
        {"24-eraser-window", over(blank(),
                                  [&](QPainter& p) {
                                      window(p);
                                      eraser(p, QPointF(8.5, 11));
                                  })},
        {"25-sheet-sql", over(blank(),
                              [&](QPainter& p) {
                                  sheet(p, QRectF(2.5, 0.5, 11, 15), false);
                                  p.setPen(QColor(160, 160, 160));
                                  for (int y : {3, 5}) {
                                      p.drawLine(QPointF(4.5, y + 0.5), QPointF(11.5, y + 0.5));
                                  }
                                  QFont f(QStringLiteral("DejaVu Sans Condensed"));
                                  f.setPixelSize(7);
                                  f.setBold(true);
                                  p.setFont(f);
                                  p.setPen(QColor(32, 74, 135));
                                  p.drawText(QRectF(0, 7, 16, 8), Qt::AlignCenter,
                                             QStringLiteral("SQL"));
                              })},
        {"26-two-sheets-marked", over(copy,
                                      [&](QPainter& p) {
                                          p.setPen(Qt::NoPen);
                                          p.setBrush(QColor(252, 233, 79, 220));
                                          p.drawRect(QRectF(7, 8, 7, 5));
                                          tick(p, red, QPointF(7, 7), 0.5);
                                      })},
        {"27-calendar-down",
         over(calendar, [&](QPainter& p) { arrow(p, QRectF(11, 3, 5, 12), 0, 1, blue); })},
        {"28-calendar-up",
         over(calendar, [&](QPainter& p) { arrow(p, QRectF(11, 3, 5, 12), 0, -1, blue); })},
    };
    for (const Picture& picture : pictures) {
        QImage img = picture.image.convertToFormat(QImage::Format_ARGB32);
        if (img.size() != QSize(16, 16) ||
            !img.save(out.filePath(QString::fromLatin1(picture.name) + ".png"))) {
            qFatal("could not write %s", picture.name);
        }
    }
    return 0;
}
