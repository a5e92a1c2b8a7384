#pragma once
// The base of every window: borderless, resized from its edges by our own hit
// test, maximised to the work area, and made in one order (DPI adjustment
// when the screen is not at 96 dpi, the system font, the language texts, the
// skin). Dialogs run modally and end with a result: 1 OK, 2 Cancel.

#include <QPoint>
#include <QRect>
#include <QWidget>

class QEventLoop;
class TzelButton;
class TzelImage;

// A form's frame pieces, icon and caption buttons, to take their pictures
// from the skin in one place.
struct TFrameSkin {
    TzelImage *Top, *Left, *Right, *Bottom, *TopLeft, *TopRight, *BottomLeft, *BottomRight, *Icon;
    TzelButton *Close, *Max, *Restore, *Min;
};

// Widths of the edge strips and sizes of the corner squares in which the
// window can be resized.
struct TResizeMargins {
    int32_t Left = 0, Right = 0, Top = 0, Bottom = 0;
    int32_t TopLeftW = 0, TopLeftH = 0;
    int32_t BottomLeftW = 0, BottomLeftH = 0;
    int32_t TopRightW = 0, TopRightH = 0;
    int32_t BottomRightW = 0, BottomRightH = 0;
};

// Hit test codes, as the window system numbers them.
enum THitTest : int {
    HTNOWHERE = 0, HTCLIENT = 1, HTCAPTION = 2,
    HTLEFT = 10, HTRIGHT = 11, HTTOP = 12, HTTOPLEFT = 13, HTTOPRIGHT = 14,
    HTBOTTOM = 15, HTBOTTOMLEFT = 16, HTBOTTOMRIGHT = 17,
};

constexpr int mrNone = 0, mrOk = 1, mrCancel = 2;

class TBaseForm : public QWidget {
    Q_OBJECT
public:
    explicit TBaseForm(QWidget* parent = nullptr);
    ~TBaseForm() override;

    // The edge or corner of a client area of `client` size under a point,
    // or `inherited` when none: the resize rule, free of windows.
    static int ResizeHitTest(QPoint point, QSize client, const TResizeMargins& m, int inherited = HTCLIENT);
    // The hit test of this window at a point of its client area.
    int HitTest(QPoint point);

    // The screen's work area with right and bottom one pixel further; an
    // auto-hidden panel keeps a strip of one pixel free at its edge.
    QRect GetWorkArea() const;
    static QRect WorkAreaOf(const QRect& available, bool autoHide, int anchor);
    void CenterInWorkArea();

    // Our own maximised state: the window fills GetWorkArea(), restored to
    // the geometry it had.
    bool IsMaximized() const { return FMaximized; }
    virtual void Maximize();
    virtual void Restore();

    // Modal run: shows the window modally and returns its ModalResult once
    // it closes (mrCancel when it was closed without one).
    int ShowModal();
    int ModalResult() const { return FModalResult; }
    // A result other than mrNone ends a modal run (and closes the window).
    void SetModalResult(int result);

    // Loads the frame's pictures from a skin folder at this window's pixel
    // ratio; a missing picture leaves the control's own flat drawing.
    void ApplyFrameSkin(const QString& skinFolder, const TFrameSkin& frame);
    // A button's up, hot and down pictures: pattern's "%1" is Up, Hot, Down.
    void ApplyButtonSkin(const QString& skinFolder, TzelButton* button, const QString& pattern);

    bool IsLanguageActive() const;
    static QString LangText(const QString& key);

Q_SIGNALS:
    void MaximizedChanged(bool maximized);

protected:
    // The creation order; a form calls it once at the end of its constructor,
    // after building its components. Overrides call the inherited one first.
    virtual void FormCreate();
    virtual void ApplyLanguage() {}
    virtual void ApplySkin() {}
    virtual void AdjustForDpi() {}
    // True with the margins when the window can be resized from its edges.
    virtual bool GetResizeMargins(TResizeMargins& margins) { return false; }
    // The top bar: a press there drags the window, a double click there
    // goes to CaptionDoubleClick.
    virtual bool IsCaptionAt(QPoint local) { return false; }
    virtual void CaptionDoubleClick() {}

    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Moves the window by the mouse from a press in its top bar: the window
    // system's move when it offers one, else by the mouse's travel.
    void BeginMoveDrag(QPoint globalPress);
    bool MoveDrag(QMouseEvent* event);

private:
    void WatchWindow();
    bool ResizeEvent(QMouseEvent* event);
    void UpdateEdgeCursor(int hit, QPoint local);

    bool FMaximized = false;
    QRect FNormalGeometry;
    int FModalResult = mrNone;
    QEventLoop* FModalLoop = nullptr;
    bool FWatching = false;
    // A drag we carry out ourselves where the window system cannot.
    enum class TDrag { None, MovePending, Moving, Resizing };
    TDrag FDrag = TDrag::None;
    int FDragEdges = 0;
    QPoint FDragStart;
    QRect FDragGeometry;
    bool FEdgeCursor = false;
};

// The fonts of the form and of every control on it take the face the system
// language asks for: English (United States) and Chinese (PRC) keep what the
// form was designed with; every other language gets Arial.
void ApplySystemFont(QWidget* form);
void ApplySystemFont(QWidget* form, unsigned languageId);
