#pragma once
// A push button drawn from skin pictures: up, hot (under the mouse), down and
// disabled, stretched to the button or centred at their own size, with a
// caption on top, and an optional glyph: centred alone, or above the caption
// with the two centred as one block. Without pictures it paints a flat rounded button, so every
// window is usable before its skin exists.
//
// It is a QAbstractButton: click on release inside the button, keyboard
// activation, auto-repeat and the accessible push-button role come from Qt.
// OnMouseDown and OnMouseUp report every mouse button, for owners that run
// their own repeat timer.

#include <QAbstractButton>
#include <QPixmap>

class TzelButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TzelButton(QWidget* parent = nullptr);
    TzelButton(const QString& caption, QWidget* parent = nullptr);

    // Keeps the accessible name in step (caption, else hint, else a name made
    // from the object name).
    void SetCaption(const QString& caption);
    QString Caption() const { return text(); }
    void SetHint(const QString& hint) { setToolTip(hint); }
    QString Hint() const { return toolTip(); }

    // A missing hot picture falls back to up, a missing down picture to hot;
    // a missing disabled picture is the up picture faded.
    void SetPictures(const QPixmap& up, const QPixmap& hot, const QPixmap& down, const QPixmap& disabled = QPixmap());
    void SetUpPicture(const QPixmap& p);
    void SetHotPicture(const QPixmap& p);
    void SetDownPicture(const QPixmap& p);
    void SetDisabledPicture(const QPixmap& p);
    bool HasPictures() const { return !FUp.isNull(); }
    void SetStretch(bool stretch);
    bool Stretch() const { return FStretch; }

    // A small picture drawn on the face (its device pixel ratio is kept, so
    // an @2x picture draws at half its pixel size); faded when disabled and
    // one pixel lower while pressed. A null pixmap removes it.
    void SetGlyph(const QPixmap& glyph);
    QPixmap Glyph() const { return FGlyph; }

    // Held down: one click after `delayMs`, then one every `intervalMs`, and
    // the usual click on release.
    void SetRepeat(bool on, int delayMs = 500, int intervalMs = 50);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The state a paint shows: 0 up, 1 hot, 2 down, 3 disabled.
    int PaintState() const;

Q_SIGNALS:
    void OnMouseDown(Qt::MouseButton button);
    void OnMouseUp(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    bool event(QEvent* e) override;

private:
    void Init();
    void UpdateAccessibleName();
    void PaintFlat(QPainter& p, int state);
    const QPixmap& PictureFor(int state) const;
    void PaintGlyph(QPainter& p, int state, QRect& textRect);

    QPixmap FUp, FHot, FDown, FDisabled;
    QPixmap FGlyph, FGlyphGrey;   // the grey copy is what the disabled state fades
    bool FStretch = false;
    QString FNamedFrom;   // caption the accessible name was last made from
};
