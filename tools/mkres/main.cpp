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

QImage Banner()
{
    QImage img(387, 85, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, img.width(), 0);
    g.setColorAt(0, kFrameDark);
    g.setColorAt(1, kAccentDark);
    p.fillRect(img.rect(), g);
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

// A piece of the window frame: a vertical gradient band, the outer edge darker.
QImage FramePiece(int w, int h, bool top)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    if (top) {
        QLinearGradient g(0, 0, 0, h);
        g.setColorAt(0, kFrameLight);
        g.setColorAt(1, kFrameDark);
        p.fillRect(img.rect(), g);
    } else {
        p.fillRect(img.rect(), kFrameDark);
    }
    return img;
}

QImage Button(int w, int h, int state)  // 0 up, 1 hot, 2 down
{
    QImage img = Transparent(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor base = state == 0 ? kAccentDark : state == 1 ? kAccent : kAccentDark.darker(130);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, state == 2 ? base : base.lighter(115));
    g.setColorAt(1, state == 2 ? base.lighter(110) : base);
    p.setPen(QPen(base.darker(140), 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 4, 4);
    return img;
}

// Caption buttons, 17 x 17: glyph 0 close, 1 minimise, 2 maximise, 3 restore.
QImage CaptionButton(int glyph, int state)
{
    QImage img = Transparent(17, 17);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    if (state > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(glyph == 0 ? QColor(0xD9, 0x48, 0x3B, state == 1 ? 220 : 255)
                              : QColor(255, 255, 255, state == 1 ? 40 : 70));
        p.drawRoundedRect(QRectF(0, 0, 17, 17), 3, 3);
    }
    p.setPen(QPen(kText, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    switch (glyph) {
    case 0:
        p.drawLine(QPointF(5, 5), QPointF(12, 12));
        p.drawLine(QPointF(12, 5), QPointF(5, 12));
        break;
    case 1: p.drawLine(QPointF(5, 11.5), QPointF(12, 11.5)); break;
    case 2: p.drawRect(QRectF(5, 5, 7, 7)); break;
    default:
        p.drawRect(QRectF(4.5, 7, 6, 5.5));
        p.drawPolyline(QPolygonF({QPointF(7, 7), QPointF(7, 4.5), QPointF(12.5, 4.5), QPointF(12.5, 10), QPointF(10.5, 10)}));
        break;
    }
    return img;
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

    Save(Banner(), skin + QStringLiteral("AboutBanner.jpg"), "JPEG", 92);
    Save(Logo(16), skin + QStringLiteral("Icon.png"));
    Save(FramePiece(8, 30, true), skin + QStringLiteral("TopLeft.png"));
    Save(FramePiece(8, 30, true), skin + QStringLiteral("TopRight.png"));
    Save(FramePiece(1, 30, true), skin + QStringLiteral("Top.png"));
    Save(FramePiece(4, 1, false), skin + QStringLiteral("Left.png"));
    Save(FramePiece(4, 1, false), skin + QStringLiteral("Right.png"));
    Save(FramePiece(1, 4, false), skin + QStringLiteral("Bottom.png"));
    Save(FramePiece(8, 4, false), skin + QStringLiteral("BottomLeft.png"));
    Save(FramePiece(8, 4, false), skin + QStringLiteral("BottomRight.png"));
    static const char* const kStates[] = {"Up", "Hot", "Down"};
    static const char* const kGlyphs[] = {"Close", "Min", "Max", "Restore"};
    for (int s = 0; s < 3; ++s) {
        Save(Button(75, 25, s), skin + QStringLiteral("Button%1.png").arg(QLatin1String(kStates[s])));
        for (int gl = 0; gl < 4; ++gl)
            Save(CaptionButton(gl, s),
                 skin + QStringLiteral("Btn%1%2.png").arg(QLatin1String(kGlyphs[gl]), QLatin1String(kStates[s])));
    }
    return gFailed ? 1 : 0;
}
