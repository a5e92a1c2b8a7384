#include "BaseUIFrm.h"

#include "TzelButton.h"
#include "VGApp.h"
#include "ZelAnchors.h"
#include "ZelImage.h"
#include "ZelWindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>

namespace {
constexpr int kDesignW = 500, kDesignH = 400;
}

TBaseUIForm::TBaseUIForm(QWidget* parent) : TBaseForm(parent)
{
    // The form as designed: 500 x 400, white, black text, at least 164 x 333.
    resize(kDesignW, kDesignH);
    setMinimumSize(164, 333);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);

    auto image = [this](const char* name, const QRect& r, int anchors, bool stretch) {
        auto* img = new TzelImage(this);
        img->setObjectName(QString::fromLatin1(name));
        img->SetStretch(stretch);
        SetBounds(img, r, anchors);
        return img;
    };
    imgTop = image("imgTop", {0, 0, kDesignW, CaptionHeight}, akLeftTopRight, true);
    imgLeft = image("imgLeft", {0, 0, 5, kDesignH}, akLeftTopBottom, true);
    imgRight = image("imgRight", {kDesignW - 6, 0, 6, kDesignH}, akTopRightBottom, true);
    imgBottom = image("imgBottom", {0, kDesignH - 6, kDesignW, 6}, akLeftRightBottom, true);
    imgTopLeft = image("imgTopLeft", {0, 0, 5, CaptionHeight}, akTopLeft, false);
    imgTopRight = image("imgTopRight", {kDesignW - 6, 0, 6, CaptionHeight}, akTopRight, false);
    imgBottomLeft = image("imgBottomLeft", {0, kDesignH - 9, 8, 9}, akBottomLeft, false);
    imgBottomRight = image("imgBottomRight", {kDesignW - 9, kDesignH - 9, 9, 9}, akBottomRight, false);
    imgIco = image("imgIco", {10, 7, 18, 18}, akTopLeft, true);

    lblCaption = new QLabel(this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    QFont captionFont(QStringLiteral("Arial"));
    captionFont.setPixelSize(13);
    captionFont.setBold(true);
    lblCaption->setFont(captionFont);
    QPalette capPal = lblCaption->palette();
    capPal.setColor(QPalette::WindowText, Qt::white);
    lblCaption->setPalette(capPal);
    lblCaption->setAttribute(Qt::WA_TransparentForMouseEvents);
    SetBounds(lblCaption, {34, 8, kDesignW - 34 - 90, 17}, akLeftTopRight);

    auto captionButton = [this](const char* name, int right, const QString& hint) {
        auto* b = new TzelButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->SetHint(hint);
        b->setFocusPolicy(Qt::NoFocus);
        SetBounds(b, {kDesignW - right, 8, 17, 17}, akTopRight);
        return b;
    };
    btnCloseMe = captionButton("btnCloseMe", 27, QStringLiteral("Close"));
    // btnMax is made after btnRestore, so it is in front at the start.
    btnRestore = captionButton("btnRestore", 46, QStringLiteral("Restore"));
    btnMax = captionButton("btnMax", 46, QStringLiteral("Maximize"));
    btnMin = captionButton("btnMin", 65, QStringLiteral("Minimize"));
    btnMin->hide();
    btnMax->hide();
    btnRestore->hide();

    btnOkMe = new TzelButton(QStringLiteral("OK"), this);
    btnOkMe->setObjectName(QStringLiteral("btnOkMe"));
    SetBounds(btnOkMe, {kDesignW - 170, kDesignH - 38, 71, 23}, akBottomRight);
    btnCancelMe = new TzelButton(QStringLiteral("Cancel"), this);
    btnCancelMe->setObjectName(QStringLiteral("btnCancelMe"));
    SetBounds(btnCancelMe, {kDesignW - 91, kDesignH - 38, 71, 23}, akBottomRight);

    connect(btnOkMe, &TzelButton::clicked, this, [this] { btnOkMeClick(); });
    connect(btnCancelMe, &TzelButton::clicked, this, [this] { btnCancelMeClick(); });
    connect(btnMax, &TzelButton::clicked, this, [this] { btnMaxClick(); });
    connect(btnRestore, &TzelButton::clicked, this, [this] { btnRestoreClick(); });
    connect(btnMin, &TzelButton::clicked, this, [this] { btnMinClick(); });
    connect(btnCloseMe, &TzelButton::clicked, this, [this] { btnCloseMeClick(); });
    connect(this, &TBaseForm::MaximizedChanged, this, [this](bool maximized) { ShowMaxButton(maximized); });
}

TBaseUIForm::~TBaseUIForm() = default;

void TBaseUIForm::SetCaption(const QString& caption)
{
    lblCaption->setText(caption);
    setWindowTitle(caption);
}

QString TBaseUIForm::Caption() const { return lblCaption->text(); }

void TBaseUIForm::FormCreate()
{
    TBaseForm::FormCreate();
    MakeRoundRectForm(this, 9);
}

