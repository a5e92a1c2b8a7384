#include "ZelAccessible.h"

QString ShortNameFromObjectName(const QString& objectName)
{
    int start = 0;
    while (start < objectName.size() && objectName[start].isLower())
        ++start;
    // All lower case ("photos"): nothing was a prefix.
    if (start == objectName.size())
        start = 0;
    QString out;
    for (int i = start; i < objectName.size(); ++i) {
        const QChar c = objectName[i];
        if (c == '_') {
            if (!out.isEmpty() && !out.endsWith(' '))
                out += ' ';
            continue;
        }
        const bool wordStart = c.isUpper() && i > start && !objectName[i - 1].isUpper();
        if (wordStart && !out.isEmpty() && !out.endsWith(' '))
            out += ' ';
        out += out.isEmpty() ? c.toUpper() : (wordStart ? c.toLower() : c);
    }
    return out.trimmed();
}

QString ControlDisplayName(const QString& caption, const QString& hint, const QString& objectName)
{
    QString text = caption;
    text.remove('&');
    if (!text.trimmed().isEmpty())
        return text.trimmed();
    if (!hint.trimmed().isEmpty())
        return hint.trimmed();
    return ShortNameFromObjectName(objectName);
}
