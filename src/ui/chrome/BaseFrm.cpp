#include "BaseFrm.h"

#include "Language.h"
#include "TzelButton.h"
#include "ZelImage.h"
#include "ZelWindow.h"
#include "Zelfunction.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QWindow>

TBaseForm::TBaseForm(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    // The form's own look: button face, Arial 11 px in dark grey.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, palette().color(QPalette::Button));
    pal.setColor(QPalette::WindowText, ColorFromBGR(4605510));
    setPalette(pal);
    setAutoFillBackground(true);
}

TBaseForm::~TBaseForm()
{
    if (FModalLoop)
        FModalLoop->quit();
}

void TBaseForm::FormCreate()
{
    if (logicalDpiX() != 96)
        AdjustForDpi();
    ApplySystemFont(this);
    ApplyLanguage();
    ApplySkin();
}

// ---- resizing from the edges ------------------------------------------------

int TBaseForm::ResizeHitTest(QPoint p, QSize client, const TResizeMargins& m, int inherited)
{
    const int W = client.width(), H = client.height();
    // Left and top edges inside, right and bottom outside; first hit wins.
    auto in = [&p](int l, int t, int r, int b) { return p.x() >= l && p.x() < r && p.y() >= t && p.y() < b; };
    if (in(0, 0, m.TopLeftW, m.TopLeftH))
        return HTTOPLEFT;
    if (in(W - m.BottomRightW, H - m.BottomRightH, W, H))
        return HTBOTTOMRIGHT;
    if (in(0, H - m.BottomLeftH, m.BottomLeftW, H))
        return HTBOTTOMLEFT;
    if (in(W - m.TopRightW, 0, W, m.TopRightH))
        return HTTOPRIGHT;
    if (in(W - m.Right, 0, W, H))
        return HTRIGHT;
    if (in(0, 0, m.Left, H))
        return HTLEFT;
    if (in(0, 0, W, m.Top))
        return HTTOP;
    if (in(0, H - m.Bottom, W, H))
        return HTBOTTOM;
    return inherited;
}

int TBaseForm::HitTest(QPoint point)
{
    TResizeMargins m;
    if (FMaximized || !GetResizeMargins(m))
        return HTCLIENT;
    return ResizeHitTest(point, size(), m);
}

namespace {
Qt::Edges EdgesOf(int hit)
{
    switch (hit) {
    case HTLEFT: return Qt::LeftEdge;
    case HTRIGHT: return Qt::RightEdge;
    case HTTOP: return Qt::TopEdge;
    case HTBOTTOM: return Qt::BottomEdge;
    case HTTOPLEFT: return Qt::TopEdge | Qt::LeftEdge;
    case HTTOPRIGHT: return Qt::TopEdge | Qt::RightEdge;
    case HTBOTTOMLEFT: return Qt::BottomEdge | Qt::LeftEdge;
    case HTBOTTOMRIGHT: return Qt::BottomEdge | Qt::RightEdge;
    default: return {};
    }
}

Qt::CursorShape CursorOf(int hit)
{
    switch (hit) {
    case HTLEFT:
    case HTRIGHT: return Qt::SizeHorCursor;
    case HTTOP:
    case HTBOTTOM: return Qt::SizeVerCursor;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT: return Qt::SizeFDiagCursor;
    default: return Qt::SizeBDiagCursor;
    }
}
}  // namespace

void TBaseForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    WatchWindow();
}

// The window's mouse events pass here before any control sees them: the edge
// strips belong to the frame whatever control lies under them.
void TBaseForm::WatchWindow()
{
    if (FWatching || !windowHandle())
        return;
    windowHandle()->installEventFilter(this);
    FWatching = true;
}

void TBaseForm::UpdateEdgeCursor(int hit, QPoint local)
{
    QWindow* window = windowHandle();
    if (!window)
        return;
    if (!EdgesOf(hit)) {
        if (FEdgeCursor) {
            // Back to the cursor of the control under the mouse.
            QWidget* under = childAt(local);
            window->setCursor(under ? under->cursor() : cursor());
            FEdgeCursor = false;
        }
        return;
    }
    window->setCursor(CursorOf(hit));
    FEdgeCursor = true;
}

