#pragma once
// Check boxes and radio buttons drawn flat and crisp at any scale: a rounded
// box with a check mark, a ring with a dot, the accent colour when on. The
// whole control (box and caption) takes the click. Qt's classes underneath
// give the keys, the toggled signals and the accessible roles.
//
// TzelRadioGroup is a group box of radio buttons made from a list of items,
// with the index of the one chosen (-1 for none).

#include "ZelPanel.h"

#include <QCheckBox>
#include <QRadioButton>

class QButtonGroup;

class TzelCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit TzelCheckBox(QWidget* parent = nullptr);
    explicit TzelCheckBox(const QString& caption, QWidget* parent = nullptr);
    void SetHint(const QString& hint) { setToolTip(hint); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* e) override;
    bool hitButton(const QPoint& pos) const override;
};

class TzelRadioButton : public QRadioButton {
    Q_OBJECT
public:
    explicit TzelRadioButton(QWidget* parent = nullptr);
    explicit TzelRadioButton(const QString& caption, QWidget* parent = nullptr);
    void SetHint(const QString& hint) { setToolTip(hint); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* e) override;
    bool hitButton(const QPoint& pos) const override;
};

class TzelRadioGroup : public TzelGroupBox {
    Q_OBJECT
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex USER true)
public:
    explicit TzelRadioGroup(QWidget* parent = nullptr);

    // One radio button per item, one below the other.
    void SetItems(const QStringList& items);
    QStringList Items() const;
    int ItemIndex() const;
    // -1 (or an index out of range) chooses none.
    void SetItemIndex(int index);
    TzelRadioButton* Button(int index) const;

Q_SIGNALS:
    void ItemIndexChanged(int index);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void Place();
    QList<TzelRadioButton*> FButtons;
    QButtonGroup* FGroup;
};

// The flat indicator drawings, for controls that show the same marks.
void PaintFlatCheck(QPainter& p, const QRectF& box, Qt::CheckState state, bool enabled, bool hot, bool down, bool focusRing);
void PaintFlatRadio(QPainter& p, const QRectF& box, bool checked, bool enabled, bool hot, bool down, bool focusRing);
