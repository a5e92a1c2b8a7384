#include "ZelButtonEdit.h"

#include "TzelButton.h"
#include "ZelFlat.h"

#include <QEvent>
#include <QPainter>

namespace {
constexpr int kButtonW = 24;
}

TzelButtonEdit::TzelButtonEdit(QWidget* parent) : QLineEdit(parent), FButton(new TzelButton(QStringLiteral("..."), this))
{
    ZelFlat::StyleLineEdit(this);
    setTextMargins(4, 0, kButtonW + 2, 0);
    FButton->SetHint(QStringLiteral("Browse"));
    FButton->setFocusPolicy(Qt::NoFocus);
    FButton->setCursor(Qt::ArrowCursor);
    connect(FButton, &TzelButton::clicked, this, &TzelButtonEdit::ButtonClick);
    connect(this, &QObject::objectNameChanged, this,
            [this](const QString& name) { FButton->setObjectName(name + QStringLiteral("Button")); });
}

void TzelButtonEdit::resizeEvent(QResizeEvent* e)
{
    QLineEdit::resizeEvent(e);
    FButton->setGeometry(width() - kButtonW - 2, 2, kButtonW, height() - 4);
}

void TzelButtonEdit::paintEvent(QPaintEvent* e)
{
    {
        QPainter p(this);
        ZelFlat::PaintField(p, this, underMouse());
    }
    QLineEdit::paintEvent(e);
}
