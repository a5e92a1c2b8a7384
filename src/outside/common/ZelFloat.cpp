// Floating point text as the settings file stores it: written with the
// system's decimal separator, read back with either separator.

#include "ZelFloat.h"
#include "Zelfunction.h"

#include <QLocale>
#include <cmath>

namespace {
std::function<QChar()>& SeparatorSource()
{
    static std::function<QChar()> source;
    return source;
}
}  // namespace

QChar SystemDecimalSeparator()
{
    if (const auto& source = SeparatorSource())
        return source();
    const QString sep = QLocale::system().decimalPoint();
    return sep.isEmpty() ? QChar('.') : sep.at(0);
}

void SetDecimalSeparatorSource(std::function<QChar()> source)
{
    SeparatorSource() = std::move(source);
}

QString FloatToStrSys(double value)
{
    // 'g' with 15 digits is the shortest text that reads back to the value
    // at that precision: 1, 0.5, 0.333333333333333, 1e+20.
    QString text = QString::number(value, 'g', 15);
    const QChar sep = SystemDecimalSeparator();
    if (sep != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), sep);
    return text;
}

double StrToFloatDefEx(const QString& text, double def)
{
    // Either separator is taken as the decimal point, so files move between
    // systems of either convention. A text holding both is a grouped number
    // that no writer of ours produces: not a number.
    QString t = text.trimmed();
    const bool comma = t.contains(QLatin1Char(','));
    if (comma && t.contains(QLatin1Char('.')))
        return def;
    if (comma)
        t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return def;
    return v;
}
