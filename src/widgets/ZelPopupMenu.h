#pragma once
// Pop-up menus drawn with a gradient, as the windows' menu controller draws
// them: the menu colour (16251129 by default, a 0x00BBGGRR number), a
// gradient column on the left holding each item's image from the menu's
// image list or its check mark, the item under the mouse highlighted in the
// accent colour, separators that start after the column, disabled items
// greyed. QMenu underneath: keys, submenus and the accessible menu roles.

#include <QMenu>
#include <QProxyStyle>

class TzelMenuStyle : public QProxyStyle {
    Q_OBJECT
public:
    static constexpr int ColumnWidth = 28;
    static constexpr int MenuColorBGR = 16251129;

    TzelMenuStyle();
    void SetMenuColor(const QColor& color) { FMenuColor = color; }
    QColor MenuColor() const { return FMenuColor; }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size, const QWidget* widget) const override;

private:
    void PaintColumn(QPainter* p, const QRect& area, const QRect& menuRect) const;
    QColor FMenuColor;
};

class TzelPopupMenu : public QMenu {
    Q_OBJECT
public:
    explicit TzelPopupMenu(QWidget* parent = nullptr);
    explicit TzelPopupMenu(const QString& title, QWidget* parent = nullptr);

    // The pictures items name by index (the image list of the forms).
    void SetImages(const QList<QPixmap>& images);
    const QList<QPixmap>& Images() const { return FImages; }
    // An item with the image at imageIndex (-1: none).
    QAction* AddItem(const QString& caption, int imageIndex = -1);
    void SetImageIndex(QAction* item, int imageIndex);
    // A submenu drawn the same way, sharing the image list.
    TzelPopupMenu* AddSubMenu(const QString& caption);

    void SetMenuColor(const QColor& color);
    void SetMenuColorBGR(int bgr);
    TzelMenuStyle* MenuStyle() const { return FStyle; }

private:
    void Init();
    TzelMenuStyle* FStyle;
    QList<QPixmap> FImages;
};
