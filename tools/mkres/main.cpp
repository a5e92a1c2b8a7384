// ganterly-mkres: draws the program's pictures into a folder laid out like the
// program folder (resource/, Skin/dulvane/) plus the program icon.
//   ganterly-mkres <folder>
// Everything is drawn here, so the pictures are ours and rebuilt with the program.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <functional>
#include <utility>

namespace {
// The dulvane palette: slate blue frame, teal accent.
const QColor kFrameDark(0x23, 0x2B, 0x3A);
const QColor kFrameLight(0x3A, 0x47, 0x5E);
const QColor kAccent(0x1F, 0xB5, 0xA8);
const QColor kAccentDark(0x13, 0x7F, 0x76);
const QColor kText(0xF2, 0xF5, 0xF8);

bool gFailed = false;

void Save(const QImage& img, const QString& path, const char* format = nullptr, int quality = -1)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!img.save(path, format, quality)) {
        std::fprintf(stderr, "ganterly-mkres: cannot write %s\n", qPrintable(path));
        gFailed = true;
    }
}

QImage Transparent(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

QFont Font(int pixels, bool bold = true)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

// A round badge with a symbol: the marks drawn on frame thumbnails.
QImage Badge(const QColor& fill, bool cross)
{
    QImage img = Transparent(20, 20);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 255, 255, 230), 1.5));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1.5, 1.5, 17, 17));
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (cross) {
        p.drawLine(QPointF(6.5, 6.5), QPointF(13.5, 13.5));
        p.drawLine(QPointF(13.5, 6.5), QPointF(6.5, 13.5));
    } else {
        QPainterPath tick;
        tick.moveTo(5.5, 10.5);
        tick.lineTo(8.8, 13.6);
        tick.lineTo(14.5, 6.5);
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    }
    return img;
}

// A film frame with a play arrow: the program's mark, at any size.
void DrawLogo(QPainter& p, const QRectF& r)
{
    const double u = r.width() / 16.0;
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, kAccent);
    g.setColorAt(1, kAccentDark);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(r, 3 * u, 3 * u);
    p.setBrush(QColor(255, 255, 255, 70));
    for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(r.left() + 1.2 * u, r.top() + (2.2 + 3.3 * i) * u, 1.4 * u, 1.6 * u));
        p.drawRect(QRectF(r.right() - 2.6 * u, r.top() + (2.2 + 3.3 * i) * u, 1.4 * u, 1.6 * u));
    }
    QPainterPath play;
    play.moveTo(r.left() + 6 * u, r.top() + 4.5 * u);
    play.lineTo(r.left() + 11.5 * u, r.top() + 8 * u);
    play.lineTo(r.left() + 6 * u, r.top() + 11.5 * u);
    play.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(play);
}

QImage Logo(int size)
{
    QImage img = Transparent(size, size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    DrawLogo(p, QRectF(0.5, 0.5, size - 1, size - 1));
    return img;
}

QImage StartBackground()
{
    QImage img(640, 400, QImage::Format_RGB888);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, img.height());
    g.setColorAt(0, QColor(0x1A, 0x20, 0x2C));
    g.setColorAt(1, QColor(0x0E, 0x12, 0x19));
    p.fillRect(img.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(480, 120), 320);
    glow.setColorAt(0, QColor(0x1F, 0xB5, 0xA8, 60));
    glow.setColorAt(1, QColor(0x1F, 0xB5, 0xA8, 0));
    p.fillRect(img.rect(), glow);
    p.setPen(QPen(QColor(255, 255, 255, 14), 1));
    for (int x = -img.height(); x < img.width(); x += 24)
        p.drawLine(x, img.height(), x + img.height(), 0);
    return img;
}

