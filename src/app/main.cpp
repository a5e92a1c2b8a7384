// The program: builds the process-wide objects, checks the installation and
// runs the main window.
#include "VGApp.h"
#include "VGUIApp.h"
#include "VGConfig.h"
#include "ZelSignals.h"
#include "Zelfunction.h"
#include "UIUtils.h"
#include "MainFrm.h"

#include <QApplication>
#include <QPointer>
#include <memory>

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(TApp::ProductTitle());
    InstallFontSubstitutes();
    // On a platform nobody can see (offscreen, minimal) a box would wait
    // forever; there MsgBox logs the text and takes the harmless answer.
    if (!IsInvisiblePlatform())
        InstallGuiMsgBox();

    // SIGTERM, SIGINT and SIGHUP close the main window as the user would, so
    // a logout still saves the settings. A signal that comes early waits in
    // the pipe until the loop runs.
    QPointer<TMainForm> mainForm;
    TEndSignals endSignals([&mainForm](int sig) {
        MsgOut(QStringLiteral("Signal %1: closing").arg(sig));
        if (mainForm)
            mainForm->close();
        else
            QCoreApplication::quit();
    });

    auto uiApp = std::make_unique<TUIApp>();
    UIApp = uiApp.get();
    VGConfig = new TVGConfig;  // owned here; CheckInstallGUID may replace it
    VGConfig->FileName = TApp::ConfigFileName();
    auto app = std::make_unique<TApp>();
    App = app.get();

    int rc = 0;
    if (!App->CheckSingleInstance()) {
        // The running instance was notified; this one ends without a window.
    } else if (!App->HasInstallInfo()) {
        MsgBox(QStringLiteral("Installation information missing, try \"Run as administrator\" or reinstall \"%1\".")
                   .arg(TApp::ProductTitle()),
               1, 4);
        rc = 1;
    } else {
        VGConfig->LoadConfig();
        App->CheckInstallGUID();
        mainForm = new TMainForm;
        mainForm->show();
        rc = QApplication::exec();
        // Its destruction saves the settings and empties the working folder.
        delete mainForm;
    }

    App = nullptr;
    app.reset();
    delete VGConfig;
    VGConfig = nullptr;
    UIApp = nullptr;
    uiApp.reset();
    return rc;
}
