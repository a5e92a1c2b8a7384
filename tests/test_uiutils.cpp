// The real message box behind MsgBox: buttons, icons, answers, Esc, and a
// call from a worker thread shown by the main thread.
#include "TestSupport.h"

#include "Zelfunction.h"
#include "UIUtils.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QKeyEvent>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
struct SeenBox { QString title, text; QMessageBox::Icon icon = QMessageBox::NoIcon; QList<QMessageBox::StandardButton> buttons; };

// Watches for the box, notes what it shows and presses `press` (NoButton:
// Esc). The timer lives until the box has been answered.
void AnswerNextBox(SeenBox& seen, QMessageBox::StandardButton press)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, &seen, press] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        for (QAbstractButton* b : box->buttons())
            seen.buttons.append(box->standardButton(b));
        if (press == QMessageBox::NoButton) {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::sendEvent(box, &esc);
        } else {
            box->button(press)->click();
        }
    });
    timer->start(10);
}

class GuiMsgBox : public ::testing::Test {
protected:
    void SetUp() override { InstallGuiMsgBox(); }
    void TearDown() override { TestMsgBox::Install(); }
};
}  // namespace

TEST_F(GuiMsgBox, ButtonsIconsAndAnswers)
{
    SeenBox seen;
    AnswerNextBox(seen, QMessageBox::Ok);
    EXPECT_EQ(MsgBox("Done.", 1, 1), IDOK);
    EXPECT_EQ(seen.text, "Done.");
    EXPECT_EQ(seen.title, "Free Ganterly");
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_EQ(seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});

    seen = {};
    AnswerNextBox(seen, QMessageBox::Cancel);
    EXPECT_EQ(MsgBox("Go on?", 2, 3, 1, "Caption"), IDCANCEL);
    EXPECT_EQ(seen.title, "Caption");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons.size(), 2);

    seen = {};
    AnswerNextBox(seen, QMessageBox::Yes);
    EXPECT_EQ(MsgBox("Overwrite?", 3, 2), IDYES);
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    seen = {};
    AnswerNextBox(seen, QMessageBox::No);
    EXPECT_EQ(MsgBox("Overwrite?", 3, 4), IDNO);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
}

TEST_F(GuiMsgBox, EscapeAnswersTheHarmlessChoice)
{
    SeenBox seen;
    AnswerNextBox(seen, QMessageBox::NoButton);
    EXPECT_EQ(MsgBox("Overwrite?", 3, 2), IDNO);
    AnswerNextBox(seen, QMessageBox::NoButton);
    EXPECT_EQ(MsgBox("Go on?", 2, 2), IDCANCEL);
    AnswerNextBox(seen, QMessageBox::NoButton);
    EXPECT_EQ(MsgBox("Note", 1, 1), IDOK);
}

TEST_F(GuiMsgBox, AWorkerThreadsBoxIsShownByTheMainThread)
{
    SeenBox seen;
    int answer = 0;
    std::unique_ptr<QThread> worker(QThread::create([&answer] { answer = MsgBox("From a worker", 3, 2); }));
    AnswerNextBox(seen, QMessageBox::Yes);
    worker->start();
    while (!worker->wait(10))
        QCoreApplication::processEvents();
    EXPECT_EQ(answer, IDYES);
    EXPECT_EQ(seen.text, "From a worker");
}
