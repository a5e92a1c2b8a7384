#include "PublishFrm.h"

#include "TzelButton.h"
#include "VGApp.h"
#include "VGConvert.h"
#include "VGProj.h"
#include "ZelAnchors.h"
#include "ZelFlat.h"
#include "ZelMessages.h"
#include "ZelPanel.h"
#include "ZelProgressBar.h"
#include "Zelfunction.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>

namespace {
constexpr int kClientW = 398, kClientH = 94;
const QString kWait = QStringLiteral("Converting...please wait...");
}  // namespace

TPublishForm::TPublishForm(QWidget* parent) : TBaseForm(parent)
{
    setObjectName(QStringLiteral("PublishForm"));
    setWindowTitle(kWait);
    setFixedSize(kClientW, kClientH);
    // Only the rounded panel shows: the form around it is see-through.
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);

    RzPanel1 = new TzelPanel(this);
    RzPanel1->setObjectName(QStringLiteral("RzPanel1"));
    RzPanel1->setAccessibleName(kWait);
    RzPanel1->SetColor(Qt::white);
    RzPanel1->SetBorder(2, ZelFlat::Slate);
    RzPanel1->SetRadius(9);
    SetBounds(RzPanel1, {0, 0, kClientW, kClientH}, akAll);

    lblWait = new QLabel(kWait, RzPanel1);
    lblWait->setObjectName(QStringLiteral("lblWait"));
    QFont bold(QStringLiteral("Arial"));
    bold.setPixelSize(12);
    bold.setBold(true);
    lblWait->setFont(bold);
    SetBounds(lblWait, {18, 14, kClientW - 36, 16});

    ProgressBar = new TzelProgressBar(RzPanel1);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setAccessibleName(QStringLiteral("Progress"));
    SetBounds(ProgressBar, {18, 38, kClientW - 36, 10}, akLeftTopRight);

    auto button = [this](const char* name, const QString& caption, int x) {
        auto* b = new TzelButton(caption, RzPanel1);
        b->setObjectName(QString::fromLatin1(name));
        SetBounds(b, {x, 59, 75, 23}, akBottomRight);
        return b;
    };
    btnMin = button("btnMin", QStringLiteral("Minimize"), kClientW - 18 - 75 - 8 - 75);
    btnCancel = button("btnCancel", QStringLiteral("Cancel"), kClientW - 18 - 75);
    connect(btnMin, &TzelButton::clicked, this, [this] { btnMinClick(); });
    connect(btnCancel, &TzelButton::clicked, this, [this] { btnCancelClick(); });

    FEvents = new TConvertEvents(this);
    connect(FEvents, &TConvertEvents::Progress, this, &TPublishForm::ConvertProgress);
    connect(FEvents, &TConvertEvents::Finished, this, &TPublishForm::ConvertFinish);
    connect(FEvents, &TConvertEvents::Failed, this, &TPublishForm::ConvertError);

    FormCreate();
}

// The thread is stopped and waited for before the receiver it posts to goes.
TPublishForm::~TPublishForm()
{
    if (FThread)
        FThread->Terminate();
    FThread.reset();
}

void TPublishForm::FormCreate()
{
    TBaseForm::FormCreate();
    ProgressBar->SetPercent(0);
}

void TPublishForm::ApplySkin()
{
    const QString skin = App ? App->SkinFolder() : QString();
    if (skin.isEmpty())
        return;
    for (TzelButton* b : {btnMin, btnCancel}) {
        ApplyButtonSkin(skin, b, QStringLiteral("Button%1.png"));
        b->SetStretch(true);
        if (b->HasPictures()) {
            QPalette pal = b->palette();
            pal.setColor(QPalette::ButtonText, Qt::white);
            b->setPalette(pal);
        }
    }
}

void TPublishForm::StartConversion(TVGProj* proj)
{
    FProj = proj;
    if (FThread) {
        FThread->Terminate();
        FThread.reset();
    }
    if (proj)
        FThread.reset(proj->StartConversion(FEvents));
}

void TPublishForm::CenterOver(QWidget* over)
{
    QWidget* host = over ? over->window() : nullptr;
    if (!host || !host->isVisible()) {
        CenterInWorkArea();
        return;
    }
    const QRect g = host->frameGeometry();
    move(g.left() + (g.width() - width()) / 2, g.top() + (g.height() - height()) / 2);
}

// The panel is dragged like a top bar, wherever no control is.
bool TPublishForm::IsCaptionAt(QPoint local)
{
    QWidget* w = childAt(local);
    return w == nullptr || w == RzPanel1 || w == lblWait;
}

void TPublishForm::ConvertProgress(int percent)
{
    if (!FEnded)
        ProgressBar->SetPercent(percent & 0xFFFF);
}

void TPublishForm::ConvertFinish(int written, int limit)
{
    if (FEnded)
        return;
    if (FAsking) {
        FPending = TPending::Finish;
        FPendingWritten = written;
        FPendingLimit = limit;
        return;
    }
    FEnded = true;
    ProgressBar->SetPercent(100);
    if (written >= limit)
        MsgBox(QStringLiteral("Reached \"Max frame count\" limitation!\r\nYou can go to <Options> to modify it."), 1, 1, 1);
    SetModalResult(mrOk);
}

void TPublishForm::ConvertError(const QString& text)
{
    if (FEnded)
        return;
    if (FAsking) {
        FPending = TPending::Error;
        FPendingError = text;
        return;
    }
    FEnded = true;
    MsgBox(text.isEmpty() ? QStringLiteral("The conversion failed.") : text, 1, 3, 1);
    SetModalResult(mrCancel);
}

void TPublishForm::btnCancelClick()
{
    if (FEnded || FAsking)
        return;
    FAsking = true;
    const int answer = MsgBox(QStringLiteral("Stop conversion now?"), 3, 2, 1);
    FAsking = false;
    if (answer == IDYES) {
        FEnded = true;
        if (FThread)
            FThread->Terminate();
        SetModalResult(mrCancel);
        return;
    }
    // No: what the thread reported meanwhile takes its course now.
    const TPending pending = std::exchange(FPending, TPending::None);
    if (pending == TPending::Finish)
        ConvertFinish(FPendingWritten, FPendingLimit);
    else if (pending == TPending::Error)
        ConvertError(FPendingError);
}

void TPublishForm::btnMinClick()
{
    // The whole application goes down, with the window that started us.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->isWindow() && !(w->windowFlags() & Qt::ToolTip))
            w->showMinimized();
}

// Closed before an ending (by the window system, Alt+F4): the same question as Cancel.
void TPublishForm::closeEvent(QCloseEvent* event)
{
    if (!FEnded) {
        event->ignore();
        btnCancelClick();
        return;
    }
    TBaseForm::closeEvent(event);
}

// Esc, as in every window, asks to stop.
void TPublishForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        btnCancelClick();
        return;
    }
    TBaseForm::keyPressEvent(event);
}

bool ShowPublishForm(TVGProj* proj, QWidget* over)
{
    if (!proj)
        return false;
    TPublishForm form;
    form.StartConversion(proj);
    form.CenterOver(over);
    return form.ShowModal() == mrOk;
}
