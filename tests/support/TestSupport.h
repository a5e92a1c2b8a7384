#pragma once
// Shared helpers of the tests.

#include <QString>
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

// Folder of the shared media files, or empty when it is not there.
QString SharedMediaDir();
// A fresh folder for one test, removed at exit of the process.
QString MakeTempDir(const QString& tag);
