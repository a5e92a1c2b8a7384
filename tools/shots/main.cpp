// ganterly-shots OUTDIR: draws every window and widget of the program with
// sample content and saves one PNG each, named after its class, the size of
// its client area; then the same at twice the pixels as NAME@2x.png (the
// tool runs itself again with the scale factor set).
#include "Shots.h"

#include "VGApp.h"
#include "VGConfig.h"
#include "UIUtils.h"
#include "VGUIApp.h"
#include "Zelfunction.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    const bool second = argc == 3 && qstrcmp(argv[2], "--at2x") == 0;
    const bool show = argc == 3 && qstrcmp(argv[1], "--show") == 0;
    if (argc != 2 && !second && !show) {
        std::fprintf(stderr, "usage: ganterly-shots OUTDIR | ganterly-shots --show CLASS\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !show)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (second)
        qputenv("QT_SCALE_FACTOR", "2");
    // Pictures look the same whatever the desktop's settings: our own
    // folders under a private data folder, the language of the forms.
    QApplication app(argc, argv);
    InstallFontSubstitutes();
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + QLatin1Char('/');
    if (!show && !QDir().mkpath(out)) {
        std::fprintf(stderr, "ganterly-shots: cannot make %s\n", qPrintable(out));
        return 1;
    }
    auto uiApp = std::make_unique<TUIApp>();
    UIApp = uiApp.get();
    VGConfig = new TVGConfig;
    auto appObj = std::make_unique<TApp>();
    App = appObj.get();

    if (show) {
        const int code = ShowWindow(QString::fromLocal8Bit(argv[2]));
        if (code == 2)
            std::fprintf(stderr, "ganterly-shots: no window named %s\n", argv[2]);
        App = nullptr;
        appObj.reset();
        UIApp = nullptr;
        delete VGConfig;
        VGConfig = nullptr;
        return code;
    }
    const int failed = TakeShots(out, second ? QStringLiteral("@2x") : QString());

    App = nullptr;
    appObj.reset();
    UIApp = nullptr;
    delete VGConfig;
    VGConfig = nullptr;
    if (second)
        return failed ? 1 : 0;
    // The same pictures at twice the pixels, by a second run of this tool.
    const int again = QProcess::execute(QCoreApplication::applicationFilePath(), {out, QStringLiteral("--at2x")});
    return failed || again != 0 ? 1 : 0;
}
