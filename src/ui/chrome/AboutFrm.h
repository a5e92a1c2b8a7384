#pragma once
// The about box: the banner, the version, the support link and a short notice.

#include "BaseUIFrm.h"

class QLabel;
class TzelImage;
class TzelLinkLabel;

class TAboutForm : public TBaseUIForm {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);

    TzelImage* Image1 = nullptr;
    QLabel* lblVersion = nullptr;
    TzelLinkLabel* ulblHp = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* lblNotice = nullptr;

protected:
    void FormCreate() override;
    void ApplySkin() override;
    void AdjustForDpi() override;

private:
    void PlaceBanner();
};

// Runs the about box modally.
void ShowAboutForm(QWidget* parent = nullptr);
