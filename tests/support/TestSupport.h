#pragma once
// Shared helpers of the tests.

#include <QApplication>
#include <QString>
#include <QWidget>
#include <QStringList>
#include <functional>

// Answers every message box; records what was asked.
struct TestMsgBox {
    struct Shown { QString text, caption; int buttons, icon; };
    static void Install();                     // answers OK/Yes by default
    static void Answer(int result);            // answer for the next boxes
    static QList<Shown>& Seen();
    static void Clear();
};

// Whole text file as UTF-8; empty when it cannot be read.
QString ReadText(const QString& path);
// Writes the bytes, creating the folder; fails the current test when it cannot.
void WriteText(const QString& path, const QByteArray& data);
// Serves the main thread's event queue until pred holds or ms have passed.
bool PumpUntil(const std::function<bool()>& pred, int ms = 10000);

// Child processes: a test that needs another process starts this same test
// program with ChildArgs(NAME); main() then runs the entry registered under
// NAME instead of the tests, and its answer is the exit code.
using TChildEntry = int (*)();
bool RegisterChild(const char* name, TChildEntry entry);
QStringList ChildArgs(const char* name);
// Called by main(): the exit code of the child entry named in argv, or -1
// when this is not a child run.
int RunChildIfAsked(int argc, char** argv);
#define TEST_CHILD(name)                                                        \
    static int name##_ChildEntry();                                             \
    [[maybe_unused]] static const bool name##_ChildRegistered = RegisterChild(#name, name##_ChildEntry); \
    static int name##_ChildEntry()

// The path of an independent command-line tool (ffmpeg, ffprobe) that checks
// our output, or empty. CI installs them: there a missing one fails the test
// instead of skipping it, so an independent check cannot silently vanish.
QString IndependentTool(const QString& name);
#define REQUIRE_INDEPENDENT_TOOL(var, name)                                                    \
    const QString var = IndependentTool(QStringLiteral(name));                                 \
    if (var.isEmpty()) {                                                                       \
        if (qEnvironmentVariableIsSet("CI"))                                                   \
            FAIL() << name " is missing: CI must run every independent check (scripts/install-deps installs it)"; \
        GTEST_SKIP() << name " command line missing: the independent check did not run";       \
    }

// Folder of the shared media files, or empty when it is not there.
QString SharedMediaDir();
// A fresh folder for one test, removed at exit of the process.
QString MakeTempDir(const QString& tag);

// Changes one byte of the codec headers of a video file so that its codec no
// longer opens while the demuxer still reads the file; `why` receives the
// decoder's message. False when no single byte does it.
bool DamageCodecHeaders(const QString& path, QString* why);

class TApp;
// The program's start-up objects for window tests: the application object
// over the built program folder, and the skin once per process.
TApp* StartWindowTestApp();
void StopWindowTestApp(TApp*& app);

// The first shown top-level window of type T (a dialog running modally); null when none shows.
template <class T>
T* ShownWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* t = qobject_cast<T*>(w); t && t->isVisible())
            return t;
    return nullptr;
}
