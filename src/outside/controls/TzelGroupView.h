#pragma once
// The thumbnail strip: a row of photos, each an image file shown as a
// thumbnail with a text band under it, and a data pointer for its owner.
//
// Built on QListView, so the selection (click, Ctrl+click, Shift+click,
// arrows, Home/End, Shift+arrows, Ctrl+A), the focused photo and the
// accessible list with one item per photo come from Qt.
//
// Each photo keeps one scaled thumbnail, read from its file the first time
// the photo is painted and never again; only visible photos are painted.
//
// OnSelectedChange fires once per user action (mouse, keyboard) that changes
// the selection or the focused photo. Changes made through this interface do
// not fire it: the owner runs its own handler after a programmatic change,
// and would otherwise run it several times per step.

#include <QColor>
#include <QImage>
#include <QListView>
#include <functional>
#include <memory>
#include <vector>

class QMenu;
class TzelGroupView;
class TzelGroupModel;

class TzelPhoto {
public:
    QString FileName() const { return FFileName; }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    void* Data = nullptr;   // the owner's, not owned

    int Index() const { return FIndex; }
    TzelGroupView* View() const { return FView; }
    TzelPhoto* NextPhoto() const;
    TzelPhoto* PrevPhoto() const;
    bool Selected() const;
    void SetSelected(bool selected);
    void MakeVisible();

    // The scaled thumbnail, read on first use; null when the file could not
    // be read (then it is not tried again).
    const QImage& Thumbnail();
    bool ThumbnailLoaded() const { return FLoaded; }
    // A thumbnail the owner already has (in device pixels, its pixel ratio
    // set): the file is then never read.
    void SetThumbnail(const QImage& thumb);

private:
    friend class TzelGroupView;
    friend class TzelGroupModel;
    TzelPhoto(TzelGroupView* view, const QString& file, const QString& caption)
        : FFileName(file), FCaption(caption), FView(view) {}

    QString FFileName, FCaption;
    TzelGroupView* FView;
    int FIndex = -1;
    bool FLoaded = false;
    QImage FThumb;
};

// Reads `file` scaled to fit `box` (aspect kept); a null image on failure.
using TzelThumbLoader = std::function<QImage(const QString& file, const QSize& box)>;

class TzelGroupView : public QListView {
    Q_OBJECT
public:
    enum TKind { sbHorizontal, sbVertical };

    explicit TzelGroupView(QWidget* parent = nullptr);
    ~TzelGroupView() override;

    // Layout. Each cell is the thumbnail box, the text band (SpaceV) under it
    // and SpaceH to the next photo, inside a small padding for the selection.
    void SetKind(TKind kind);
    TKind Kind() const { return FKind; }
    void SetThumbWidth(int w);
    void SetThumbHeight(int h);
    int ThumbWidth() const { return FThumbW; }
    int ThumbHeight() const { return FThumbH; }
    void SetSpaceH(int s);
    void SetSpaceV(int s);
    int SpaceH() const { return FSpaceH; }
    int SpaceV() const { return FSpaceV; }
    void SetMultiSelect(bool on);
    bool MultiSelect() const { return FMultiSelect; }
    void SetShowCaption(bool on);
    bool ShowCaption() const { return FShowCaption; }
    void SetShowGroup(bool on) { FShowGroup = on; }   // kept for the form tables; there are no groups
    bool ShowGroup() const { return FShowGroup; }
    void SetColor(const QColor& c);
    QColor GetColor() const { return FColor; }
    QSize CellSize() const;
    static constexpr int CellPadding = 4;

    // Photos, in strip order.
    TzelPhoto* AddPhoto(const QString& file, const QString& caption = QString());
    TzelPhoto* InsertPhoto(const QString& file, int index, const QString& caption = QString());
    void Clear();
    int PhotoCount() const { return int(FPhotos.size()); }
    TzelPhoto* Photo(int index) const;

    // Selection and focus. None of these fires OnSelectedChange.
    void ClearSelected();
    int GetSelCount() const;
    TzelPhoto* GetSelPhoto(int i) const;   // i-th selected photo in strip order
    TzelPhoto* FocusedPhoto() const;
    void SetFocusedPhoto(TzelPhoto* photo);  // null: no focused photo
    void SelectAllPhotos();

    // Lays the photos out now and repaints: the scroll range is current after it.
    void UpdatePhotos();

    // Position of the scroll bar along the strip; clamped to its range, so
    // 2147483647 is the far end.
    int ScrollPos() const;
    void SetScrollPos(int pos);
    int ScrollMax() const;

    // Shown on a right click (after OnPopup); the owner fills and enables it
    // from aboutToShow. customContextMenuRequested is not used.
    void SetPopupMenu(QMenu* menu) { FPopup = menu; }
    QMenu* PopupMenu() const { return FPopup; }

    // Replaces the file reader (tests count reads; an owner may cache).
    void SetThumbLoader(TzelThumbLoader loader);
    static QImage LoadThumbnail(const QString& file, const QSize& box);

    // Where a photo is drawn now, in viewport coordinates.
    QRect PhotoRect(const TzelPhoto* photo) const;
    QRectF ImageRect(const TzelPhoto* photo) const;
    TzelPhoto* PhotoAt(const QPoint& viewportPos) const;

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

    // Painting statistics since the last reset (for the benchmark and tests).
    int PaintedPhotos() const { return FPainted; }
    void ResetPaintedPhotos() { FPainted = 0; }

Q_SIGNALS:
    void OnSelectedChange();
    // For every painted photo, after the thumbnail: the band under it and the
    // rectangle the thumbnail fills (fitted in the box, aspect kept).
    void OnDrawPhoto(TzelPhoto* photo, QPainter* painter, const QRectF& textRect, const QRectF& imageRect);
    // Every key press, before the strip acts on it; a handler that accepts the
    // event stops the strip's own handling.
    void OnKeyDown(QKeyEvent* e);
    // Before PopupMenu shows, with the point in viewport coordinates.
    void OnPopup(const QPoint& pos);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    friend class TzelPhoto;
    friend class TzelGroupDelegate;
    friend class TzelGroupModel;
    void Renumber(int from);
    void ApplyLayout();
    void PaintPhoto(QPainter* p, const QRect& cell, TzelPhoto* photo, bool selected, bool focused, bool hot);
    template <class F> void UserAction(F&& f);
    void FlushMouseChanges();
    const std::vector<int>& SelectedRows() const;

    std::vector<std::unique_ptr<TzelPhoto>> FPhotos;
    TzelGroupModel* FModel;
    TKind FKind = sbHorizontal;
    int FThumbW = 128, FThumbH = 72, FSpaceH = 0, FSpaceV = 20;
    bool FMultiSelect = true, FShowCaption = true, FShowGroup = false;
    QColor FColor = QColor(0xFA, 0xFA, 0xFB);
    QMenu* FPopup = nullptr;
    TzelThumbLoader FLoader;
    quint64 FChanges = 0;             // selection or focus changes so far
    quint64 FChangesAtPress = 0;
    bool FMouseHeld = false;
    mutable std::vector<int> FSelRows;
    mutable bool FSelRowsValid = false;
    int FPainted = 0;
};
