#include "TzelEdit.h"

#include "ZelAccessible.h"

#include <QEvent>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <algorithm>
#include <climits>

TzelEdit::TzelEdit(QWidget* parent) : QLineEdit(parent)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFrame(false);
    setAttribute(Qt::WA_Hover);
    setTextMargins(4, 0, 4, 0);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, QColor(0x46, 0x46, 0x46));
    pal.setColor(QPalette::Highlight, QColor(0x1F, 0xB5, 0xA8));
    pal.setColor(QPalette::HighlightedText, Qt::white);
    setPalette(pal);
    UpdateValidator();
    setText(QStringLiteral("0"));
    connect(this, &QLineEdit::editingFinished, this, &TzelEdit::Normalise);
    connect(this, &QObject::objectNameChanged, this, &TzelEdit::UpdateAccessibleName);
    UpdateAccessibleName();
}

void TzelEdit::UpdateValidator()
{
    // Ten digits hold every int; the value is clamped when read.
    const QString re = FMin < 0 ? QStringLiteral("^-?\\d{0,10}$") : QStringLiteral("^\\d{0,10}$");
    delete validator();
    setValidator(new QRegularExpressionValidator(QRegularExpression(re), this));
}

int TzelEdit::Value() const
{
    bool ok = false;
    const qlonglong v = text().trimmed().toLongLong(&ok);
    return int(std::clamp<qlonglong>(ok ? v : 0, FMin, FMax));
}

void TzelEdit::SetValue(int value)
{
    const QString t = QString::number(std::clamp(value, FMin, FMax));
    if (t != text())
        setText(t);
}

void TzelEdit::SetMin(int min)
{
    FMin = min;
    FMax = std::max(FMax, FMin);
    UpdateValidator();
    Normalise();
}

void TzelEdit::SetMax(int max)
{
    FMax = max;
    FMin = std::min(FMin, FMax);
    Normalise();
}

void TzelEdit::Normalise() { SetValue(Value()); }

void TzelEdit::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    // Left empty (or with a lone sign) shows what it reads as.
    if (text().trimmed().isEmpty() || text() == QLatin1String("-"))
        Normalise();
}

void TzelEdit::SetHint(const QString& hint)
{
    setToolTip(hint);
    UpdateAccessibleName();
}

void TzelEdit::UpdateAccessibleName()
{
    // A name the form set itself stays.
    if (!accessibleName().isEmpty() && accessibleName() != FAutoName)
        return;
    FAutoName = ControlDisplayName(QString(), toolTip(), objectName());
    setAccessibleName(FAutoName);
}

bool TzelEdit::event(QEvent* e)
{
    if (e->type() == QEvent::ToolTipChange)
        UpdateAccessibleName();
    return QLineEdit::event(e);
}

void TzelEdit::paintEvent(QPaintEvent* e)
{
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QColor border(0xC3, 0xC9, 0xD2);
        if (!isEnabled())
            border = QColor(0xDE, 0xE1, 0xE6);
        else if (hasFocus())
            border = QColor(0x1F, 0xB5, 0xA8);
        else if (underMouse())
            border = QColor(0x8A, 0x96, 0xA8);
        p.setPen(QPen(border, 1));
        p.setBrush(isEnabled() ? QColor(Qt::white) : QColor(0xF4, 0xF5, 0xF7));
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    }
    QLineEdit::paintEvent(e);
}
