#include "ZelCheckBox.h"

#include "ZelFlat.h"

#include <QButtonGroup>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int Box = 14;      // the indicator's side
constexpr int Gap = 6;       // between the indicator and the caption

QRectF IndicatorRect(const QWidget* w) { return QRectF(0.5, (w->height() - Box) / 2 + 0.5, Box - 1, Box - 1); }

QSize IndicatorSizeHint(const QAbstractButton* b)
{
    const QFontMetrics fm(b->font());
    const QString text = QString(b->text()).remove(QLatin1Char('&'));
    const int textW = text.isEmpty() ? 0 : Gap + fm.horizontalAdvance(text) + 2;
    return {Box + textW, std::max(Box + 2, fm.height() + 2)};
}

void PaintCaption(QPainter& p, const QAbstractButton* b)
{
    if (b->text().isEmpty())
        return;
    p.setPen(b->isEnabled() ? b->palette().color(QPalette::WindowText) : ZelFlat::TextDisabled);
    if (b->isEnabled() && b->palette().color(QPalette::WindowText) == QPalette().color(QPalette::WindowText))
        p.setPen(ZelFlat::Text);
    p.setFont(b->font());
    const QRect r(Box + Gap, 0, b->width() - Box - Gap, b->height());
    p.drawText(r, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextShowMnemonic,
               p.fontMetrics().elidedText(b->text(), Qt::ElideRight, r.width(), Qt::TextShowMnemonic));
}

bool KeyboardFocus(const QWidget* w) { return w->hasFocus() && w->window()->testAttribute(Qt::WA_KeyboardFocusChange); }
}  // namespace

void PaintFlatCheck(QPainter& p, const QRectF& box, Qt::CheckState state, bool enabled, bool hot, bool down, bool focusRing)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (focusRing) {
        p.setPen(QPen(ZelFlat::AccentLight, 3));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(box.adjusted(-1, -1, 1, 1), 4, 4);
    }
    const bool on = state != Qt::Unchecked;
    QColor fill = on ? (down ? ZelFlat::AccentDown : ZelFlat::Accent) : (down ? ZelFlat::AccentLight : ZelFlat::Face);
    QColor border = on ? fill : (hot || down ? ZelFlat::Accent : ZelFlat::BorderHot);
    if (!enabled) {
        fill = on ? ZelFlat::Border : ZelFlat::FaceDisabled;
        border = on ? ZelFlat::Border : ZelFlat::BorderDisabled;
    }
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(box, 3, 3);
    if (state == Qt::Checked) {
        ZelFlat::DrawCheckMark(p, box.adjusted(1.5, 1.5, -1.5, -1.5), Qt::white, 1.8);
    } else if (state == Qt::PartiallyChecked) {
        p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
        const qreal y = box.center().y();
        p.drawLine(QPointF(box.left() + 3.5, y), QPointF(box.right() - 3.5, y));
    }
    p.restore();
}

void PaintFlatRadio(QPainter& p, const QRectF& box, bool checked, bool enabled, bool hot, bool down, bool focusRing)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (focusRing) {
        p.setPen(QPen(ZelFlat::AccentLight, 3));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(box.adjusted(-1, -1, 1, 1));
    }
    QColor border = checked ? ZelFlat::Accent : (hot || down ? ZelFlat::Accent : ZelFlat::BorderHot);
    QColor fill = down ? ZelFlat::AccentLight : ZelFlat::Face;
    QColor dot = down ? ZelFlat::AccentDown : ZelFlat::Accent;
    if (!enabled) {
        border = ZelFlat::BorderDisabled;
        fill = ZelFlat::FaceDisabled;
        dot = ZelFlat::Border;
    }
    p.setPen(QPen(border, checked ? 1.5 : 1));
    p.setBrush(fill);
    p.drawEllipse(checked ? box.adjusted(0.25, 0.25, -0.25, -0.25) : box);
    if (checked) {
        p.setPen(Qt::NoPen);
        p.setBrush(dot);
        const qreal r = box.width() * 0.22;
        p.drawEllipse(box.center(), r, r);
    }
    p.restore();
}

// ---- check box ---------------------------------------------------------------------------

TzelCheckBox::TzelCheckBox(QWidget* parent) : QCheckBox(parent)
{
    setAttribute(Qt::WA_Hover);
    ZelFlat::KeepAccessibleName(this, [this] { return text(); });
}

TzelCheckBox::TzelCheckBox(const QString& caption, QWidget* parent) : TzelCheckBox(parent) { setText(caption); }

QSize TzelCheckBox::sizeHint() const { return IndicatorSizeHint(this); }

bool TzelCheckBox::hitButton(const QPoint& pos) const { return rect().contains(pos); }

void TzelCheckBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    PaintFlatCheck(p, IndicatorRect(this), checkState(), isEnabled(), underMouse(), isDown(), KeyboardFocus(this));
    PaintCaption(p, this);
}

// ---- radio button ------------------------------------------------------------------------

TzelRadioButton::TzelRadioButton(QWidget* parent) : QRadioButton(parent)
{
    setAttribute(Qt::WA_Hover);
    ZelFlat::KeepAccessibleName(this, [this] { return text(); });
}

TzelRadioButton::TzelRadioButton(const QString& caption, QWidget* parent) : TzelRadioButton(parent) { setText(caption); }

QSize TzelRadioButton::sizeHint() const { return IndicatorSizeHint(this); }

bool TzelRadioButton::hitButton(const QPoint& pos) const { return rect().contains(pos); }

void TzelRadioButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    PaintFlatRadio(p, IndicatorRect(this), isChecked(), isEnabled(), underMouse(), isDown(), KeyboardFocus(this));
    PaintCaption(p, this);
}

// ---- radio group -------------------------------------------------------------------------

TzelRadioGroup::TzelRadioGroup(QWidget* parent) : TzelGroupBox(parent), FGroup(new QButtonGroup(this))
{
    connect(FGroup, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on)
            Q_EMIT ItemIndexChanged(id);
    });
}

void TzelRadioGroup::SetItems(const QStringList& items)
{
    qDeleteAll(FButtons);
    FButtons.clear();
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new TzelRadioButton(items[i], this);
        FGroup->addButton(b, i);
        FButtons.push_back(b);
        b->show();
    }
    Place();
}

QStringList TzelRadioGroup::Items() const
{
    QStringList out;
    for (auto* b : FButtons)
        out << b->text();
    return out;
}

int TzelRadioGroup::ItemIndex() const { return FGroup->checkedId(); }

void TzelRadioGroup::SetItemIndex(int index)
{
    if (index >= 0 && index < FButtons.size()) {
        FButtons[index]->setChecked(true);
        return;
    }
    // None chosen: an exclusive group keeps one checked, so let go for a moment.
    FGroup->setExclusive(false);
    for (auto* b : FButtons)
        b->setChecked(false);
    FGroup->setExclusive(true);
}

TzelRadioButton* TzelRadioGroup::Button(int index) const { return index >= 0 && index < FButtons.size() ? FButtons[index] : nullptr; }

void TzelRadioGroup::resizeEvent(QResizeEvent* e)
{
    TzelGroupBox::resizeEvent(e);
    Place();
}

void TzelRadioGroup::Place()
{
    const int top = int(FrameRect().top()) + (title().isEmpty() ? 6 : fontMetrics().height() / 2 + 6);
    const int rowH = std::max(20, fontMetrics().height() + 6);
    for (int i = 0; i < FButtons.size(); ++i)
        FButtons[i]->setGeometry(12, top + i * rowH, std::max(0, width() - 24), rowH);
}
