#include "MainFrm.h"

#include "VGApp.h"

TMainForm::TMainForm(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_QuitOnClose);
    setWindowTitle(TApp::ProductTitle());
    resize(960, 640);
}

TMainForm::~TMainForm() = default;
