#include "ZelTime.h"

#include <QRegularExpression>
#include <algorithm>

QString TimeToText(int64_t time, int digits)
{
    if (time == NoTimeValue || time < 0)
        time = 0;
    digits = std::clamp(digits, 0, 6);
    const int64_t secs = time / TimeUnitsPerSecond;
    const int64_t h = secs / 3600, mi = (secs / 60) % 60, s = secs % 60;
    QString text = QStringLiteral("%1:%2:%3")
                       .arg(h, 2, 10, QLatin1Char('0'))
                       .arg(mi, 2, 10, QLatin1Char('0'))
                       .arg(s, 2, 10, QLatin1Char('0'));
    if (digits > 0) {
        int64_t div = 1;
        for (int i = digits; i < 6; ++i)
            div *= 10;
        const int64_t frac = (time % TimeUnitsPerSecond) / div;  // truncated: 5.1234 s shows as 5.123
        text += QLatin1Char('.') + QStringLiteral("%1").arg(frac, digits, 10, QLatin1Char('0'));
    }
    return text;
}

int64_t TextToTime(const QString& text)
{
    QString t = text;
    t.remove(QLatin1Char(' '));
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    if (t.isEmpty() || t == QLatin1String("::."))
        return NoTimeValue;
    static const QRegularExpression re(QStringLiteral("^(?:(\\d*):)?(?:(\\d*):)?(\\d*)(?:\\.(\\d*))?$"));
    const QRegularExpressionMatch mt = re.match(t);
    if (!mt.hasMatch())
        return NoTimeValue;
    // With one colon the fields are minutes and seconds.
    QString hs = mt.captured(1), ms = mt.captured(2);
    if (mt.capturedStart(2) < 0 && mt.capturedStart(1) >= 0) {
        ms = hs;
        hs.clear();
    }
    const QString ss = mt.captured(3), fs = mt.captured(4);
    if (ss.isEmpty() && fs.isEmpty() && hs.isEmpty() && ms.isEmpty())
        return NoTimeValue;
    if (hs.size() > 9 || ms.size() > 9 || ss.size() > 9)
        return NoTimeValue;
    const int64_t h = hs.toLongLong(), mi = ms.toLongLong(), s = ss.toLongLong();
    int64_t frac = 0;
    if (!fs.isEmpty()) {
        // Microseconds from the fraction, rounded at the seventh digit.
        const QString f = fs.left(7).leftJustified(7, QLatin1Char('0'));
        frac = (f.toLongLong() + 5) / 10;
    }
    return ((h * 60 + mi) * 60 + s) * TimeUnitsPerSecond + frac;
}
