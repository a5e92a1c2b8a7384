#include "VGUIApp.h"

#include "VGApp.h"
#include "Zelfunction.h"

#include <QImageReader>

TUIApp* UIApp = nullptr;

TUIApp::TUIApp(const QString& exeFolder) : FExeFolder(exeFolder.isEmpty() ? QString() : IncludeTrailingSlash(exeFolder)) {}

TUIApp::~TUIApp()
{
    if (UIApp == this)
        UIApp = nullptr;
}

const QImage& TUIApp::SelectFlagImage() { return Mark(FSelectFlag, "resource/SelectFlag.png"); }

const QImage& TUIApp::DeleteFlagImage() { return Mark(FDeleteFlag, "resource/DeleteFlag.png"); }

const QImage& TUIApp::Mark(std::optional<QImage>& slot, const char* file)
{
    if (slot)
        return *slot;
    // The folder is settled on first use: this object exists before the
    // application object does.
    const QString exe = !FExeFolder.isEmpty() ? FExeFolder : App ? App->ExeFolder : GetExeFolder();
    const QString path = exe + QLatin1String(file);
    // Decoded in full now, so drawing a hundred thumbnails reads nothing more.
    QImageReader reader(path);
    slot = reader.read();
    if (slot->isNull())
        MsgOut(QStringLiteral("Picture \"%1\" not loaded: %2").arg(path, reader.errorString()));
    return *slot;
}