bool TBaseForm::ResizeEvent(QMouseEvent* event)
{
    const QPoint local = event->position().toPoint();
    const QPoint global = event->globalPosition().toPoint();
    switch (event->type()) {
    case QEvent::MouseMove:
        if (FDrag == TDrag::Resizing) {
            const QPoint d = global - FDragStart;
            QRect g = FDragGeometry;
            const QSize min = minimumSize().expandedTo(QSize(1, 1));
            if (FDragEdges & Qt::LeftEdge)
                g.setLeft(std::min(g.left() + d.x(), g.right() + 1 - min.width()));
            if (FDragEdges & Qt::RightEdge)
                g.setRight(std::max(g.right() + d.x(), g.left() + min.width() - 1));
            if (FDragEdges & Qt::TopEdge)
                g.setTop(std::min(g.top() + d.y(), g.bottom() + 1 - min.height()));
            if (FDragEdges & Qt::BottomEdge)
                g.setBottom(std::max(g.bottom() + d.y(), g.top() + min.height() - 1));
            setGeometry(g);
            return true;
        }
        if (FDrag == TDrag::None && event->buttons() == Qt::NoButton) {
            const int hit = HitTest(local);
            UpdateEdgeCursor(hit, local);
            return EdgesOf(hit) != Qt::Edges();
        }
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        if (event->button() != Qt::LeftButton)
            return false;
        const int hit = HitTest(local);
        const Qt::Edges edges = EdgesOf(hit);
        if (!edges)
            return false;
        if (event->type() == QEvent::MouseButtonPress && !windowHandle()->startSystemResize(edges)) {
            // No window manager to do it (a bare X server): resize by the mouse's travel.
            FDrag = TDrag::Resizing;
            FDragEdges = int(edges);
            FDragStart = global;
            FDragGeometry = geometry();
        }
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (FDrag == TDrag::Resizing) {
            FDrag = TDrag::None;
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool TBaseForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == windowHandle()) {
        switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease:
        {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (ResizeEvent(mouse))
                return true;
            if (event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton
                && IsCaptionAt(mouse->position().toPoint())) {
                FDrag = TDrag::None;
                CaptionDoubleClick();
                return true;
            }
            if (FDrag == TDrag::MovePending || FDrag == TDrag::Moving)
                return MoveDrag(mouse);
            if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton
                && IsCaptionAt(mouse->position().toPoint()))
                BeginMoveDrag(mouse->globalPosition().toPoint());
            break;
        }
        case QEvent::Leave:
            if (FEdgeCursor && windowHandle()) {
                windowHandle()->unsetCursor();
                FEdgeCursor = false;
            }
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- moving by the top bar ---------------------------------------------------

void TBaseForm::BeginMoveDrag(QPoint globalPress)
{
    if (FMaximized)
        return;
    FDrag = TDrag::MovePending;
    FDragStart = globalPress;
    FDragGeometry = geometry();
}

// The move starts with the first move of the mouse while the left button is
// held, not on the press: the window system sends no release after a move
// started on a press alone.
bool TBaseForm::MoveDrag(QMouseEvent* event)
{
    const QPoint global = event->globalPosition().toPoint();
    switch (event->type()) {
    case QEvent::MouseMove:
        if (!(event->buttons() & Qt::LeftButton)) {
            FDrag = TDrag::None;
            return false;
        }
        if (FDrag == TDrag::MovePending) {
            if (windowHandle() && windowHandle()->startSystemMove()) {
                FDrag = TDrag::None;
                return true;
            }
            FDrag = TDrag::Moving;
        }
        move(FDragGeometry.topLeft() + (global - FDragStart));
        return true;
    case QEvent::MouseButtonRelease: {
        const bool moved = FDrag == TDrag::Moving;
        FDrag = TDrag::None;
        return moved;
    }
    default:
        return false;
    }
}

// ---- work area and maximising -----------------------------------------------

QRect TBaseForm::WorkAreaOf(const QRect& available, bool autoHide, int anchor)
{
    // Right and bottom one pixel further, as the window system's maximised
    // windows reach.
    int l = available.left(), t = available.top();
    int r = available.left() + available.width() + 1, b = available.top() + available.height() + 1;
    if (autoHide) {
        switch (anchor) {
        case 0: l += 1; break;
        case 1: t += 1; break;
        case 2: r -= 2; break;
        case 3: b -= 2; break;
        default: break;
        }
    }
    return QRect(l, t, r - l, b - t);
}

QRect TBaseForm::GetWorkArea() const
{
    const QScreen* s = windowHandle() && windowHandle()->screen() ? windowHandle()->screen() : screen();
    if (!s)
        s = QGuiApplication::primaryScreen();
    if (!s)
        return geometry();
    return WorkAreaOf(s->availableGeometry(), IsTaskbarAutoHideOn(), GetTaskbarAnchor());
}

void TBaseForm::CenterInWorkArea()
{
    const QRect area = GetWorkArea();
    const QSize frame = frameGeometry().size();
    move(std::max(area.left(), area.left() + (area.width() - frame.width()) / 2),
         std::max(area.top(), area.top() + (area.height() - frame.height()) / 2));
}

void TBaseForm::Maximize()
{
    if (FMaximized)
        return;
    FNormalGeometry = geometry();
    FMaximized = true;
    setGeometry(GetWorkArea());
    Q_EMIT MaximizedChanged(true);
}

void TBaseForm::Restore()
{
    if (!FMaximized)
        return;
    FMaximized = false;
    setGeometry(FNormalGeometry);
    Q_EMIT MaximizedChanged(false);
}

// ---- modal runs ----------------------------------------------------------------

int TBaseForm::ShowModal()
{
    FModalResult = mrNone;
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    QEventLoop loop;
    FModalLoop = &loop;
    // Something in the loop may free the window (its owner closing down).
    const QPointer<TBaseForm> self(this);
    if (isVisible())
        loop.exec(QEventLoop::DialogExec);
    if (!self)
        return mrCancel;
    FModalLoop = nullptr;
    setWindowModality(Qt::NonModal);
    return FModalResult == mrNone ? mrCancel : FModalResult;
}

void TBaseForm::SetModalResult(int result)
{
    FModalResult = result;
    if (result != mrNone)
        close();
}

void TBaseForm::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (!event->isAccepted())
        return;
    if (FModalResult == mrNone)
        FModalResult = mrCancel;
    if (FModalLoop)
        FModalLoop->quit();
}

// ---- skin ------------------------------------------------------------------------

void TBaseForm::ApplyButtonSkin(const QString& skinFolder, TzelButton* button, const QString& pattern)
{
    const qreal dpr = devicePixelRatioF();
    button->SetPictures(LoadSkinPicture(skinFolder + pattern.arg(QStringLiteral("Up")), dpr),
                        LoadSkinPicture(skinFolder + pattern.arg(QStringLiteral("Hot")), dpr),
                        LoadSkinPicture(skinFolder + pattern.arg(QStringLiteral("Down")), dpr));
}

void TBaseForm::ApplyFrameSkin(const QString& skinFolder, const TFrameSkin& f)
{
    const qreal dpr = devicePixelRatioF();
    const std::pair<TzelImage*, const char*> pieces[] = {
        {f.Top, "Top.png"}, {f.Left, "Left.png"}, {f.Right, "Right.png"}, {f.Bottom, "Bottom.png"},
        {f.TopLeft, "TopLeft.png"}, {f.TopRight, "TopRight.png"}, {f.BottomLeft, "BottomLeft.png"},
        {f.BottomRight, "BottomRight.png"}, {f.Icon, "Icon.png"}};
    for (const auto& [image, file] : pieces)
        image->SetPicture(LoadSkinPicture(skinFolder + QLatin1String(file), dpr));
    ApplyButtonSkin(skinFolder, f.Close, QStringLiteral("BtnClose%1.png"));
    ApplyButtonSkin(skinFolder, f.Max, QStringLiteral("BtnMax%1.png"));
    ApplyButtonSkin(skinFolder, f.Restore, QStringLiteral("BtnRestore%1.png"));
    ApplyButtonSkin(skinFolder, f.Min, QStringLiteral("BtnMin%1.png"));
}

// ---- language and fonts -----------------------------------------------------------

bool TBaseForm::IsLanguageActive() const { return LangObj && LangObj->IsAvailable(); }

QString TBaseForm::LangText(const QString& key) { return GetLangText(key); }

void ApplySystemFont(QWidget* form) { ApplySystemFont(form, SystemLanguageId()); }

void ApplySystemFont(QWidget* form, unsigned languageId)
{
    if (!form || languageId == 1033 || languageId == 2052)
        return;
    // Character sets are the font system's business here: every face covers
    // the scripts it has, so only the face changes.
    auto apply = [](QWidget* w) {
        QFont f = w->font();
        f.setFamily(QStringLiteral("Arial"));
        w->setFont(f);
    };
    apply(form);
    for (QWidget* child : form->findChildren<QWidget*>())
        if (child->testAttribute(Qt::WA_SetFont))
            apply(child);
}
