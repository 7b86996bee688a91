// Draws every picture of Plumtide's windows into a folder: the window and panel backgrounds
// as JPEG, icons, glyphs and list pictures as PNG, each at 1x and at 2x ("@2x") for
// high-density screens. Everything is vector drawing from fixed seeds, so a run on the same
// fonts gives the same pictures.
//
//   plumtide_draw_artwork <output folder>

#include "resources/palette.h"

#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>

using namespace plumtide;

namespace
{

QColor rgb(QRgb value, int alpha = 255)
{
    QColor color = QColor::fromRgb(value);
    color.setAlpha(alpha);
    return color;
}

// Small deterministic generator: the same pictures on every machine and library version
// (the standard distributions are implementation-defined).
class Rng
{
public:
    explicit Rng(quint32 seed)
        : m_state(seed ? seed : 0x9e3779b9u)
    {
    }
    quint32 next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    int below(int n) { return static_cast<int>(next() % static_cast<quint32>(n)); }
    double unit() { return next() / 4294967296.0; }

private:
    quint32 m_state;
};

QFont font(int pixelSize, bool bold = false, bool italic = false)
{
    QFont result(QStringLiteral("DejaVu Sans"));
    result.setPixelSize(pixelSize);
    result.setBold(bold);
    result.setItalic(italic);
    result.setHintingPreference(QFont::PreferNoHinting);
    return result;
}

struct BoardColours {
    QRgb deep, base, trace, traceLit, stripTop, stripBottom;
};

const BoardColours kGreenBoard { palette::kBoardDeep, palette::kBoard, palette::kTrace,
    palette::kTraceLit, palette::kStripTop, palette::kStripBottom };
const BoardColours kBlueBoard { palette::kNavyDeep, palette::kNavy, palette::kNavyTrace,
    palette::kNavyTraceLit, palette::kNavyStripTop, palette::kNavyStripBottom };

// ---------------------------------------------------------------------------------------
// Glyphs, drawn in a 16 x 16 unit box at the painter's origin.

QPainterPath polygon(std::initializer_list<QPointF> corners)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(corners));
    path.closeSubpath();
    return path;
}