QImage StartText()
{
    QImage img = Transparent(420, 120);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    DrawLogo(p, QRectF(4, 8, 64, 64));
    p.setPen(kText);
    p.setFont(Font(30));
    p.drawText(QRectF(84, 6, 330, 40), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Video to GIF"));
    p.setPen(QColor(0xB8, 0xC4, 0xD2));
    p.setFont(Font(15, false));
    p.drawText(QRectF(84, 46, 330, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Open a video file to start."));
    p.drawText(QRectF(84, 70, 330, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Mark a start and an end, then convert."));
    return img;
}

QImage Banner(int scale)
{
    QImage img(387 * scale, 85 * scale, QImage::Format_RGB32);
    QPainter p(&img);
    p.scale(scale, scale);
    QLinearGradient g(0, 0, 387, 0);
    g.setColorAt(0, kFrameDark);
    g.setColorAt(1, kAccentDark);
    p.fillRect(QRectF(0, 0, 387, 85), g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    DrawLogo(p, QRectF(14, 14, 56, 56));
    p.setPen(kText);
    p.setFont(Font(26));
    p.drawText(QRectF(84, 12, 290, 36), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Free Ganterly"));
    p.setFont(Font(13, false));
    p.drawText(QRectF(86, 48, 290, 22), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Video clips to animated GIF"));
    return img;
}

// Skin pictures are drawn in design pixels through a painter scaled by the
// resolution, and written at 1x and as "@2x" files for HiDPI screens.
using TDraw = std::function<void(QPainter&)>;

QImage Draw(int w, int h, int scale, const TDraw& draw)
{
    QImage img = Transparent(w * scale, h * scale);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(scale, scale);
    draw(p);
    return img;
}

void SaveSkin(const QString& path, int w, int h, const TDraw& draw)
{
    Save(Draw(w, h, 1, draw), path);
    Save(Draw(w, h, 2, draw), QString(path).replace(QStringLiteral(".png"), QStringLiteral("@2x.png")));
}

// The window frame: a slate top bar 31 high; white sides with a thin slate
// outline that follows the rounded corners (radius 9) at the bottom.
const QColor kOutline(0x2C, 0x36, 0x48);
constexpr double kRadius = 9.0;

void TopBar(QPainter& p, int w)
{
    QLinearGradient g(0, 0, 0, 31);
    g.setColorAt(0, kFrameLight);
    g.setColorAt(1, kFrameDark);
    p.fillRect(QRectF(0, 0, w, 31), g);
    p.fillRect(QRectF(0, 30, w, 1), QColor(0x1A, 0x20, 0x2C));
}

// One side's strip: white, the outline on the outer pixel.
void Side(QPainter& p, const QRectF& body, const QRectF& line)
{
    p.fillRect(body, Qt::white);
    p.fillRect(line, kOutline);
}

// A bottom corner of w x h: white inside the rounded outline, the outline
// drawn along the arc; flipX for the bottom-right one.
void BottomCorner(QPainter& p, int w, int h, bool flipX)
{
    if (flipX) {
        p.translate(w, 0);
        p.scale(-1, 1);
    }
    QPainterPath inside;
    inside.moveTo(0, 0);
    inside.lineTo(w, 0);
    inside.lineTo(w, h);
    inside.lineTo(kRadius, h);
    inside.arcTo(QRectF(0, h - 2 * kRadius, 2 * kRadius, 2 * kRadius), 270, -90);
    inside.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(inside);
    QPainterPath edge;
    edge.moveTo(0.5, 0);
    edge.arcTo(QRectF(0.5, h - 2 * kRadius + 0.5, 2 * kRadius - 1, 2 * kRadius - 1), 180, 90);
    edge.lineTo(w, h - 0.5);
    p.setPen(QPen(kOutline, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(edge);
}

// Push buttons (OK, Cancel and the rest): 71 x 23, the accent colour.
void PushButton(QPainter& p, int state)  // 0 up, 1 hot, 2 down
{
    const QColor base = state == 0 ? kAccentDark : state == 1 ? kAccent : kAccentDark.darker(125);
    QLinearGradient g(0, 0, 0, 23);
    g.setColorAt(0, state == 2 ? base.darker(105) : base.lighter(108));
    g.setColorAt(1, state == 2 ? base : base.darker(104));
    p.setPen(QPen(base.darker(135), 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, 70, 22), 4, 4);
}

// Caption buttons, 17 x 17: glyph 0 close, 1 minimise, 2 maximise, 3 restore.
void CaptionButton(QPainter& p, int glyph, int state)
{
    if (state > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(glyph == 0 ? QColor(0xD9, 0x48, 0x3B, state == 1 ? 230 : 255)
                              : QColor(255, 255, 255, state == 1 ? 40 : 70));
        p.drawRoundedRect(QRectF(0, 0, 17, 17), 3, 3);
    }
    p.setPen(QPen(kText, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    switch (glyph) {
    case 0:
        p.drawLine(QPointF(5.5, 5.5), QPointF(11.5, 11.5));
        p.drawLine(QPointF(11.5, 5.5), QPointF(5.5, 11.5));
        break;
    case 1: p.drawLine(QPointF(5, 11.5), QPointF(12, 11.5)); break;
    case 2: p.drawRect(QRectF(5, 5, 7, 7)); break;
    default:
        p.drawRect(QRectF(4.5, 7, 5.5, 5.5));
        p.drawPolyline(QPolygonF({QPointF(7, 7), QPointF(7, 4.5), QPointF(12.5, 4.5), QPointF(12.5, 10), QPointF(10, 10)}));
        break;
    }
}
// The main window's toolbar strip (stretched) and its one-pixel separator.
void ToolbarBack(QPainter& p, int w)
{
    QLinearGradient g(0, 0, 0, 27);
    g.setColorAt(0, QColor(0xF7, 0xF8, 0xFA));
    g.setColorAt(1, QColor(0xE6, 0xE9, 0xEE));
    p.fillRect(QRectF(0, 0, w, 27), g);
    p.fillRect(QRectF(0, 26, w, 1), QColor(0xD0, 0xD5, 0xDD));
}

// The big tool buttons (Open, Play, Crop, ...): 82 x 50 light cards.
void ToolButton(QPainter& p, int state)  // 0 up, 1 hot, 2 down
{
    const QColor fill = state == 0 ? QColor(0xFA, 0xFB, 0xFC) : state == 1 ? QColor(0xE6, 0xF6, 0xF4) : QColor(0xC9, 0xEB, 0xE7);
    const QColor border = state == 0 ? QColor(0xC9, 0xCF, 0xD8) : state == 1 ? QColor(0x5C, 0xC4, 0xBA) : kAccentDark;
    QLinearGradient g(0, 0, 0, 50);
    g.setColorAt(0, fill.lighter(state == 2 ? 100 : 103));
    g.setColorAt(1, fill.darker(state == 2 ? 100 : 103));
    p.setPen(QPen(border, 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, 81, 49), 5, 5);
}

// The menu images, 16 x 16: 1 locate start, 2 locate end, 3 play the
// selection, 4 delete.
void MenuImage(QPainter& p, int index)
{
    p.setPen(QPen(kFrameLight, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    switch (index) {
    case 1:
    case 2: {
        const double x = index == 1 ? 4.5 : 11.5;
        p.setPen(QPen(kAccentDark, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(x, 2.5), QPointF(x, 13.5));
        QPainterPath flag;
        const double dir = index == 1 ? 1 : -1;
        flag.moveTo(x, 3);
        flag.lineTo(x + dir * 7, 5.5);
        flag.lineTo(x, 8);
        flag.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawPath(flag);
        break;
    }
    case 3: {
        QPainterPath play;
        play.moveTo(5, 3);
        play.lineTo(13, 8);
        play.lineTo(5, 13);
        play.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawPath(play);
        p.setPen(QPen(kAccentDark, 1.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(2.5, 3), QPointF(2.5, 13));
        break;
    }
    default:
        p.setPen(QPen(QColor(0xD9, 0x48, 0x3B), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(QPointF(3, 4.5), QPointF(13, 4.5));
        p.drawLine(QPointF(6.5, 4.5), QPointF(6.5, 3));
        p.drawLine(QPointF(6.5, 3), QPointF(9.5, 3));
        p.drawLine(QPointF(9.5, 3), QPointF(9.5, 4.5));
        p.drawRoundedRect(QRectF(4.5, 6, 7, 8), 1.2, 1.2);
        p.drawLine(QPointF(7, 8), QPointF(7, 12));
        p.drawLine(QPointF(9, 8), QPointF(9, 12));
        break;
    }
}

// Button glyphs, one line style: slate strokes with round caps and joins;
// the playback and convert ones in the accent. Drawn on transparent ground,
// the button paints its own face behind them.
const QColor kGlyph(0x34, 0x3D, 0x4C);

QPen GlyphPen(const QColor& c = kGlyph, double width = 1.8)
{
    return QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A filled triangle with softened corners: round-joined outline in the fill colour.
void Triangle(QPainter& p, const QPolygonF& t, const QColor& c)
{
    p.setPen(QPen(c, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(c);
    p.drawPolygon(t);
}

// 12 x 14: one frame back (dir -1) or forward (1): a triangle against a bar.
void FrameStepGlyph(QPainter& p, int dir)
{
    if (dir < 0) {
        p.translate(12, 0);
        p.scale(-1, 1);
    }
    Triangle(p, QPolygonF({QPointF(2, 2.5), QPointF(8.5, 7), QPointF(2, 11.5)}), kGlyph);
    p.setPen(Qt::NoPen);
    p.setBrush(kGlyph);
    p.drawRoundedRect(QRectF(9.2, 2, 1.8, 10), 0.9, 0.9);
}

// 10 x 8: the down chevron of the drop-down menu.
void MoreGlyph(QPainter& p)
{
    p.setPen(GlyphPen());
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(1.5, 2.5), QPointF(5, 6), QPointF(8.5, 2.5)}));
}

// 14 x 14: a double chevron, a group back (dir -1) or forward (1).
void GroupGlyph(QPainter& p, int dir)
{
    if (dir < 0) {
        p.translate(14, 0);
        p.scale(-1, 1);
    }
    p.setPen(GlyphPen());
    p.setBrush(Qt::NoBrush);
    for (const double x : {2.5, 7.5})
        p.drawPolyline(QPolygonF({QPointF(x, 2.5), QPointF(x + 4.5, 7), QPointF(x, 11.5)}));
}

// 16 x 16: an "i" in a circle.
void InfoGlyph(QPainter& p)
{
    p.setPen(GlyphPen(kGlyph, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(Qt::NoPen);
    p.setBrush(kGlyph);
    p.drawEllipse(QRectF(7, 4, 2, 2));
    p.drawRoundedRect(QRectF(7.1, 7, 1.8, 5.5), 0.9, 0.9);
}

// The tool glyphs, 24 x 24.
void OpenGlyph(QPainter& p)
{
    p.setPen(GlyphPen());
    p.setBrush(Qt::NoBrush);
    // The folder's back with its tab, then the open front leaning forward.
    QPainterPath back;
    back.moveTo(3.5, 18);
    back.lineTo(3.5, 6);
    back.quadTo(3.5, 5, 4.5, 5);
    back.lineTo(9, 5);
    back.lineTo(11, 7.5);
    back.lineTo(18, 7.5);
    back.quadTo(19, 7.5, 19, 8.5);
    back.lineTo(19, 10.5);
    p.drawPath(back);
    QPainterPath front;
    front.moveTo(3.5, 19);
    front.lineTo(7, 11);
    front.lineTo(21.5, 11);
    front.lineTo(18, 19);
    front.closeSubpath();
    p.setBrush(QColor(0xE3, 0xF4, 0xF2));
    p.drawPath(front);
}

void PlayGlyph(QPainter& p)
{
    Triangle(p, QPolygonF({QPointF(7.5, 4.5), QPointF(19, 12), QPointF(7.5, 19.5)}), kAccentDark);
}

void PauseGlyph(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kAccentDark);
    p.drawRoundedRect(QRectF(6.5, 5, 4, 14), 1.2, 1.2);
    p.drawRoundedRect(QRectF(13.5, 5, 4, 14), 1.2, 1.2);
}

void CropGlyph(QPainter& p)
{
    p.setPen(GlyphPen());
    p.setBrush(Qt::NoBrush);
    // Two interlocking corners, each running past the other.
    p.drawPolyline(QPolygonF({QPointF(7, 2.5), QPointF(7, 17), QPointF(21.5, 17)}));
    p.drawPolyline(QPolygonF({QPointF(2.5, 7), QPointF(17, 7), QPointF(17, 21.5)}));
}

void SettingGlyph(QPainter& p)
{
    // Three sliders, knobs at different places.
    const double ys[] = {6, 12, 18}, knobs[] = {15, 8, 13};
    for (int i = 0; i < 3; ++i) {
        p.setPen(GlyphPen());
        p.drawLine(QPointF(3.5, ys[i]), QPointF(20.5, ys[i]));
        p.setPen(GlyphPen(kGlyph, 1.6));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(knobs[i], ys[i]), 2.4, 2.4);
    }
}

void ConvertGlyph(QPainter& p)
{
    // A film frame with its perforations, and the accent arrow leading out of it.
    p.setPen(GlyphPen());
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(2.5, 4.5, 12, 15), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kGlyph);
    for (int i = 0; i < 3; ++i) {
        p.drawRect(QRectF(4.6, 7.2 + 4 * i, 1.6, 1.6));
        p.drawRect(QRectF(10.8, 7.2 + 4 * i, 1.6, 1.6));
    }
    p.setPen(GlyphPen(kAccentDark, 2.0));
    p.drawLine(QPointF(12.5, 12), QPointF(20, 12));
    Triangle(p, QPolygonF({QPointF(18, 8), QPointF(22.5, 12), QPointF(18, 16)}), kAccentDark);
}
}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ganterly-mkres <folder>\n");
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + QLatin1Char('/');
    const QString res = out + QStringLiteral("resource/");
    const QString skin = out + QStringLiteral("Skin/dulvane/");

    Save(Badge(QColor(0xD9, 0x48, 0x3B), true), res + QStringLiteral("DeleteFlag.png"));
    Save(Badge(QColor(0x2E, 0xA0, 0x4F), false), res + QStringLiteral("SelectFlag.png"));
    Save(StartBackground(), res + QStringLiteral("StartBK.bmp"), "BMP");
    Save(StartText(), res + QStringLiteral("StartText.png"));
    Save(Logo(256), res + QStringLiteral("ganterly.png"));

    Save(Banner(1), skin + QStringLiteral("AboutBanner.jpg"), "JPEG", 92);
    Save(Banner(2), skin + QStringLiteral("AboutBanner@2x.jpg"), "JPEG", 92);
    SaveSkin(skin + QStringLiteral("Icon.png"), 18, 18, [](QPainter& p) { DrawLogo(p, QRectF(1, 1, 16, 16)); });
    SaveSkin(skin + QStringLiteral("Top.png"), 1, 31, [](QPainter& p) { TopBar(p, 1); });
    SaveSkin(skin + QStringLiteral("TopLeft.png"), 5, 31, [](QPainter& p) { TopBar(p, 5); });
    SaveSkin(skin + QStringLiteral("TopRight.png"), 6, 31, [](QPainter& p) { TopBar(p, 6); });
    SaveSkin(skin + QStringLiteral("Left.png"), 5, 1, [](QPainter& p) { Side(p, {0, 0, 5, 1}, {0, 0, 1, 1}); });
    SaveSkin(skin + QStringLiteral("Right.png"), 6, 1, [](QPainter& p) { Side(p, {0, 0, 6, 1}, {5, 0, 1, 1}); });
    SaveSkin(skin + QStringLiteral("Bottom.png"), 1, 6, [](QPainter& p) { Side(p, {0, 0, 1, 6}, {0, 5, 1, 1}); });
    SaveSkin(skin + QStringLiteral("BottomLeft.png"), 8, 9, [](QPainter& p) { BottomCorner(p, 8, 9, false); });
    SaveSkin(skin + QStringLiteral("BottomRight.png"), 9, 9, [](QPainter& p) { BottomCorner(p, 9, 9, true); });
    SaveSkin(skin + QStringLiteral("ToolbarBack.png"), 1, 27, [](QPainter& p) { ToolbarBack(p, 1); });
    SaveSkin(skin + QStringLiteral("ToolbarSep.png"), 1, 26,
             [](QPainter& p) { p.fillRect(QRectF(0, 3, 1, 20), QColor(0xC4, 0xCA, 0xD3)); });
    for (int i = 1; i <= 4; ++i)
        SaveSkin(skin + QStringLiteral("Menu%1.png").arg(i), 16, 16, [i](QPainter& p) { MenuImage(p, i); });
    SaveSkin(skin + QStringLiteral("GlyphPriorFrame.png"), 12, 14, [](QPainter& p) { FrameStepGlyph(p, -1); });
    SaveSkin(skin + QStringLiteral("GlyphNextFrame.png"), 12, 14, [](QPainter& p) { FrameStepGlyph(p, 1); });
    SaveSkin(skin + QStringLiteral("GlyphMore.png"), 10, 8, MoreGlyph);
    SaveSkin(skin + QStringLiteral("GlyphPriorGroup.png"), 14, 14, [](QPainter& p) { GroupGlyph(p, -1); });
    SaveSkin(skin + QStringLiteral("GlyphNextGroup.png"), 14, 14, [](QPainter& p) { GroupGlyph(p, 1); });
    SaveSkin(skin + QStringLiteral("GlyphInfo.png"), 16, 16, InfoGlyph);
    const std::pair<const char*, void (*)(QPainter&)> tools[] = {
        {"Open", OpenGlyph},       {"Play", PlayGlyph},     {"Pause", PauseGlyph},
        {"Crop", CropGlyph},       {"Setting", SettingGlyph}, {"Convert", ConvertGlyph}};
    for (const auto& [name, draw] : tools)
        SaveSkin(skin + QStringLiteral("Glyph%1.png").arg(QLatin1String(name)), 24, 24, draw);
    static const char* const kStates[] = {"Up", "Hot", "Down"};
    static const char* const kGlyphs[] = {"Close", "Min", "Max", "Restore"};
    for (int s = 0; s < 3; ++s) {
        SaveSkin(skin + QStringLiteral("Button%1.png").arg(QLatin1String(kStates[s])), 71, 23,
                 [s](QPainter& p) { PushButton(p, s); });
        SaveSkin(skin + QStringLiteral("ToolButton%1.png").arg(QLatin1String(kStates[s])), 82, 50,
                 [s](QPainter& p) { ToolButton(p, s); });
        for (int gl = 0; gl < 4; ++gl)
            SaveSkin(skin + QStringLiteral("Btn%1%2.png").arg(QLatin1String(kGlyphs[gl]), QLatin1String(kStates[s])), 17, 17,
                     [gl, s](QPainter& p) { CaptionButton(p, gl, s); });
    }
    return gFailed ? 1 : 0;
}
