#pragma once
// A page control drawn flat like the rest of the skin: tabs as captions on
// white with the accent line under the active one, the pages inside a
// rounded frame. A QTabWidget underneath, so keys (Ctrl+Tab, arrows on the
// tabs) and the accessible page-tab roles are Qt's.

#include <QTabBar>
#include <QTabWidget>

class TzelTabBar : public QTabBar {
    Q_OBJECT
public:
    explicit TzelTabBar(QWidget* parent = nullptr);

protected:
    QSize tabSizeHint(int index) const override;
    void paintEvent(QPaintEvent* e) override;
};

class TzelPageControl : public QTabWidget {
    Q_OBJECT
public:
    explicit TzelPageControl(QWidget* parent = nullptr);

    // A new page (a plain white widget children are placed on) with the tab
    // caption; "&&" shows as one ampersand.
    QWidget* AddPage(const QString& caption, const QString& objectName);
    int ActivePageIndex() const { return currentIndex(); }
    // An index out of range keeps the page shown.
    void SetActivePageIndex(int index);

protected:
    void paintEvent(QPaintEvent* e) override;
};
