#include "MHintWindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <QWidget>

namespace {
constexpr int kPadX = 6, kPadY = 3;   // inside the one-pixel border
constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs;
}

// The box: the application's hint colours, a thin border, the text.
class THintBox : public QWidget {
public:
    THintBox() : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFont(QToolTip::font());
        setPalette(QToolTip::palette());
        setObjectName(QStringLiteral("MHint"));
        setAccessibleName(QStringLiteral("Hint"));
    }
    QString Text;

    QSize SizeFor(const QString& text) const
    {
        const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
        const int screenWidth = s ? s->geometry().width() : 1920;
        const int room = std::max(1, screenWidth - 2 * (kPadX + 1));
        QString shown = text;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        const QRect r = fontMetrics().boundingRect(QRect(0, 0, room, 0), kTextFlags, shown);
        return QSize(std::min(screenWidth, r.width() + 2 * (kPadX + 1)), r.height() + 2 * (kPadY + 1));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QPalette pal = palette();
        p.fillRect(rect(), pal.color(QPalette::ToolTipBase));
        p.setPen(pal.color(QPalette::ToolTipText).lighter(160));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        p.setPen(pal.color(QPalette::ToolTipText));
        QString shown = Text;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        p.drawText(rect().adjusted(kPadX + 1, kPadY + 1, -(kPadX + 1), -(kPadY + 1)), kTextFlags, shown);
    }
};

TMHint::TMHint() : FHintWindow(std::make_unique<THintBox>()) {}

TMHint::~TMHint() = default;

QSize TMHint::GetHintSize(const QString& text) const { return FHintWindow->SizeFor(text); }

void TMHint::ShowHintAt(QPoint screenPoint, const QString& text)
{
    FHintWindow->Text = text;
    FHintWindow->setGeometry(QRect(screenPoint, FHintWindow->SizeFor(text)));
    FHintWindow->update();
    if (!FHintWindow->isVisible())
        FHintWindow->show();
}

void TMHint::HideHint()
{
    if (FHintWindow && FHintWindow->isVisible())
        FHintWindow->hide();
}

bool TMHint::IsShowing() const { return FHintWindow && FHintWindow->isVisible(); }

QWidget* TMHint::Window() const { return FHintWindow.get(); }
