#include "ZelNumEdit.h"

#include "ZelFlat.h"

#include <QPainter>
#include <QRegularExpressionValidator>
#include <cmath>

TzelNumericEdit::TzelNumericEdit(QWidget* parent) : QLineEdit(parent)
{
    ZelFlat::StyleLineEdit(this);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ZelFlat::KeepAccessibleName(this, {});
    UpdateValidator();
    setText(FormatValue(0));
    connect(this, &QLineEdit::editingFinished, this, &TzelNumericEdit::Reformat);
}

void TzelNumericEdit::SetDisplayFormat(const QString& format)
{
    FFormat = format;
    const int dot = format.indexOf(QLatin1Char('.'));
    FDecimals = 0;
    if (dot >= 0)
        for (int i = dot + 1; i < format.size() && (format[i] == QLatin1Char('0') || format[i] == QLatin1Char('#')); ++i)
            ++FDecimals;
    UpdateValidator();
    Reformat();
}

void TzelNumericEdit::UpdateValidator()
{
    // Fifteen digits keep every typed number exact in a double.
    QString re = FAllowNegative ? QStringLiteral("[-+]?") : QStringLiteral("\\+?");
    re += QStringLiteral("\\d{0,15}");
    if (FDecimals > 0)
        re += QStringLiteral("([.,]\\d{0,%1})?").arg(FDecimals);
    else
        re += QStringLiteral("([.,]\\d*)?");
    delete validator();
    setValidator(new QRegularExpressionValidator(QRegularExpression(QLatin1Char('^') + re + QLatin1Char('$')), this));
}

double TzelNumericEdit::Clamped(double v) const
{
    if (!std::isfinite(v))
        return 0;
    if (!FAllowNegative && v < 0)
        v = 0;
    if (FMin <= FMax)
        v = std::clamp(v, FMin, FMax);
    return v;
}

double TzelNumericEdit::Value() const
{
    QString t = text().trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = t.toDouble(&ok);
    return Clamped(ok ? v : 0);
}

void TzelNumericEdit::SetValue(double value)
{
    const QString t = FormatValue(Clamped(value));
    if (t != text())
        setText(t);
}

void TzelNumericEdit::SetRange(double min, double max)
{
    FMin = min;
    FMax = max;
    Reformat();
}

void TzelNumericEdit::SetAllowNegative(bool allow)
{
    FAllowNegative = allow;
    UpdateValidator();
    Reformat();
}

QString TzelNumericEdit::FormatValue(double value) const
{
    if (!std::isfinite(value))
        value = 0;
    // Halves away from zero, as the format rounds: 2.5 shows as 3, -2.5 as -3.
    const double scale = std::pow(10.0, FDecimals);
    double r = std::round(value * scale) / scale;
    if (r == 0)
        r = 0;  // no "-0"
    return QString::number(r, 'f', FDecimals);
}

void TzelNumericEdit::Reformat() { SetValue(Value()); }

void TzelNumericEdit::enterEvent(QEnterEvent* e)
{
    FHot = true;
    update();
    QLineEdit::enterEvent(e);
}

void TzelNumericEdit::leaveEvent(QEvent* e)
{
    FHot = false;
    update();
    QLineEdit::leaveEvent(e);
}

void TzelNumericEdit::paintEvent(QPaintEvent* e)
{
    {
        QPainter p(this);
        ZelFlat::PaintField(p, this, FHot);
    }
    QLineEdit::paintEvent(e);
}
