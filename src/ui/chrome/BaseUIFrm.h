#pragma once
// The base of the skinned dialogs: a frame of eight pictures, the icon and
// caption in the top bar, caption buttons (minimise, maximise/restore,
// close), OK and Cancel, dragging by the top bar, maximising by a double
// click when the maximise button shows, the rounded outline, and Esc to close.

#include "BaseFrm.h"

class QLabel;
class TzelButton;
class TzelImage;

class TBaseUIForm : public TBaseForm {
    Q_OBJECT
public:
    explicit TBaseUIForm(QWidget* parent = nullptr);
    ~TBaseUIForm() override;

    // The caption shows in the top bar and is the window's title.
    void SetCaption(const QString& caption);
    QString Caption() const;

    TzelImage* imgTop = nullptr;
    TzelImage* imgLeft = nullptr;
    TzelImage* imgRight = nullptr;
    TzelImage* imgBottom = nullptr;
    TzelImage* imgTopLeft = nullptr;
    TzelImage* imgTopRight = nullptr;
    TzelImage* imgBottomLeft = nullptr;
    TzelImage* imgBottomRight = nullptr;
    TzelImage* imgIco = nullptr;
    QLabel* lblCaption = nullptr;
    TzelButton* btnMin = nullptr;
    TzelButton* btnMax = nullptr;
    TzelButton* btnRestore = nullptr;
    TzelButton* btnCloseMe = nullptr;
    TzelButton* btnOkMe = nullptr;
    TzelButton* btnCancelMe = nullptr;

    static constexpr int CaptionHeight = 31;

protected:
    void FormCreate() override;
    void ApplyLanguage() override;
    void ApplySkin() override;
    void AdjustForDpi() override;
    bool IsCaptionAt(QPoint local) override;
    void CaptionDoubleClick() override;

    virtual void btnOkMeClick();
    virtual void btnCancelMeClick();
    void btnMaxClick();
    void btnRestoreClick();
    void btnMinClick();
    void btnCloseMeClick();

    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowMaxButton(bool maximized);
};
