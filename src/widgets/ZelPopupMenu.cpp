#include "ZelPopupMenu.h"

#include "ZelFlat.h"
#include "ZelWindow.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionMenuItem>

namespace {
constexpr int ItemHeight = 24;
constexpr int SeparatorHeight = 7;
constexpr int TextGap = 10;     // from the column to the caption
constexpr int ArrowSpace = 18;  // right of the caption: the submenu arrow
const QColor ColumnLight(0xFF, 0xFF, 0xFF);
const QColor ColumnDark(0xE4, 0xE9, 0xEF);
const QColor MenuBorder(0xB9, 0xC1, 0xCC);
}  // namespace

TzelMenuStyle::TzelMenuStyle() : FMenuColor(ColorFromBGR(MenuColorBGR)) {}

void TzelMenuStyle::PaintColumn(QPainter* p, const QRect& area, const QRect& menuRect) const
{
    const QRect column(menuRect.left(), menuRect.top(), ColumnWidth + 2, menuRect.height());
    const QRect r = column.intersected(area);
    if (r.isEmpty())
        return;
    // Across the column, light to dark, the same for every item.
    QLinearGradient g(column.left(), 0, column.right() + 1, 0);
    g.setColorAt(0, ColumnLight);
    g.setColorAt(1, ColumnDark);
    p->fillRect(r, g);
    p->fillRect(QRect(column.right() + 1, r.top(), 1, r.height()).intersected(area), QColor(0xD8, 0xDE, 0xE5));
}

void TzelMenuStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* p, const QWidget* widget) const
{
    switch (element) {
    case PE_PanelMenu:
        p->fillRect(option->rect, FMenuColor);
        if (widget)
            PaintColumn(p, option->rect, widget->rect().adjusted(1, 1, -1, -1));
        return;
    case PE_FrameMenu:
        p->save();
        p->setPen(QPen(MenuBorder, 0));
        p->setBrush(Qt::NoBrush);
        p->drawRect(QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5));
        p->restore();
        return;
    default:
        QProxyStyle::drawPrimitive(element, option, p, widget);
    }
}

void TzelMenuStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* p, const QWidget* widget) const
{
    if (element == CE_MenuEmptyArea) {
        p->fillRect(option->rect, FMenuColor);
        if (widget)
            PaintColumn(p, option->rect, widget->rect().adjusted(1, 1, -1, -1));
        return;
    }
    const auto* mi = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != CE_MenuItem || !mi) {
        QProxyStyle::drawControl(element, option, p, widget);
        return;
    }
    const QRect menuRect = widget ? widget->rect().adjusted(1, 1, -1, -1) : mi->menuRect;
    const QRect r = mi->rect;
    p->save();
    p->fillRect(r, FMenuColor);
    PaintColumn(p, r, menuRect);

    if (mi->menuItemType == QStyleOptionMenuItem::Separator) {
        const int y = r.top() + r.height() / 2;
        p->fillRect(QRect(menuRect.left() + ColumnWidth + 2 + TextGap - 4, y, r.right() - (menuRect.left() + ColumnWidth + TextGap) - 2, 1),
                    QColor(0xD3, 0xD9, 0xE0));
        p->restore();
        return;
    }

    const bool enabled = mi->state & State_Enabled;
    const bool selected = enabled && (mi->state & State_Selected);
    p->setRenderHint(QPainter::Antialiasing);
    if (selected) {
        p->setPen(QPen(ZelFlat::Accent, 1));
        p->setBrush(ZelFlat::AccentLight);
        p->drawRoundedRect(QRectF(r).adjusted(2.5, 1.5, -2.5, -1.5), 3, 3);
    }

    // The image, or the check mark, centred in the column.
    const QRect cell(menuRect.left() + 3, r.top() + (r.height() - 22) / 2, 22, 22);
    const bool checked = mi->checkType != QStyleOptionMenuItem::NotCheckable && mi->checked;
    if (!mi->icon.isNull()) {
        if (checked) {
            p->setPen(QPen(ZelFlat::Accent, 1));
            p->setBrush(selected ? Qt::white : ZelFlat::AccentLight);
            p->drawRoundedRect(QRectF(cell).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        }
        const QSize is(16, 16);
        mi->icon.paint(p, QRect(cell.center() - QPoint(7, 7), is), Qt::AlignCenter, enabled ? QIcon::Normal : QIcon::Disabled);
    } else if (checked) {
        const QColor mark = enabled ? ZelFlat::AccentDown : ZelFlat::TextDisabled;
        if (mi->checkType == QStyleOptionMenuItem::Exclusive) {
            p->setPen(Qt::NoPen);
            p->setBrush(mark);
            p->drawEllipse(QRectF(cell).center(), 3.5, 3.5);
        } else {
            ZelFlat::DrawCheckMark(*p, QRectF(cell).adjusted(5, 5, -5, -5), mark, 1.8);
        }
    }

    // The caption, and a shortcut after a tab at the right.
    QString text = mi->text;
    QString shortcut;
    if (const int tab = text.indexOf(QLatin1Char('\t')); tab >= 0) {
        shortcut = text.mid(tab + 1);
        text = text.left(tab);
    }
    p->setFont(mi->font);
    p->setPen(enabled ? ZelFlat::Text : ZelFlat::TextDisabled);
    const int textLeft = menuRect.left() + ColumnWidth + 2 + TextGap;
    const QRect textRect(textLeft, r.top(), r.right() - textLeft - ArrowSpace, r.height());
    int flags = Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
    if (!proxy()->styleHint(SH_UnderlineShortcut, mi, widget))
        flags |= Qt::TextHideMnemonic;
    p->drawText(textRect, flags | Qt::AlignLeft, text);
    if (!shortcut.isEmpty())
        p->drawText(textRect, Qt::AlignVCenter | Qt::AlignRight | Qt::TextSingleLine, shortcut);

    if (mi->menuItemType == QStyleOptionMenuItem::SubMenu) {
        const QPointF c(r.right() - 10.5, r.center().y() + 0.5);
        QPainterPath arrow;
        arrow.moveTo(c.x() - 2, c.y() - 4);
        arrow.lineTo(c.x() + 2, c.y());
        arrow.lineTo(c.x() - 2, c.y() + 4);
        p->setPen(QPen(enabled ? ZelFlat::Slate : ZelFlat::TextDisabled, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p->setBrush(Qt::NoBrush);
        p->drawPath(arrow);
    }
    p->restore();
}

int TzelMenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    switch (metric) {
    case PM_MenuPanelWidth: return 1;
    case PM_MenuHMargin: return 0;
    case PM_MenuVMargin: return 2;
    case PM_SmallIconSize: return 16;
    case PM_MenuDesktopFrameWidth: return 0;
    default: return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

QSize TzelMenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size, const QWidget* widget) const
{
    const auto* mi = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (type != CT_MenuItem || !mi)
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    if (mi->menuItemType == QStyleOptionMenuItem::Separator)
        return {ColumnWidth + 2 + TextGap, SeparatorHeight};
    const QFontMetrics fm(mi->font);
    QString text = mi->text;
    int shortcutW = 0;
    if (const int tab = text.indexOf(QLatin1Char('\t')); tab >= 0) {
        shortcutW = fm.horizontalAdvance(text.mid(tab + 1)) + 24;
        text = text.left(tab);
    }
    text.remove(QLatin1Char('&'));
    const int w = ColumnWidth + 2 + TextGap + fm.horizontalAdvance(text) + shortcutW + ArrowSpace + 8;
    return {std::max(w, 120), std::max(ItemHeight, fm.height() + 8)};
}

// ---- menu ----------------------------------------------------------------------------------

TzelPopupMenu::TzelPopupMenu(QWidget* parent) : QMenu(parent), FStyle(new TzelMenuStyle) { Init(); }

TzelPopupMenu::TzelPopupMenu(const QString& title, QWidget* parent) : QMenu(title, parent), FStyle(new TzelMenuStyle) { Init(); }

void TzelPopupMenu::Init()
{
    // The style lives as long as the menu that uses it.
    FStyle->setParent(this);
    setStyle(FStyle);
    ZelFlat::KeepAccessibleName(this, [this] { return title(); });
    QFont f = font();
    f.setFamily(QStringLiteral("Arial"));
    f.setPixelSize(12);
    setFont(f);
}

void TzelPopupMenu::SetImages(const QList<QPixmap>& images) { FImages = images; }

void TzelPopupMenu::SetImageIndex(QAction* item, int imageIndex)
{
    if (!item)
        return;
    item->setIcon(imageIndex >= 0 && imageIndex < FImages.size() ? QIcon(FImages[imageIndex]) : QIcon());
}

QAction* TzelPopupMenu::AddItem(const QString& caption, int imageIndex)
{
    QAction* a = addAction(caption);
    SetImageIndex(a, imageIndex);
    return a;
}

TzelPopupMenu* TzelPopupMenu::AddSubMenu(const QString& caption)
{
    auto* sub = new TzelPopupMenu(caption, this);
    sub->SetImages(FImages);
    sub->SetMenuColor(FStyle->MenuColor());
    addMenu(sub);
    return sub;
}

void TzelPopupMenu::SetMenuColor(const QColor& color)
{
    FStyle->SetMenuColor(color);
    update();
}

void TzelPopupMenu::SetMenuColorBGR(int bgr) { SetMenuColor(ColorFromBGR(bgr)); }
