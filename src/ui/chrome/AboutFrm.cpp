#include "AboutFrm.h"

#include "TzelButton.h"

#include "VGApp.h"
#include "ZelAnchors.h"
#include "ZelImage.h"
#include "ZelLinkLabel.h"
#include "Zelfunction.h"

#include <QLabel>

namespace {
constexpr int kClientW = 426, kClientH = 329;

QFont FontOf(const char* family, int pixels, bool bold = false)
{
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}
}  // namespace

TAboutForm::TAboutForm(QWidget* parent) : TBaseUIForm(parent)
{
    setObjectName(QStringLiteral("AboutForm"));
    setMinimumSize(kClientW, kClientH);
    resize(kClientW, kClientH);
    SetCaption(QStringLiteral("About"));
    btnOkMe->hide();
    btnCancelMe->hide();

    Image1 = new TzelImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAccessibleName(QStringLiteral("Banner"));
    Image1->SetStretch(true);
    Image1->SetAutoSize(true);
    SetBounds(Image1, {(kClientW - 387) / 2, 46, 387, 85});

    lblVersion = new QLabel(Image1);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setFont(FontOf("MS Sans Serif", 12, true));
    QPalette white = lblVersion->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    lblVersion->setPalette(white);
    lblVersion->setAttribute(Qt::WA_TranslucentBackground);

    ulblHp = new TzelLinkLabel(this);
    ulblHp->setObjectName(QStringLiteral("ulblHp"));
    ulblHp->setFont(FontOf("Arial", 12));
    ulblHp->setAlignment(Qt::AlignCenter);

    Label6 = new QLabel(this);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setFont(FontOf("Arial", 13));
    Label6->setWordWrap(true);
    Label6->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label6->setText(QStringLiteral(
        "Warning: this program is protected by copyright law. Reproducing or distributing it, or any part "
        "of it, without permission is not allowed."));
    SetBounds(Label6, {30, 186, kClientW - 60, 64}, akLeftTopRight);

    lblNotice = new QLabel(this);
    lblNotice->setObjectName(QStringLiteral("lblNotice"));
    lblNotice->setFont(FontOf("Arial", 11));
    QPalette grey = lblNotice->palette();
    grey.setColor(QPalette::WindowText, QColor(0x6B, 0x75, 0x85));
    lblNotice->setPalette(grey);
    lblNotice->setAlignment(Qt::AlignCenter);
    lblNotice->setText(QStringLiteral("Videos are read with the FFmpeg libraries."));
    SetBounds(lblNotice, {20, kClientH - 40, kClientW - 40, 18}, akLeftRightBottom);

    FormCreate();
}

void TAboutForm::FormCreate()
{
    TBaseUIForm::FormCreate();
    lblVersion->setText(QStringLiteral("Ver %1").arg(GetProVersion(true)));
    lblVersion->adjustSize();
    const QString support = App ? App->SupportUrl() : QString();
    ulblHp->setText(QStringLiteral("Support: ") + TApp::StripQuery(support));
    ulblHp->SetUrl(support);
    ulblHp->adjustSize();
    SetBounds(ulblHp, {(width() - ulblHp->width()) / 2, 150, ulblHp->width(), ulblHp->height()}, akTop);
    PlaceBanner();
}

void TAboutForm::ApplySkin()
{
    TBaseUIForm::ApplySkin();
    if (!App)
        return;
    const QPixmap banner = LoadSkinPicture(App->SkinFolder() + QStringLiteral("AboutBanner.jpg"), devicePixelRatioF());
    if (!banner.isNull())
        Image1->SetPicture(banner);
}

void TAboutForm::AdjustForDpi()
{
    TBaseUIForm::AdjustForDpi();
    PlaceBanner();
}

// The banner centred, the version inside its right part, 13 pixels from its edge.
void TAboutForm::PlaceBanner()
{
    Image1->move((width() - Image1->width()) / 2, Image1->y());
    lblVersion->move(Image1->width() - lblVersion->width() - 13, Image1->height() - lblVersion->height() - 8);
}

void ShowAboutForm(QWidget* parent)
{
    TAboutForm form(parent);
    form.ShowModal();
}
