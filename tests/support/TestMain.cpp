// Test main: runs every test with a real QApplication on the offscreen
// platform, a private home and data folder, and message boxes answered by the
// test seam instead of a person.
#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QDir(home.path()).filePath("data").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", QDir(home.path()).filePath("run").toLocal8Bit());
    // 0700, or Qt ignores the folder and falls back to one shared by every
    // test process of the user, where lock files of parallel runs collide.
    const QString run = QDir(home.path()).filePath("run");
    QDir().mkpath(run);
    QFile::setPermissions(run, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QApplication app(argc, argv);
    if (const int code = RunChildIfAsked(argc, argv); code >= 0) {
        TestMsgBox::Install();
        return code;
    }
    ::testing::InitGoogleTest(&argc, argv);
    TestMsgBox::Install();
    return RUN_ALL_TESTS();
}
