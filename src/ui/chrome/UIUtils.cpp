#include "UIUtils.h"

#include "VGApp.h"
#include "Zelfunction.h"

#include <QApplication>
#include <QFont>
#include <QGuiApplication>
#include <QMessageBox>
#include <QThread>
#include <QWidget>

namespace {
int ShowMessageBox(const QString& text, const QString& caption, int buttons, int icon)
{
    QMessageBox box;
    box.setWindowTitle(caption.isEmpty() ? TApp::ProductTitle() : caption);
    box.setText(text);
    switch (icon) {
    case 2: box.setIcon(QMessageBox::Question); break;
    case 3: box.setIcon(QMessageBox::Warning); break;
    case 4: box.setIcon(QMessageBox::Critical); break;
    default: box.setIcon(QMessageBox::Information); break;
    }
    // Esc and the window's close button answer the harmless choice.
    switch (buttons) {
    case 2:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case 3:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Cancel: return IDCANCEL;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return buttons == 2 ? IDCANCEL : buttons == 3 ? IDNO : IDOK;
    case QMessageBox::Ok: return IDOK;
    }
}
}  // namespace

void InstallGuiMsgBox()
{
    SetMsgBoxHandler([](const QString& text, const QString& caption, int buttons, int icon) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return buttons == 2 ? IDCANCEL : buttons == 3 ? IDNO : IDOK;
        if (QThread::currentThread() == app->thread())
            return ShowMessageBox(text, caption, buttons, icon);
        int answer = IDOK;
        QMetaObject::invokeMethod(
            app, [&] { answer = ShowMessageBox(text, caption, buttons, icon); }, Qt::BlockingQueuedConnection);
        return answer;
    });
}

void InstallFontSubstitutes()
{
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    // The narrow dialog face of the forms: the time edits are sized for it.
    QFont::insertSubstitution(QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"));
}

bool IsInvisiblePlatform()
{
    const QString p = QGuiApplication::platformName();
    return p == QLatin1String("offscreen") || p == QLatin1String("minimal");
}

void SetChildrenEnabled(QWidget* container, bool enabled)
{
    if (!container)
        return;
    for (QWidget* child : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow())
            continue;
        SetChildrenEnabled(child, enabled);
        child->setEnabled(enabled);
    }
}