void TBaseUIForm::resizeEvent(QResizeEvent* event)
{
    TBaseForm::resizeEvent(event);
    MakeRoundRectForm(this, 9);
}

void TBaseUIForm::ApplyLanguage()
{
    if (!IsLanguageActive())
        return;
    const QString ok = LangText(QStringLiteral("CUI_TBaseUI3Form_btnOkMe"));
    const QString cancel = LangText(QStringLiteral("CUI_TBaseUI3Form_btnCancelMe"));
    if (!ok.isEmpty())
        btnOkMe->SetCaption(ok);
    if (!cancel.isEmpty())
        btnCancelMe->SetCaption(cancel);
}

// The frame, icon and buttons come from the skin folder; a missing picture
// leaves the control's own flat drawing.
void TBaseUIForm::ApplySkin()
{
    const QString skin = App ? App->SkinFolder() : QString();
    if (skin.isEmpty())
        return;
    ApplyFrameSkin(skin, {imgTop, imgLeft, imgRight, imgBottom, imgTopLeft, imgTopRight, imgBottomLeft,
                          imgBottomRight, imgIco, btnCloseMe, btnMax, btnRestore, btnMin});
    for (TzelButton* b : {btnOkMe, btnCancelMe}) {
        ApplyButtonSkin(skin, b, QStringLiteral("Button%1.png"));
        b->SetStretch(true);
        if (b->HasPictures()) {
            // White on the skin's accent colour.
            QPalette pal = b->palette();
            pal.setColor(QPalette::ButtonText, Qt::white);
            b->setPalette(pal);
        }
    }
}

void TBaseUIForm::AdjustForDpi()
{
    // The frame pieces at their pictures' sizes in their corners, then the
    // top bar's small parts where they were designed.
    const int W = width(), H = height();
    auto put = [](TzelImage* img, int x, int y, int w, int h) { img->setGeometry(x, y, w, h); };
    const auto size = [](TzelImage* img, QSize fallback) {
        return img->Picture().isNull() ? fallback : img->Picture().deviceIndependentSize().toSize();
    };
    const int lw = size(imgLeft, {5, 0}).width(), rw = size(imgRight, {6, 0}).width();
    const int th = size(imgTop, {0, CaptionHeight}).height(), bh = size(imgBottom, {0, 6}).height();
    put(imgLeft, 0, 0, lw, H);
    put(imgRight, W - rw, 0, rw, H);
    put(imgTop, 0, 0, W, th);
    put(imgBottom, 0, H - bh, W, bh);
    const QSize tl = size(imgTopLeft, {5, CaptionHeight}), tr = size(imgTopRight, {6, CaptionHeight});
    const QSize bl = size(imgBottomLeft, {8, 9}), br = size(imgBottomRight, {9, 9});
    put(imgTopLeft, 0, 0, tl.width(), tl.height());
    put(imgTopRight, W - tr.width(), 0, tr.width(), tr.height());
    put(imgBottomLeft, 0, H - bl.height(), bl.width(), bl.height());
    put(imgBottomRight, W - br.width(), H - br.height(), br.width(), br.height());
    imgIco->move(10, 7);
    lblCaption->move(lblCaption->x(), 7);
    for (TzelButton* b : {btnMin, btnMax, btnRestore, btnCloseMe})
        b->move(b->x(), 8);
}

bool TBaseUIForm::IsCaptionAt(QPoint local)
{
    QWidget* w = childAt(local);
    if (!w)
        return local.y() < CaptionHeight;
    return w == imgTop || w == imgTopLeft || w == imgTopRight || w == imgIco || w == lblCaption;
}

// Only a form that offers maximising reacts to a double click on its top bar.
void TBaseUIForm::CaptionDoubleClick()
{
    if (btnMax->isHidden() && btnRestore->isHidden())
        return;
    if (IsMaximized())
        Restore();
    else
        Maximize();
}

void TBaseUIForm::ShowMaxButton(bool maximized)
{
    if (btnMax->isHidden() && btnRestore->isHidden())
        return;
    // The button in front always offers the other state.
    btnMax->setVisible(!maximized);
    btnRestore->setVisible(maximized);
    (maximized ? btnRestore : btnMax)->raise();
}

void TBaseUIForm::btnOkMeClick() { SetModalResult(mrOk); }
void TBaseUIForm::btnCancelMeClick() { SetModalResult(mrCancel); }
void TBaseUIForm::btnMaxClick() { Maximize(); }
void TBaseUIForm::btnRestoreClick() { Restore(); }

void TBaseUIForm::btnMinClick()
{
    // The whole application goes down, as its one window would.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->isWindow() && !(w->windowFlags() & Qt::ToolTip))
            w->showMinimized();
}

void TBaseUIForm::btnCloseMeClick() { close(); }

void TBaseUIForm::keyPressEvent(QKeyEvent* event)
{
    // Esc closes only with no modifier key and no mouse button held.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier
        && QGuiApplication::mouseButtons() == Qt::NoButton) {
        close();
        return;
    }
    TBaseForm::keyPressEvent(event);
}
