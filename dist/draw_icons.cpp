// Build-time tool: draws both programs' icons into a folder, as the hicolor
// theme lays them out (NxN/apps/ID.png, scalable/apps/ID.svg). The explorer's
// icon is its own picture of the whole set, drawn by the headless pass at each
// size; the calculator's is a percent sign drawn with a few shapes, the same
// shapes written as SVG and painted into the PNGs.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

#include "explorer/headless/headless_render.h"

namespace {

constexpr int Sizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
// A square view of the whole set.
constexpr explorer::headless::PlaneRect WholeSet{-2.15, 0.75, -1.45, 1.45};

QImage explorerPicture(int side)
{
    QImage image = explorer::headless::RenderViewPicture({WholeSet, side, side, 256, 1}, {})
                       .convertToFormat(QImage::Format_ARGB32);
    // Rounded corners, as desktop icons have them.
    QImage rounded(side, side, QImage::Format_ARGB32);
    rounded.fill(Qt::transparent);
    QPainter painter(&rounded);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(0, 0, side, side), side / 10.0, side / 10.0);
    painter.setClipPath(clip);
    painter.drawImage(0, 0, image);
    return rounded;
}

// The explorer's SVG: each run of one colour in a row of a 64-pixel picture
// is a rectangle.
QByteArray explorerSvg()
{
    constexpr int Side = 64;
    const QImage image = explorer::headless::RenderViewPicture({WholeSet, Side, Side, 256, 1}, {});
    QByteArray svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" "
                     "viewBox=\"0 0 64 64\" shape-rendering=\"crispEdges\">\n"
                     "<defs><clipPath id=\"r\"><rect width=\"64\" height=\"64\" rx=\"6.4\"/>"
                     "</clipPath></defs>\n<g clip-path=\"url(#r)\">\n";
    for (int y = 0; y < Side; ++y) {
        for (int x = 0; x < Side;) {
            const QRgb colour = image.pixel(x, y);
            int end = x + 1;
            while (end < Side && image.pixel(end, y) == colour)
                ++end;
            svg += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"1\" "
                                  "fill=\"#%4\"/>\n")
                       .arg(x)
                       .arg(y)
                       .arg(end - x)
                       .arg(colour & 0xffffff, 6, 16, QLatin1Char('0'))
                       .toLatin1();
            x = end;
        }
    }
    return svg + "</g>\n</svg>\n";
}

// The calculator's shapes on a 64-unit square: a green tile, two rings and
// a bar.
const QColor Tile(0x2e, 0x7d, 0x32);
struct Ring {
    double cx, cy, r, width;
};
constexpr Ring Rings[] = {{21, 21, 7, 5}, {43, 43, 7, 5}};
constexpr double Bar[4] = {46, 14, 18, 50}; // from (x, y) to (x, y)
constexpr double BarWidth = 6;

QByteArray interestSvg()
{
    QByteArray svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" "
                     "viewBox=\"0 0 64 64\">\n";
    svg += QStringLiteral("<rect width=\"64\" height=\"64\" rx=\"6.4\" fill=\"%1\"/>\n")
               .arg(Tile.name())
               .toLatin1();
    for (const Ring& r : Rings)
        svg += QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"none\" "
                              "stroke=\"#ffffff\" stroke-width=\"%4\"/>\n")
                   .arg(r.cx)
                   .arg(r.cy)
                   .arg(r.r)
                   .arg(r.width)
                   .toLatin1();
    svg += QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\" stroke=\"#ffffff\" "
                          "stroke-width=\"%5\" stroke-linecap=\"round\"/>\n")
               .arg(Bar[0])
               .arg(Bar[1])
               .arg(Bar[2])
               .arg(Bar[3])
               .arg(BarWidth)
               .toLatin1();
    return svg + "</svg>\n";
}

QImage interestPicture(int side)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 64.0, side / 64.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Tile);
    painter.drawRoundedRect(QRectF(0, 0, 64, 64), 6.4, 6.4);
    painter.setBrush(Qt::NoBrush);
    for (const Ring& r : Rings) {
        painter.setPen(QPen(Qt::white, r.width));
        painter.drawEllipse(QPointF(r.cx, r.cy), r.r, r.r);
    }
    painter.setPen(QPen(Qt::white, BarWidth, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(Bar[0], Bar[1]), QPointF(Bar[2], Bar[3]));
    return image;
}

bool write(const QString& fileName, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

bool write(const QString& fileName, const QImage& image)
{
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    return image.save(fileName, "png");
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: draw_icons FOLDER EXPLORER_ID CALCULATOR_ID\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString explorerId = QString::fromLocal8Bit(argv[2]);
    const QString interestId = QString::fromLocal8Bit(argv[3]);
    bool ok = write(folder + "/scalable/apps/" + explorerId + ".svg", explorerSvg()) &&
              write(folder + "/scalable/apps/" + interestId + ".svg", interestSvg());
    for (int side : Sizes) {
        const QString sizeFolder = QStringLiteral("%1/%2x%2/apps/").arg(folder).arg(side);
        ok = ok && write(sizeFolder + explorerId + ".png", explorerPicture(side)) &&
             write(sizeFolder + interestId + ".png", interestPicture(side));
    }
    if (!ok)
        std::fprintf(stderr, "draw_icons: cannot write into %s\n", argv[1]);
    return ok ? 0 : 1;
}
