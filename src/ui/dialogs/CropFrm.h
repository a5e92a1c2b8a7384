#pragma once
// The crop dialog: switches cropping on or off for the clip and chooses the
// crop rectangle, by dragging it over a picture of the current frame or by
// typing its position and size. The rectangle is kept in pixels of the
// source video; the picture is shown scaled to fit the panel, and only the
// editor works in panel pixels.

#include "BaseUIFrm.h"
#include "ZelPanel.h"

#include <QImage>
#include <functional>

class QLabel;
class TVGProj;
class TzelCheckBox;
class TzelDrawCrop;
class TzelNumericEdit;

// The panel the frame is painted on; it tells the form when it paints and
// when its size changes.
class TCropShotPanel : public TzelPanel {
    Q_OBJECT
public:
    using TzelPanel::TzelPanel;
    std::function<void(QPainter&)> OnPaint;
    std::function<void()> OnResize;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
};

class TCropForm : public TBaseUIForm {
    Q_OBJECT
public:
    explicit TCropForm(QWidget* parent = nullptr);
    ~TCropForm() override;

    // The project edited (not owned) and the frame drawn under the editor
    // (not owned, may be null: the panel then stays in its colour).
    void Bind(TVGProj* proj, const QImage* frame);

    // Where the frame is drawn in pnlShot: the video fitted into the panel
    // less 36 pixels each way, centred in the whole panel.
    QRect GetDisplayRect() const;
    // A rectangle in video pixels into the editor, which is then attached.
    void ShowCropRect(const QRect& videoRect);
    // The rectangle typed in the four edits, clipped to the video (an empty
    // rectangle when nothing of it lies on the video).
    QRect ReadCropEdits() const;
    // A rectangle in video pixels into the edits, without their change events.
    void WriteCropEdits(const QRect& videoRect);

    void LoadFromProject();
    void SaveToProject();

    TCropShotPanel* pnlShot = nullptr;
    TzelGroupBox* rbGroup = nullptr;
    QLabel* lblX = nullptr;
    QLabel* lblY = nullptr;
    QLabel* lblWidth = nullptr;
    QLabel* lblHeight = nullptr;
    TzelNumericEdit* edtCropX = nullptr;
    TzelNumericEdit* edtCropY = nullptr;
    TzelNumericEdit* edtCropW = nullptr;
    TzelNumericEdit* edtCropH = nullptr;
    TzelCheckBox* cbxCrop = nullptr;
    TzelDrawCrop* dcCrop = nullptr;

protected:
    void FormCreate() override;
    void btnOkMeClick() override;
    bool GetResizeMargins(TResizeMargins& margins) override;

private:
    void cbxCropClick();
    void pnlShotPaint(QPainter& p);
    void pnlShotResize();
    void dcCropRectChanged(const QRect& rect);
    void edtCropXChange();
    QRect VideoRect() const;

    TVGProj* FProj = nullptr;
    const QImage* FFrameBitmap = nullptr;
};

// Runs the crop dialog over `over` for the project and the picture of its
// current frame; true when it ended with OK (the project then holds the new
// crop). A project without a video is not opened.
bool ShowCropForm(TVGProj* proj, const QImage* frame, QWidget* over = nullptr);
