#include "ZelMaskEdit.h"

#include "ZelFlat.h"
#include "ZelTime.h"

#include <QPainter>
#include <QSignalBlocker>
#include <QRegularExpression>
#include <algorithm>

namespace {
// Characters that mean something in Qt's input masks and must be escaped to
// stand for themselves.
bool IsQtMaskChar(QChar c) { return QStringLiteral("AaNnXx90DdHhBb#><![]{}\\;").contains(c); }

// The forms' mask characters in Qt's notation.
QChar QtPlaceOf(QChar c)
{
    switch (c.unicode()) {
    case '0': return QLatin1Char('9');
    case '9': return QLatin1Char('0');
    case '#': return QLatin1Char('#');
    case 'L': return QLatin1Char('A');
    case 'l': return QLatin1Char('a');
    case 'A': return QLatin1Char('N');
    case 'a': return QLatin1Char('n');
    case 'C': return QLatin1Char('X');
    case 'c': return QLatin1Char('x');
    default: return {};
    }
}

bool Fits(QChar c, QChar formsPlace)
{
    switch (formsPlace.unicode()) {
    case '0':
    case '9': return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    case '#': return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('+') || c == QLatin1Char('-');
    case 'L':
    case 'l': return c.isLetter();
    case 'A':
    case 'a': return c.isLetterOrNumber();
    default: return c != QLatin1Char(' ');
    }
}
}  // namespace

TzelMaskEdit::TzelMaskEdit(QWidget* parent) : QLineEdit(parent)
{
    ZelFlat::StyleLineEdit(this);
    ZelFlat::KeepAccessibleName(this, {});
}

void TzelMaskEdit::SetEditMask(const QString& mask)
{
    FMask = mask;
    // "mask;keepLiterals;blank": the last two parts are optional.
    QString body = mask;
    FBlank = QLatin1Char('_');
    const QStringList parts = mask.split(QLatin1Char(';'));
    if (parts.size() >= 2) {
        body = parts.first();
        if (parts.size() >= 3 && !parts[2].isEmpty())
            FBlank = parts[2].front();
    }
    FPlaces.clear();
    QString qt;
    QString formsPlaces;
    for (int i = 0; i < body.size(); ++i) {
        QChar c = body[i];
        if (c == QLatin1Char('>') || c == QLatin1Char('<')) {
            qt += c;
            continue;
        }
        if (c == QLatin1Char('\\') && i + 1 < body.size()) {
            c = body[++i];
            FPlaces.push_back({c});
            qt += QLatin1Char('\\') + QString(c);
            formsPlaces += QChar();
            continue;
        }
        const QChar place = QtPlaceOf(c);
        if (!place.isNull()) {
            FPlaces.push_back({QChar()});
            qt += place;
            formsPlaces += c;
        } else {
            FPlaces.push_back({c});
            qt += IsQtMaskChar(c) ? QLatin1Char('\\') + QString(c) : QString(c);
            formsPlaces += QChar();
        }
    }
    FFormsPlaces = formsPlaces;
    setInputMask(qt.isEmpty() ? QString() : qt + QLatin1Char(';') + FBlank);
    setMaxLength(std::max(1, int(FPlaces.size())));
    Clear();
}

QString TzelMaskEdit::Text() const
{
    if (FPlaces.isEmpty())
        return text();
    const QString shown = displayText();
    QString out;
    for (int i = 0; i < FPlaces.size(); ++i) {
        if (!FPlaces[i].Literal.isNull())
            out += FPlaces[i].Literal;
        else
            out += (i < shown.size() && shown[i] != FBlank) ? shown[i] : QLatin1Char(' ');
    }
    return out;
}

void TzelMaskEdit::SetText(const QString& value)
{
    if (FPlaces.isEmpty()) {
        setText(value);
        return;
    }
    // Qt's mask skips over characters that do not fit and shifts the rest;
    // the forms' text is positional, so each place takes its own character.
    const QString& formsPlaces = FFormsPlaces;
    QString digits;
    for (int i = 0; i < FPlaces.size(); ++i) {
        if (!FPlaces[i].Literal.isNull())
            continue;
        const QChar c = i < value.size() ? value[i] : QChar(QLatin1Char(' '));
        digits += Fits(c, formsPlaces[i]) ? c : QChar(QLatin1Char(' '));
    }
    // Qt's text setter drops a character that does not fit and moves the
    // rest along; typed place by place each stays where it stands. One
    // change signal at the end, as for any other new text.
    const QString before = text();
    {
        const QSignalBlocker quiet(this);
        setText(QString());
        int next = 0;
        for (int i = 0; i < FPlaces.size(); ++i) {
            if (!FPlaces[i].Literal.isNull())
                continue;
            const QChar c = digits[next++];
            if (c == QLatin1Char(' '))
                continue;
            setCursorPosition(i);
            insert(QString(c));
        }
        setCursorPosition(0);
    }
    if (text() != before)
        Q_EMIT textChanged(text());
}

bool TzelMaskEdit::IsEmpty() const
{
    const QString t = Text();
    for (int i = 0; i < FPlaces.size() && i < t.size(); ++i)
        if (FPlaces[i].Literal.isNull() && t[i] != QLatin1Char(' '))
            return false;
    return FPlaces.isEmpty() ? text().isEmpty() : true;
}

void TzelMaskEdit::Clear()
{
    setText(QString());
    setCursorPosition(0);
}

void TzelMaskEdit::focusInEvent(QFocusEvent* e)
{
    QLineEdit::focusInEvent(e);
    update();
}

void TzelMaskEdit::enterEvent(QEnterEvent* e)
{
    FHot = true;
    update();
    QLineEdit::enterEvent(e);
}

void TzelMaskEdit::leaveEvent(QEvent* e)
{
    FHot = false;
    update();
    QLineEdit::leaveEvent(e);
}

void TzelMaskEdit::paintEvent(QPaintEvent* e)
{
    {
        QPainter p(this);
        ZelFlat::PaintField(p, this, FHot);
    }
    QLineEdit::paintEvent(e);
}

// ---- time edit ---------------------------------------------------------------------------

TzelTimeEdit::TzelTimeEdit(QWidget* parent) : TzelMaskEdit(parent)
{
    SetEditMask(QStringLiteral("99:99:99.999;1;_"));
    setAlignment(Qt::AlignCenter);
}

int64_t TzelTimeEdit::Time() const { return IsEmpty() ? NoTime : ParseTime(Text()); }

void TzelTimeEdit::SetTime(int64_t time)
{
    if (time == NoTime) {
        Clear();
        return;
    }
    SetText(FormatTime(time));
}

QString TzelTimeEdit::FormatTime(int64_t time)
{
    // Two hour digits: the most the edit can show is 99:59:59.999.
    constexpr int64_t Largest = ((99 * 60 + 59) * 60 + 59) * UnitsPerSecond + 999999;
    return TimeToText(std::clamp<int64_t>(time == NoTime ? 0 : time, 0, Largest), 3);
}

int64_t TzelTimeEdit::ParseTime(const QString& text)
{
    const int64_t t = TextToTime(text);
    return t == NoTimeValue ? NoTime : t;
}
