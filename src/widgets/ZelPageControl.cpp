#include "ZelPageControl.h"

#include "ZelFlat.h"

#include <QPainter>
#include <QStyleOptionTab>

namespace {
constexpr int kTabHeight = 26;
constexpr int kTabPad = 14;   // each side of a caption
}

TzelTabBar::TzelTabBar(QWidget* parent) : QTabBar(parent)
{
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
    setDrawBase(false);
    setExpanding(false);
    setElideMode(Qt::ElideNone);
}

QSize TzelTabBar::tabSizeHint(int index) const
{
    QFont f = font();
    f.setBold(true);   // sized for the bold active caption, so tabs do not jump
    const int w = QFontMetrics(f).horizontalAdvance(tabText(index).remove(QLatin1Char('&'))) + 2 * kTabPad;
    return QSize(w, kTabHeight);
}

void TzelTabBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPoint mouse = mapFromGlobal(QCursor::pos());
    for (int i = 0; i < count(); ++i) {
        const QRect r = tabRect(i);
        const bool active = i == currentIndex();
        const bool hot = !active && underMouse() && r.contains(mouse);
        QFont f = font();
        f.setBold(active);
        p.setFont(f);
        QColor text = ZelFlat::Text;
        if (!isTabEnabled(i) || !isEnabled())
            text = ZelFlat::TextDisabled;
        else if (active)
            text = ZelFlat::SlateDark;
        else if (hot)
            text = ZelFlat::AccentDown;
        p.setPen(text);
        // The caption's "&&" is one ampersand; a single "&" marks no key here.
        QString caption = tabText(i);
        caption.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(QLatin1Char('&')).replace(QChar(1), QLatin1Char('&'));
        p.drawText(r.adjusted(0, 0, 0, -3), Qt::AlignCenter, caption);
        if (active || hot) {
            const QColor line = active ? ZelFlat::Accent : ZelFlat::AccentLight;
            p.setPen(Qt::NoPen);
            p.setBrush(line);
            p.drawRoundedRect(QRectF(r.left() + 6, r.bottom() - 2, r.width() - 12, 3), 1.5, 1.5);
        }
        if (active && hasFocus()) {
            p.setPen(QPen(ZelFlat::Accent, 1, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(QRectF(r).adjusted(3.5, 3.5, -3.5, -5.5), 2, 2);
        }
    }
}

TzelPageControl::TzelPageControl(QWidget* parent) : QTabWidget(parent)
{
    setTabBar(new TzelTabBar(this));
    setDocumentMode(true);
    setAutoFillBackground(false);
}

QWidget* TzelPageControl::AddPage(const QString& caption, const QString& objectName)
{
    auto* page = new QWidget;
    page->setObjectName(objectName);
    QPalette pal = page->palette();
    pal.setColor(QPalette::Window, Qt::white);
    page->setPalette(pal);
    page->setAutoFillBackground(true);
    addTab(page, caption);
    return page;
}

void TzelPageControl::SetActivePageIndex(int index)
{
    if (index >= 0 && index < count())
        setCurrentIndex(index);
}

void TzelPageControl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int top = tabBar()->geometry().bottom() + 1;
    // The line under the tabs, and the frame round the pages.
    p.setPen(QPen(ZelFlat::Border, 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(ZelFlat::HairlineRect(QRectF(0, top - 1, width(), height() - top + 1)), 4, 4);
}
