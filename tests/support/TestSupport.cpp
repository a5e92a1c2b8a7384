#include "TestSupport.h"

#include "FFDecoder.h"
#include "VGApp.h"
#include "VGUIApp.h"
#include "Zelfunction.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace {
int gAnswer = 0;  // 0: OK for OK boxes, Yes for Yes/No boxes
QList<TestMsgBox::Shown> gSeen;
std::vector<std::unique_ptr<QTemporaryDir>> gDirs;
}

void TestMsgBox::Install()
{
    SetMsgBoxHandler([](const QString& text, const QString& caption, int buttons, int icon) {
        gSeen.append({text, caption, buttons, icon});
        if (gAnswer)
            return gAnswer;
        return buttons == 3 ? IDYES : IDOK;
    });
}

void TestMsgBox::Answer(int result) { gAnswer = result; }
QList<TestMsgBox::Shown>& TestMsgBox::Seen() { return gSeen; }
void TestMsgBox::Clear() { gSeen.clear(); gAnswer = 0; }

QString SharedMediaDir()
{
    QDir d(QStringLiteral(GANTERLY_SHARED_MEDIA));
    return d.exists() ? d.absolutePath() + QLatin1Char('/') : QString();
}

namespace {
QMap<QString, TChildEntry>& Children()
{
    static QMap<QString, TChildEntry> children;
    return children;
}
}

bool RegisterChild(const char* name, TChildEntry entry)
{
    Children().insert(QString::fromLatin1(name), entry);
    return true;
}

QStringList ChildArgs(const char* name) { return {QStringLiteral("--child"), QString::fromLatin1(name)}; }

int RunChildIfAsked(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--child") != 0)
            continue;
        const auto entry = Children().value(QString::fromLatin1(argv[i + 1]));
        if (!entry) {
            fprintf(stderr, "no child entry named %s\n", argv[i + 1]);
            return 2;
        }
        return entry();
    }
    return -1;
}

QString IndependentTool(const QString& name) { return QStandardPaths::findExecutable(name); }

QString MakeTempDir(const QString& tag)
{
    auto dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/ganterly-" + tag + "-XXXXXX");
    QString path = dir->path() + QLatin1Char('/');
    gDirs.push_back(std::move(dir));
    return path;
}

QString ReadText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void WriteText(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

bool PumpUntil(const std::function<bool()>& pred, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Changes one byte of the codec headers: the first bytes that, inverted,
// leave a file the demuxer still reads but whose codec will not open.
// Searched in the first 4 KB and after the MP4 sample description.
bool DamageCodecHeaders(const QString& path, QString* why)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray original = f.readAll();
    f.close();
    std::vector<qsizetype> at;
    for (qsizetype i = 0; i < std::min<qsizetype>(original.size(), 4096); ++i)
        at.push_back(i);
    const qsizetype avcc = original.indexOf("avcC");
    for (qsizetype i = avcc < 0 ? 0 : avcc; avcc >= 0 && i < std::min(original.size(), avcc + 64); ++i)
        at.push_back(i);
    for (const qsizetype i : at) {
        QByteArray bytes = original;
        bytes[i] = char(~bytes[i]);
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size())
            return false;
        out.close();
        TFFDecoder dec;
        if (!dec.LoadFile(path) && dec.LastError().contains("decoder")) {
            *why = dec.LastError();
            return true;
        }
    }
    return false;
}

TApp* StartWindowTestApp()
{
    if (!UIApp)
        UIApp = new TUIApp(QStringLiteral(GANTERLY_BIN_DIR "/"));
    return new TApp(QStringLiteral(GANTERLY_BIN_DIR "/"));
}

void StopWindowTestApp(TApp*& app)
{
    delete app;
    app = nullptr;
}
