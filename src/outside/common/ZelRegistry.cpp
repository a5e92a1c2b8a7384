// The installer's record. The machine-wide registry stands as a plain INI
// file beside the program (ExeFolder + "registry.ini"):
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Classes\Vexmora.ProjFile]
//   insguid={0F1E2D3C-...}
//
// Section and value names compare without regard to case, as registry names
// do. The parser is our own because QSettings treats backslashes in section
// names as group separators.
#include "Zelfunction.h"

#include <QFile>
#include <QMutex>
#include <QSaveFile>
#include <QTextStream>

namespace {
QMutex gRegLock;
QString gRegFile;

QString RootName(uintptr_t root)
{
    switch (root) {
    case HKEY_CURRENT_USER: return QStringLiteral("HKEY_CURRENT_USER");
    case HKEY_LOCAL_MACHINE: return QStringLiteral("HKEY_LOCAL_MACHINE");
    default: return {};
    }
}

QString SectionName(uintptr_t root, const QString& key)
{
    QString k = key;
    while (k.startsWith(QLatin1Char('\\')))
        k.remove(0, 1);
    while (k.endsWith(QLatin1Char('\\')))
        k.chop(1);
    return RootName(root) + QLatin1Char('\\') + k;
}

QStringList ReadLines(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QString text = QString::fromUtf8(f.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text.split(QLatin1Char('\n'));
}

bool IsSection(const QString& trimmed) { return trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']')); }

bool IsComment(const QString& trimmed) { return trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#')); }

// The value of name in line, when line assigns it.
bool ParseValue(const QString& trimmed, const QString& name, QString* value)
{
    const qsizetype eq = trimmed.indexOf(QLatin1Char('='));
    if (eq < 0 || trimmed.left(eq).trimmed().compare(name, Qt::CaseInsensitive) != 0)
        return false;
    QString v = trimmed.mid(eq + 1).trimmed();
    if (v.size() >= 2 && v.startsWith(QLatin1Char('"')) && v.endsWith(QLatin1Char('"')))
        v = v.mid(1, v.size() - 2);
    if (value)
        *value = v;
    return true;
}
}  // namespace

QString RegistryFile()
{
    QMutexLocker lock(&gRegLock);
    if (gRegFile.isEmpty())
        gRegFile = GetExeFolder() + QStringLiteral("registry.ini");
    return gRegFile;
}

void SetRegistryFile(const QString& path)
{
    QMutexLocker lock(&gRegLock);
    gRegFile = path;
}

QString ReadRegString(uintptr_t root, const QString& key, const QString& name)
{
    if (RootName(root).isEmpty())
        return {};
    const QString section = SectionName(root, key);
    bool inSection = false;
    for (const QString& line : ReadLines(RegistryFile())) {
        const QString t = line.trimmed();
        if (t.isEmpty() || IsComment(t))
            continue;
        if (IsSection(t)) {
            inSection = t.mid(1, t.size() - 2).trimmed().compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        QString value;
        if (inSection && ParseValue(t, name, &value))
            return value;
    }
    return {};
}

bool WriteRegString(uintptr_t root, const QString& key, const QString& name, const QString& value)
{
    if (RootName(root).isEmpty() || name.isEmpty())
        return false;
    const QString section = SectionName(root, key);
    const QString file = RegistryFile();
    QStringList lines = ReadLines(file);
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    const QString assignment = name + QLatin1Char('=') + value;

    qsizetype sectionAt = -1, insertAt = -1;
    bool done = false;
    for (qsizetype i = 0; i < lines.size() && !done; ++i) {
        const QString t = lines[i].trimmed();
        if (IsSection(t)) {
            if (sectionAt >= 0)
                break;
            if (t.mid(1, t.size() - 2).trimmed().compare(section, Qt::CaseInsensitive) == 0)
                sectionAt = insertAt = i + 1;
            continue;
        }
        if (sectionAt < 0 || t.isEmpty() || IsComment(t))
            continue;
        insertAt = i + 1;
        if (ParseValue(t, name, nullptr)) {
            lines[i] = assignment;
            done = true;
        }
    }
    if (!done) {
        if (sectionAt < 0) {
            if (!lines.isEmpty())
                lines.append(QString());
            lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
            lines.append(assignment);
        } else {
            lines.insert(insertAt, assignment);
        }
    }

    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    out.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    return out.commit();
}
