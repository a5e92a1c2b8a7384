#pragma once
// The conversion's progress window: a small rounded panel with the percent
// bar, Minimize and Cancel. It starts the project's conversion thread, hears
// its progress, finish or error, and ends with OK when a GIF was made.

#include "BaseFrm.h"

#include <memory>

class QLabel;
class TConvertEvents;
class TVGProj;
class TVideo2GifThread;
class TzelButton;
class TzelPanel;
class TzelProgressBar;

class TPublishForm : public TBaseForm {
    Q_OBJECT
public:
    explicit TPublishForm(QWidget* parent = nullptr);
    ~TPublishForm() override;

    TzelPanel* RzPanel1 = nullptr;
    QLabel* lblWait = nullptr;
    TzelProgressBar* ProgressBar = nullptr;
    TzelButton* btnMin = nullptr;
    TzelButton* btnCancel = nullptr;

    // What the conversion thread reports to: messages posted here arrive as
    // the window's progress, finish and error.
    TConvertEvents* Receiver() const { return FEvents; }
    // Starts the project's conversion, reporting to this window; the thread
    // belongs to the window from then on.
    void StartConversion(TVGProj* proj);
    TVideo2GifThread* Thread() const { return FThread.get(); }
    // Centres the window on another window (the main window).
    void CenterOver(QWidget* over);

    void ConvertProgress(int percent);
    void ConvertFinish(int written, int limit);
    void ConvertError(const QString& text);
    void btnCancelClick();
    void btnMinClick();

protected:
    void FormCreate() override;
    void ApplySkin() override;
    bool IsCaptionAt(QPoint local) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TVGProj* FProj = nullptr;
    std::unique_ptr<TVideo2GifThread> FThread;
    TConvertEvents* FEvents = nullptr;
    bool FEnded = false;
    // While "Stop conversion now?" is open, an ending the thread reports
    // waits for the answer.
    bool FAsking = false;
    enum class TPending { None, Finish, Error } FPending = TPending::None;
    int FPendingWritten = 0, FPendingLimit = 0;
    QString FPendingError;
};

// Runs the conversion of the project behind the progress window, centred on
// `over`; true when it finished and the GIF can be previewed.
bool ShowPublishForm(TVGProj* proj, QWidget* over = nullptr);