void drawFolder(QPainter& p, bool open)
{
    p.save();
    const QPen line(rgb(palette::kFolderLine), 0.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(line);
    p.setBrush(rgb(palette::kFolderDeep));
    p.drawPath(polygon({ { 1.5, 3.0 }, { 6.0, 3.0 }, { 7.5, 4.5 }, { 14.5, 4.5 }, { 14.5, 13.5 },
        { 1.5, 13.5 } }));

    const QPainterPath front = open
        ? polygon({ { 4.0, 7.0 }, { 15.5, 7.0 }, { 13.0, 13.5 }, { 1.5, 13.5 } })
        : polygon({ { 1.5, 6.0 }, { 14.5, 6.0 }, { 14.5, 13.5 }, { 1.5, 13.5 } });
    QLinearGradient fill(0, 6, 0, 13.5);
    fill.setColorAt(0, rgb(0xffe59a));
    fill.setColorAt(1, rgb(palette::kFolder));
    p.setBrush(fill);
    p.drawPath(front);
    p.restore();
}

// A tilted oval note head.
QPainterPath noteHead(QPointF centre, double rx, double ry, double tilt)
{
    QPainterPath ellipse;
    ellipse.addEllipse(QPointF(0, 0), rx, ry);
    QTransform turn;
    turn.translate(centre.x(), centre.y());
    turn.rotate(tilt);
    return turn.map(ellipse);
}

// Fills the outline of the parts in `colour` over a light halo, so that a dark glyph reads
// on light and dark rows alike.
void fillWithHalo(QPainter& p, QPainterPath parts, QRgb colour, QRgb halo, double haloWidth)
{
    parts.setFillRule(Qt::WindingFill);
    const QPainterPath solid = parts.simplified();
    p.save();
    p.setPen(QPen(rgb(halo), haloWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(solid);
    p.setPen(Qt::NoPen);
    p.setBrush(rgb(colour));
    p.drawPath(solid);
    p.restore();
}

// A pair of beamed eighth notes.
void drawNotes(QPainter& p, QRgb colour, QRgb halo)
{
    QPainterPath notes;
    notes.addPath(noteHead(QPointF(4.6, 12.6), 2.5, 1.8, -22));
    notes.addPath(noteHead(QPointF(11.9, 11.0), 2.5, 1.8, -22));
    notes.addRect(QRectF(6.55, 3.6, 1.25, 9.0));
    notes.addRect(QRectF(13.85, 2.0, 1.25, 9.0));
    notes.addPath(polygon({ { 6.55, 3.6 }, { 15.1, 2.0 }, { 15.1, 4.6 }, { 6.55, 6.2 } }));
    fillWithHalo(p, notes, colour, halo, 1.6);
}

void drawCross(QPainter& p, QPointF centre, double arm, double width, const QColor& colour)
{
    p.save();
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre + QPointF(-arm, -arm), centre + QPointF(arm, arm));
    p.drawLine(centre + QPointF(-arm, arm), centre + QPointF(arm, -arm));
    p.restore();
}

// Red disc with a white cross: the abort picture, the list's "nothing found" picture and
// the close marks of every title strip.
void drawRedDisc(QPainter& p, QPointF centre, double radius)
{
    p.save();
    QRadialGradient fill(centre + QPointF(-radius * 0.35, -radius * 0.4), radius * 1.4);
    fill.setColorAt(0, rgb(0xff7a6e));
    fill.setColorAt(0.45, rgb(palette::kRed));
    fill.setColorAt(1, rgb(palette::kRedDeep));
    p.setPen(QPen(rgb(0x5c0f0c), radius * 0.1));
    p.setBrush(fill);
    p.drawEllipse(centre, radius, radius);
    // A soft highlight along the upper rim.
    QLinearGradient shine(0, centre.y() - radius, 0, centre.y());
    shine.setColorAt(0, QColor(255, 255, 255, 110));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawEllipse(
        QRectF(centre.x() - radius * 0.7, centre.y() - radius * 0.9, radius * 1.4, radius * 0.95));
    p.restore();
    drawCross(p, centre, radius * 0.42, radius * 0.26, Qt::white);
}

void drawOutlinedCross(QPainter& p)
{
    drawCross(p, QPointF(8, 8), 4.6, 4.4, rgb(palette::kInk));
    drawCross(p, QPointF(8, 8), 4.6, 2.4, Qt::white);
}

void drawGear(QPainter& p, QPointF centre, double radius)
{
    constexpr int teeth = 8;
    QPainterPath gear;
    const double outer = radius;
    const double inner = radius * 0.74;
    for (int i = 0; i < teeth * 4; ++i) {
        // Each tooth: rise, top, fall, root; a quarter of the pitch each.
        const double angle = (i - 0.5) * 2 * std::numbers::pi / (teeth * 4);
        const double r = (i % 4 == 0 || i % 4 == 1) ? outer : inner;
        const QPointF point = centre + QPointF(std::cos(angle) * r, std::sin(angle) * r);
        if (i == 0)
            gear.moveTo(point);
        else
            gear.lineTo(point);
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(centre, radius * 0.3, radius * 0.3);
    gear = gear.subtracted(hole);

    p.save();
    QLinearGradient fill(centre.x(), centre.y() - radius, centre.x(), centre.y() + radius);
    fill.setColorAt(0, rgb(palette::kSilver));
    fill.setColorAt(1, rgb(palette::kSilverDeep));
    p.setPen(QPen(rgb(palette::kInk), radius * 0.08, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(gear);
    p.setPen(QPen(rgb(palette::kGold), radius * 0.1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, radius * 0.5, radius * 0.5);
    p.restore();
}

void drawMicrophone(QPainter& p)
{
    p.save();
    const QPen ink(rgb(palette::kInk), 0.9);
    QLinearGradient body(5, 0, 11, 0);
    body.setColorAt(0, rgb(palette::kSilverDeep));
    body.setColorAt(0.45, rgb(palette::kSilver));
    body.setColorAt(1, rgb(palette::kSilverDeep));
    p.setPen(ink);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(5.2, 0.8, 5.6, 8.6), 2.8, 2.8);
    p.setPen(QPen(rgb(palette::kInk, 150), 0.6));
    for (double y = 2.6; y < 7.5; y += 1.5)
        p.drawLine(QPointF(6.0, y), QPointF(10.0, y));
    p.setPen(QPen(rgb(palette::kSilver), 1.3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(3.2, 3.0, 9.6, 9.0), 200 * 16, 140 * 16);
    p.drawLine(QPointF(8, 12.0), QPointF(8, 14.2));
    p.drawLine(QPointF(5.2, 14.8), QPointF(10.8, 14.8));
    p.restore();
}

// One bold eighth note: it has to read at 16 pixels in front of a folder.
void drawNote(QPainter& p, QRgb colour, QRgb halo)
{
    QPainterPath note = noteHead(QPointF(5.4, 12.4), 3.0, 2.2, -24);
    note.addRect(QRectF(7.3, 2.2, 1.6, 10.0));
    QPainterPath flag;
    flag.moveTo(7.3, 2.2);
    flag.cubicTo(9.2, 4.6, 12.8, 5.2, 11.6, 9.6);
    flag.cubicTo(11.4, 7.4, 10.0, 6.6, 8.9, 6.6);
    flag.lineTo(8.9, 2.2);
    flag.closeSubpath();
    note.addPath(flag);
    fillWithHalo(p, note, colour, halo, 1.7);
}

void drawProgramIcon(QPainter& p)
{
    drawFolder(p, false);
    p.save();
    p.translate(3.6, 1.2);
    p.scale(0.86, 0.86);
    drawNote(p, palette::kNote, palette::kText);
    p.restore();
}

void drawNewFolderGlyph(QPainter& p)
{
    drawFolder(p, false);
    p.save();
    p.setPen(QPen(rgb(palette::kInk), 3.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11.5, 8.2), QPointF(11.5, 14.8));
    p.drawLine(QPointF(8.2, 11.5), QPointF(14.8, 11.5));
    p.setPen(QPen(rgb(0x7ee2a8), 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11.5, 8.2), QPointF(11.5, 14.8));
    p.drawLine(QPointF(8.2, 11.5), QPointF(14.8, 11.5));
    p.restore();
}

using Glyph = std::function<void(QPainter&)>;

// Draws a 16-unit glyph into a square of `size` logical pixels at `at`.
void placeGlyph(QPainter& p, const Glyph& glyph, QPointF at, double size)
{
    p.save();
    p.translate(at);
    p.scale(size / 16.0, size / 16.0);
    glyph(p);
    p.restore();
}

// ---------------------------------------------------------------------------------------
// Boards.

// A circuit-board surface: traces that run on a grid and turn by 45 degrees, with pads,
// vias and a few chips, under a faint grain and a vignette.
void drawBoard(QPainter& p, QSizeF size, const BoardColours& colours, quint32 seed, double density)
{
    const double w = size.width();
    const double h = size.height();
    QRadialGradient base(w * 0.45, h * 0.4, std::max(w, h) * 0.75);
    base.setColorAt(0, rgb(colours.base));
    base.setColorAt(1, rgb(colours.deep));
    p.fillRect(QRectF(0, 0, w, h), base);

    Rng rng(seed);
    constexpr double grid = 6.0;
    const int columns = static_cast<int>(w / grid) + 1;
    const int rows = static_cast<int>(h / grid) + 1;

    // Chips first, so that traces run out of them.
    const int chips = static_cast<int>(w * h / 60000.0 * density) + 1;
    for (int i = 0; i < chips; ++i) {
        const double cw = grid * (4 + rng.below(5));
        const double ch = grid * (2 + rng.below(3));
        const double x = grid * rng.below(columns - 8);
        const double y = grid * rng.below(rows - 6);
        p.setPen(QPen(rgb(colours.trace), 0.8));
        for (double px = x + grid * 0.5; px < x + cw; px += grid) {
            p.drawLine(QPointF(px, y - 2.5), QPointF(px, y));
            p.drawLine(QPointF(px, y + ch), QPointF(px, y + ch + 2.5));
        }
        p.setPen(QPen(rgb(colours.trace), 0.8));
        p.setBrush(rgb(colours.deep, 230));
        p.drawRoundedRect(QRectF(x, y, cw, ch), 1.5, 1.5);
        p.setPen(Qt::NoPen);
        p.setBrush(rgb(colours.traceLit, 90));
        p.drawEllipse(QPointF(x + 3, y + 3), 1.0, 1.0);
    }

    static const QPointF directions[8]
        = { { 1, 0 }, { 1, 1 }, { 0, 1 }, { -1, 1 }, { -1, 0 }, { -1, -1 }, { 0, -1 }, { 1, -1 } };
    const int traces = static_cast<int>(w * h / 700.0 * density);
    for (int i = 0; i < traces; ++i) {
        QPointF point(grid * rng.below(columns), grid * rng.below(rows));
        int direction = rng.below(4) * 2 + (rng.below(5) == 0 ? 1 : 0);
        QPainterPath path(point);
        const int segments = 1 + rng.below(3);
        for (int s = 0; s < segments; ++s) {
            const int steps = 2 + rng.below(9);
            point += directions[direction] * grid * steps;
            path.lineTo(point);
            direction = (direction + (rng.below(2) ? 1 : 7)) % 8;
        }
        const bool lit = rng.below(7) == 0;
        const QRgb colour = lit ? colours.traceLit : colours.trace;
        const double width = rng.below(4) == 0 ? 1.8 : 1.1;
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(rgb(colour, 40), width + 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
        p.setPen(
            QPen(rgb(colour, lit ? 200 : 170), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
        // Pads at both ends: a solid one where the trace starts, a ring where it ends.
        p.setPen(Qt::NoPen);
        p.setBrush(rgb(palette::kGoldDeep, lit ? 190 : 110));
        p.drawEllipse(path.elementAt(0), 1.9, 1.9);
        p.setPen(QPen(rgb(palette::kGoldDeep, lit ? 210 : 130), 1.0));
        p.setBrush(rgb(colours.deep));
        p.drawEllipse(point, 2.0, 2.0);
    }

    // Scattered vias.
    p.setPen(QPen(rgb(colours.traceLit, 110), 0.7));
    p.setBrush(rgb(colours.deep));
    const int vias = static_cast<int>(w * h / 1500.0 * density);
    for (int i = 0; i < vias; ++i)
        p.drawEllipse(
            QPointF(grid * rng.below(columns) + grid / 2, grid * rng.below(rows) + grid / 2), 1.1,
            1.1);

    QRadialGradient vignette(w / 2, h / 2, std::hypot(w, h) / 2);
    vignette.setColorAt(0.55, QColor(0, 0, 0, 0));
    vignette.setColorAt(1, QColor(0, 0, 0, 120));
    p.setPen(Qt::NoPen);
    p.setBrush(vignette);
    p.drawRect(QRectF(0, 0, w, h));
}

// Per-pixel grain, so that large dark areas do not band in the JPEG.
void addGrain(QImage& image, quint32 seed)
{
    Rng rng(seed);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int delta = rng.below(7) - 3;
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + delta, 0, 255),
                std::clamp(qGreen(c) + delta, 0, 255), std::clamp(qBlue(c) + delta, 0, 255));
        }
    }
}

// A darker rounded plate that calms the texture behind controls and text.
void drawPlate(QPainter& p, const QRectF& rect, const BoardColours& colours, int alpha)
{
    p.save();
    p.setPen(QPen(rgb(colours.traceLit, 120), 1.0));
    p.setBrush(rgb(colours.deep, alpha));
    p.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    p.restore();
}

void drawTitleText(
    QPainter& p, const QRectF& rect, const QString& text, int pixelSize, bool italic = false)
{
    QFont titleFont = font(pixelSize, true, italic);
    // Shrink rather than clip when a title does not fit its strip.
    while (QFontMetricsF(titleFont).horizontalAdvance(text) > rect.width() && pixelSize > 8) {
        --pixelSize;
        titleFont = font(pixelSize, true, italic);
    }
    p.save();
    p.setFont(titleFont);
    p.setPen(QColor(0, 0, 0, 150));
    p.drawText(rect.translated(0.8, 0.8), Qt::AlignLeft | Qt::AlignVCenter, text);
    p.setPen(Qt::white);
    p.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter, text);
    p.restore();
}

// The title strip that every window and panel carries: a glyph, a title, and a red close
// mark centred on the close zone laid over it.
void drawTitleStrip(QPainter& p, double width, const BoardColours& colours, const Glyph& glyph,
    const QString& title, int titleSize, double closeCentreX, bool italic = false)
{
    constexpr double height = 25;
    QLinearGradient strip(0, 0, 0, height);
    strip.setColorAt(0, rgb(colours.stripTop));
    strip.setColorAt(1, rgb(colours.stripBottom));
    p.fillRect(QRectF(0, 0, width, height), strip);
    p.fillRect(QRectF(0, 0, width, 1), rgb(colours.traceLit, 110));
    p.fillRect(QRectF(0, height - 1, width, 1), rgb(palette::kGold, 170));
    placeGlyph(p, glyph, QPointF(5, 4.5), 16);
    drawTitleText(p, QRectF(27, 0, closeCentreX - 12 - 27, height - 1), title, titleSize, italic);
    drawRedDisc(p, QPointF(closeCentreX, 12), 8.2);
}

void drawPanelFrame(QPainter& p, QSizeF size, const BoardColours& colours)
{
    p.save();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(rgb(colours.traceLit, 200), 1.0));
    p.drawRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1));
    p.restore();
}

// ---------------------------------------------------------------------------------------
// The pictures.

void drawMainBackground(QPainter& p, QSizeF size)
{
    drawBoard(p, size, kGreenBoard, 0x51a7e, 1.0);
    // Folder fields and their labels; Abort and Settings; the list area with its buttons
    // and the explanation memo.
    drawPlate(p, QRectF(4, 28, 448, 54), kGreenBoard, 150);
    drawPlate(p, QRectF(600, 28, 125, 54), kGreenBoard, 150);
    drawPlate(p, QRectF(4, 84, 721, 369), kGreenBoard, 205);
    drawTitleStrip(
        p, size.width(), kGreenBoard, drawProgramIcon, QStringLiteral("Plumtide"), 14, 712.5);
    // A quiet tagline beside the name.
    p.setFont(font(11));
    p.setPen(rgb(palette::kTextMuted));
    p.drawText(QRectF(105, 0, 400, 24), Qt::AlignLeft | Qt::AlignVCenter,
        QStringLiteral("mp3 files filed by artist"));
    // The program icon beside the close mark doubles as the minimise zone: give it a key.
    p.setPen(QPen(rgb(palette::kTraceLit, 150), 1.0));
    p.setBrush(rgb(palette::kTraceLit, 45));
    p.drawRoundedRect(QRectF(673.5, 2.5, 23, 20), 4, 4);

    // Footer line. Its text (the program's name and version, and the link to its home
    // page) is live text of the window, so that it follows the build.
    const double footer = size.height() - 16;
    p.fillRect(QRectF(0, footer, size.width(), 16), rgb(palette::kStripBottom, 220));
    p.fillRect(QRectF(0, footer, size.width(), 1), rgb(palette::kGold, 120));
}

void drawSettingsBackground(QPainter& p, QSizeF size)
{
    drawBoard(p, size, kBlueBoard, 0x5e771, 0.8);
    drawPlate(p, QRectF(4, 29, size.width() - 8, size.height() - 33), kBlueBoard, 150);
    drawTitleStrip(
        p, size.width(), kBlueBoard, [](QPainter& g) { drawGear(g, QPointF(8, 8), 7.6); },
        QStringLiteral("Settings"), 14, 406.5, true);
    drawPanelFrame(p, size, kBlueBoard);
}

void drawPanelBackground(QPainter& p, QSizeF size, quint32 seed, const Glyph& glyph,
    const QString& title, double closeCentreX)
{
    drawBoard(p, size, kBlueBoard, seed, 0.8);
    drawTitleStrip(p, size.width(), kBlueBoard, glyph, title, 12, closeCentreX);
    drawPanelFrame(p, size, kBlueBoard);
}

struct Picture {
    QString name; // file name without "@2x" and extension
    QSize size; // logical pixels
    bool jpeg;
    std::function<void(QPainter&, QSizeF)> draw;
};

bool render(const Picture& picture, const QDir& folder, int scale)
{
    const QSize pixels = picture.size * scale;
    QImage image(pixels, picture.jpeg ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHints(
            QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        p.scale(scale, scale);
        picture.draw(p, QSizeF(picture.size));
    }
    if (picture.jpeg)
        addGrain(image, 0xc0ffee + static_cast<quint32>(scale));
    const QString file
        = folder.filePath(picture.name + (scale == 2 ? QStringLiteral("@2x") : QString())
            + (picture.jpeg ? QStringLiteral(".jpg") : QStringLiteral(".png")));
    QImageWriter writer(file);
    if (picture.jpeg) {
        writer.setQuality(94);
        writer.setOptimizedWrite(true);
    } else {
        image = image.convertToFormat(QImage::Format_ARGB32);
    }
    if (!writer.write(image)) {
        std::fprintf(stderr, "plumtide_draw_artwork: %s: %s\n", qPrintable(file),
            qPrintable(writer.errorString()));
        return false;
    }
    return true;
}

Picture glyphPicture(const QString& name, int size, Glyph glyph)
{
    return Picture { name, QSize(size, size), false,
        [glyph = std::move(glyph)](
            QPainter& p, QSizeF s) { placeGlyph(p, glyph, QPointF(0, 0), s.width()); } };
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: plumtide_draw_artwork <output folder>\n");
        return 2;
    }
    // The pictures must not depend on whatever font the machine falls back to.
    for (const bool bold : { false, true }) {
        const QString family = QFontInfo(font(12, bold)).family();
        if (family != QStringLiteral("DejaVu Sans")) {
            std::fprintf(stderr, "plumtide_draw_artwork: needs the DejaVu Sans font, got %s\n",
                qPrintable(family));
            return 1;
        }
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists()) {
        std::fprintf(stderr, "plumtide_draw_artwork: no folder %s\n", argv[1]);
        return 1;
    }

    std::vector<Picture> pictures {
        { QStringLiteral("main"), QSize(729, 471), true, drawMainBackground },
        { QStringLiteral("settings"), QSize(418, 259), true, drawSettingsBackground },
        { QStringLiteral("newartists"), QSize(268, 297), true,
            [](QPainter& p, QSizeF s) {
                drawPanelBackground(
                    p, s, 0x4e3, drawNewFolderGlyph, QStringLiteral("Not existing folders"), 255.5);
            } },
        { QStringLiteral("browsefrom"), QSize(264, 293), true,
            [](QPainter& p, QSizeF s) {
                drawPanelBackground(
                    p, s, 0xf40, drawMicrophone, QStringLiteral("These mp3 files (from)"), 253.5);
            } },
        { QStringLiteral("browseto"), QSize(264, 293), true,
            [](QPainter& p, QSizeF s) {
                drawPanelBackground(p, s, 0x70, drawProgramIcon,
                    QStringLiteral("To this folder/subfolders(to)"), 253.5);
            } },
        { QStringLiteral("doublesfolder"), QSize(257, 222), true,
            [](QPainter& p, QSizeF s) {
                drawPanelBackground(
                    p, s, 0xd0b, [](QPainter& g) { drawFolder(g, false); },
                    QStringLiteral("Folder for double files"), 244.5);
            } },
        glyphPicture(
            QStringLiteral("gear"), 32, [](QPainter& p) { drawGear(p, QPointF(8, 8), 7.5); }),
        glyphPicture(
            QStringLiteral("abort"), 25, [](QPainter& p) { drawRedDisc(p, QPointF(8, 8), 7.4); }),
        glyphPicture(QStringLiteral("browse"), 16, [](QPainter& p) { drawFolder(p, true); }),
        glyphPicture(QStringLiteral("list0"), 16, [](QPainter& p) { drawFolder(p, false); }),
        glyphPicture(QStringLiteral("list1"), 16,
            [](QPainter& p) { drawNotes(p, palette::kNote, palette::kText); }),
        glyphPicture(
            QStringLiteral("list2"), 16, [](QPainter& p) { drawRedDisc(p, QPointF(8, 8), 7.2); }),
        glyphPicture(QStringLiteral("list3"), 16, drawOutlinedCross),
    };
    for (const int size : { 16, 22, 24, 32, 48, 64, 128, 256 })
        pictures.push_back(
            glyphPicture(QStringLiteral("plumtide-%1").arg(size), size, drawProgramIcon));

    for (const Picture& picture : pictures) {
        // The larger program icons are only ever shown at their own size.
        const bool twoScales
            = !picture.name.startsWith(QStringLiteral("plumtide-")) || picture.size.width() <= 32;
        if (!render(picture, folder, 1) || (twoScales && !render(picture, folder, 2)))
            return 1;
    }
    return 0;
}
