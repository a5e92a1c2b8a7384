#include "TzelGroupView.h"

#include <QAbstractListModel>
#include <QContextMenuEvent>
#include <QFile>
#include <QImageReader>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {
const QColor kAccent(0x2F, 0x6F, 0xD6);
const QColor kSelectedCell(0xDC, 0xE8, 0xFA);
const QColor kHotCell(0xEC, 0xF0, 0xF5);
const QColor kPlaceholder(0xD9, 0xDC, 0xE1);
const QColor kCaption(0x46, 0x46, 0x46);

const char* kScrollBarStyle =
    "QScrollBar:horizontal { background: #EEF0F2; height: 12px; margin: 0; border: none; }"
    "QScrollBar::handle:horizontal { background: #BFC5CD; min-width: 32px; border-radius: 3px; margin: 3px 2px; }"
    "QScrollBar::handle:horizontal:hover { background: #959DA8; }"
    "QScrollBar::add-line:horizontal, QScrollBar::sub-line:horizontal { width: 0; border: none; background: none; }"
    "QScrollBar::add-page:horizontal, QScrollBar::sub-page:horizontal { background: none; }"
    "QScrollBar:vertical { background: #EEF0F2; width: 12px; margin: 0; border: none; }"
    "QScrollBar::handle:vertical { background: #BFC5CD; min-height: 32px; border-radius: 3px; margin: 2px 3px; }"
    "QScrollBar::handle:vertical:hover { background: #959DA8; }"
    "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; border: none; background: none; }"
    "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }";
}  // namespace

// ---- model and delegate ---------------------------------------------------

class TzelGroupModel : public QAbstractListModel {
public:
    explicit TzelGroupModel(TzelGroupView* view) : QAbstractListModel(view), FView(view) {}
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : FView->PhotoCount(); }
    QVariant data(const QModelIndex& index, int role) const override
    {
        const TzelPhoto* photo = FView->Photo(index.row());
        if (!photo)
            return {};
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return photo->Caption().isEmpty() ? TzelGroupView::tr("Photo %1").arg(index.row() + 1) : photo->Caption();
        if (role == Qt::ToolTipRole)
            return photo->Caption().isEmpty() ? QVariant() : photo->Caption();
        return {};
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
    }
    void BeginInsert(int row) { beginInsertRows({}, row, row); }
    void EndInsert() { endInsertRows(); }
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }
    void Changed(int row) { Q_EMIT dataChanged(index(row), index(row)); }

private:
    TzelGroupView* FView;
};

class TzelGroupDelegate : public QStyledItemDelegate {
public:
    explicit TzelGroupDelegate(TzelGroupView* view) : QStyledItemDelegate(view), FView(view) {}
    void paint(QPainter* p, const QStyleOptionViewItem& opt, const QModelIndex& index) const override
    {
        TzelPhoto* photo = FView->Photo(index.row());
        if (!photo)
            return;
        FView->PaintPhoto(p, opt.rect, photo, opt.state & QStyle::State_Selected,
                          index == FView->currentIndex(), opt.state & QStyle::State_MouseOver);
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return FView->CellSize(); }

private:
    TzelGroupView* FView;
};

// ---- photo -----------------------------------------------------------------

void TzelPhoto::SetCaption(const QString& caption)
{
    FCaption = caption;
    if (FView && FIndex >= 0)
        FView->FModel->Changed(FIndex);
}

TzelPhoto* TzelPhoto::NextPhoto() const { return FView ? FView->Photo(FIndex + 1) : nullptr; }
TzelPhoto* TzelPhoto::PrevPhoto() const { return FView && FIndex > 0 ? FView->Photo(FIndex - 1) : nullptr; }

bool TzelPhoto::Selected() const
{
    return FView && FView->selectionModel()->isSelected(FView->FModel->index(FIndex));
}

void TzelPhoto::SetSelected(bool selected)
{
    if (!FView)
        return;
    QItemSelectionModel::SelectionFlags how = QItemSelectionModel::Deselect;
    if (selected)
        how = FView->FMultiSelect ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect;
    FView->selectionModel()->select(FView->FModel->index(FIndex), how);
}

void TzelPhoto::MakeVisible()
{
    if (!FView)
        return;
    FView->ApplyLayout();
    FView->scrollTo(FView->FModel->index(FIndex), QAbstractItemView::EnsureVisible);
}

void TzelPhoto::SetThumbnail(const QImage& thumb)
{
    FThumb = thumb;
    FLoaded = !thumb.isNull();
}

const QImage& TzelPhoto::Thumbnail()
{
    if (!FLoaded) {
        FLoaded = true;
        const qreal dpr = FView ? FView->devicePixelRatioF() : 1.0;
        const QSize box = FView ? QSize(FView->FThumbW, FView->FThumbH) : QSize(128, 72);
        const QSize pixels(std::max(1, int(std::lround(box.width() * dpr))), std::max(1, int(std::lround(box.height() * dpr))));
        FThumb = FView && FView->FLoader ? FView->FLoader(FFileName, pixels) : TzelGroupView::LoadThumbnail(FFileName, pixels);
        FThumb.setDevicePixelRatio(dpr);
    }
    return FThumb;
}

// ---- view ------------------------------------------------------------------

TzelGroupView::TzelGroupView(QWidget* parent) : QListView(parent), FModel(new TzelGroupModel(this))
{
    setModel(FModel);
    setItemDelegate(new TzelGroupDelegate(this));
    setViewMode(QListView::ListMode);
    setWrapping(false);
    setUniformItemSizes(true);
    setMovement(QListView::Static);
    setResizeMode(QListView::Fixed);
    setSpacing(0);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_Hover);   // the hot photo needs hover events
    horizontalScrollBar()->setStyleSheet(kScrollBarStyle);
    verticalScrollBar()->setStyleSheet(kScrollBarStyle);
    SetKind(sbHorizontal);
    SetMultiSelect(true);
    SetColor(FColor);

    auto changed = [this] {
        ++FChanges;
        FSelRowsValid = false;
    };
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, changed);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, changed);
    auto rowsMoved = [this] { FSelRowsValid = false; };
    connect(FModel, &QAbstractItemModel::rowsInserted, this, rowsMoved);
    connect(FModel, &QAbstractItemModel::rowsRemoved, this, rowsMoved);
    connect(FModel, &QAbstractItemModel::modelReset, this, rowsMoved);
}

TzelGroupView::~TzelGroupView() = default;

void TzelGroupView::SetKind(TKind kind)
{
    FKind = kind;
    setFlow(kind == sbHorizontal ? QListView::LeftToRight : QListView::TopToBottom);
    setHorizontalScrollBarPolicy(kind == sbHorizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(kind == sbHorizontal ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
    ApplyLayout();
}

void TzelGroupView::SetThumbWidth(int w)
{
    FThumbW = std::max(1, w);
    ApplyLayout();
}

void TzelGroupView::SetThumbHeight(int h)
{
    FThumbH = std::max(1, h);
    ApplyLayout();
}

void TzelGroupView::SetSpaceH(int s)
{
    FSpaceH = std::max(0, s);
    ApplyLayout();
}

void TzelGroupView::SetSpaceV(int s)
{
    FSpaceV = std::max(0, s);
    ApplyLayout();
}

void TzelGroupView::SetMultiSelect(bool on)
{
    FMultiSelect = on;
    setSelectionMode(on ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

void TzelGroupView::SetShowCaption(bool on)
{
    FShowCaption = on;
    viewport()->update();
}

void TzelGroupView::SetColor(const QColor& c)
{
    FColor = c;
    QPalette pal = palette();
    pal.setColor(QPalette::Base, c);
    pal.setColor(QPalette::Window, c);
    setPalette(pal);
    viewport()->update();
}

QSize TzelGroupView::CellSize() const
{
    // The thumbnails' own size stays fixed: the loaded thumbnails were scaled for it.
    return {FThumbW + FSpaceH + 2 * CellPadding, FThumbH + FSpaceV + 2 * CellPadding};
}

void TzelGroupView::ApplyLayout()
{
    // Lays out now instead of at the next event loop pass, so that the scroll
    // range and PhotoRect are current for the caller.
    doItemsLayout();
}

TzelPhoto* TzelGroupView::AddPhoto(const QString& file, const QString& caption)
{
    return InsertPhoto(file, PhotoCount(), caption);
}

TzelPhoto* TzelGroupView::InsertPhoto(const QString& file, int index, const QString& caption)
{
    index = std::clamp(index, 0, PhotoCount());
    FModel->BeginInsert(index);
    FPhotos.insert(FPhotos.begin() + index, std::unique_ptr<TzelPhoto>(new TzelPhoto(this, file, caption)));
    Renumber(index);
    FModel->EndInsert();
    return FPhotos[size_t(index)].get();
}

void TzelGroupView::Renumber(int from)
{
    for (size_t i = size_t(from); i < FPhotos.size(); ++i)
        FPhotos[i]->FIndex = int(i);
}

void TzelGroupView::Clear()
{
    FModel->BeginReset();
    FPhotos.clear();
    FModel->EndReset();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

TzelPhoto* TzelGroupView::Photo(int index) const
{
    return index >= 0 && index < PhotoCount() ? FPhotos[size_t(index)].get() : nullptr;
}

void TzelGroupView::ClearSelected() { selectionModel()->clearSelection(); }

const std::vector<int>& TzelGroupView::SelectedRows() const
{
    if (!FSelRowsValid) {
        FSelRows.clear();
        for (const QItemSelectionRange& r : selectionModel()->selection())
            for (int row = r.top(); row <= r.bottom(); ++row)
                FSelRows.push_back(row);
        std::sort(FSelRows.begin(), FSelRows.end());
        FSelRows.erase(std::unique(FSelRows.begin(), FSelRows.end()), FSelRows.end());
        FSelRowsValid = true;
    }
    return FSelRows;
}

int TzelGroupView::GetSelCount() const { return int(SelectedRows().size()); }

TzelPhoto* TzelGroupView::GetSelPhoto(int i) const
{
    const auto& rows = SelectedRows();
    return i >= 0 && i < int(rows.size()) ? Photo(rows[size_t(i)]) : nullptr;
}

TzelPhoto* TzelGroupView::FocusedPhoto() const
{
    const QModelIndex cur = currentIndex();
    return cur.isValid() ? Photo(cur.row()) : nullptr;
}

void TzelGroupView::SetFocusedPhoto(TzelPhoto* photo)
{
    const QModelIndex idx = photo && photo->FView == this ? FModel->index(photo->FIndex) : QModelIndex();
    selectionModel()->setCurrentIndex(idx, QItemSelectionModel::NoUpdate);
}

void TzelGroupView::SelectAllPhotos() { selectAll(); }

void TzelGroupView::UpdatePhotos()
{
    ApplyLayout();
    viewport()->update();
}

int TzelGroupView::ScrollPos() const
{
    return FKind == sbHorizontal ? horizontalScrollBar()->value() : verticalScrollBar()->value();
}

int TzelGroupView::ScrollMax() const
{
    const_cast<TzelGroupView*>(this)->ApplyLayout();
    return FKind == sbHorizontal ? horizontalScrollBar()->maximum() : verticalScrollBar()->maximum();
}

void TzelGroupView::SetScrollPos(int pos)
{
    ApplyLayout();
    QScrollBar* bar = FKind == sbHorizontal ? horizontalScrollBar() : verticalScrollBar();
    bar->setValue(std::clamp(pos, bar->minimum(), bar->maximum()));
}

void TzelGroupView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    QListView::scrollTo(index, hint);
    if (hint != EnsureVisible || !index.isValid())
        return;
    // The list view leaves the last pixel column of a photo at the far edge
    // out of view; bring the whole cell in.
    const QRect r = visualRect(index);
    const QRect vp = viewport()->rect();
    QScrollBar* bar = FKind == sbHorizontal ? horizontalScrollBar() : verticalScrollBar();
    const int over = FKind == sbHorizontal ? r.right() - vp.right() : r.bottom() - vp.bottom();
    const int under = FKind == sbHorizontal ? vp.left() - r.left() : vp.top() - r.top();
    if (over > 0 && under < 0)
        bar->setValue(bar->value() + std::min(over, -under));
}

void TzelGroupView::SetThumbLoader(TzelThumbLoader loader) { FLoader = std::move(loader); }

namespace {
uint32_t Le32(const uchar* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uchar* p) { return uint16_t(p[0] | p[1] << 8); }

// Uncompressed 24- and 32-bit bitmap files (the frame files are 24-bit,
// bottom-up) read at twice the thumbnail's size by picking rows and columns:
// of a 1080p frame only a seventh of the rows is read. Null for anything
// else, which then takes the general reader.
QImage ReadBitmapSampled(const QString& file, const QSize& box, QSize* fitOut)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    uchar head[54];
    if (f.read(reinterpret_cast<char*>(head), sizeof head) != qint64(sizeof head) || head[0] != 'B' || head[1] != 'M')
        return {};
    const uint32_t offset = Le32(head + 10), infoSize = Le32(head + 14);
    const int32_t w = int32_t(Le32(head + 18)), hRaw = int32_t(Le32(head + 22));
    const int bpp = Le16(head + 28);
    const uint32_t compression = Le32(head + 30);
    if (infoSize < 40 || Le16(head + 26) != 1 || (bpp != 24 && bpp != 32) || compression != 0)
        return {};
    if (w <= 0 || w > 32768 || hRaw == 0 || hRaw < -32768 || hRaw > 32768)
        return {};
    const bool bottomUp = hRaw > 0;
    const int h = bottomUp ? hRaw : -hRaw;
    const qint64 rowBytes = (qint64(w) * (bpp / 8) + 3) & ~qint64(3);
    if (offset < 54 || f.size() < qint64(offset) + rowBytes * h)
        return {};
    const QSize fit = QSize(w, h).scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    const int sw = std::min(w, 2 * fit.width()), sh = std::min(h, 2 * fit.height());
    // Small pictures gain nothing from sampling.
    if (sw * 2 > w && sh * 2 > h)
        return {};
    QImage out(sw, sh, QImage::Format_RGB32);
    std::vector<int> cols(static_cast<size_t>(sw));
    for (int x = 0; x < sw; ++x)
        cols[size_t(x)] = int((qint64(2 * x + 1) * w) / (2 * sw)) * (bpp / 8);
    QByteArray row(int(rowBytes), Qt::Uninitialized);
    for (int y = 0; y < sh; ++y) {
        const int sy = int((qint64(2 * y + 1) * h) / (2 * sh));
        const int fileRow = bottomUp ? h - 1 - sy : sy;
        if (!f.seek(qint64(offset) + rowBytes * fileRow) || f.read(row.data(), rowBytes) != rowBytes)
            return {};
        const auto* src = reinterpret_cast<const uchar*>(row.constData());
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < sw; ++x) {
            const uchar* px = src + cols[size_t(x)];
            dst[x] = qRgb(px[2], px[1], px[0]);
        }
    }
    *fitOut = fit;
    return out;
}
}  // namespace

QImage TzelGroupView::LoadThumbnail(const QString& file, const QSize& box)
{
    if (file.isEmpty() || box.isEmpty())
        return {};
    QSize fit;
    QImage img = ReadBitmapSampled(file, box, &fit);
    if (img.isNull()) {
        QImageReader reader(file);
        const QSize full = reader.size();
        if (!full.isEmpty() && reader.supportsOption(QImageIOHandler::ScaledSize))
            reader.setScaledSize(full.scaled(box, Qt::KeepAspectRatio));
        img = reader.read();
        if (img.isNull())
            return {};
        fit = img.size().scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        // A fast pass down to twice the size, then a smooth one: nearly the
        // quality of a smooth pass over the full frame at a fraction of its time.
        if (img.width() > 4 * fit.width() && img.height() > 4 * fit.height())
            img = img.scaled(fit * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    if (img.size() != fit)
        img = img.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return img.convertToFormat(img.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

QRect TzelGroupView::PhotoRect(const TzelPhoto* photo) const
{
    if (!photo || photo->FView != this)
        return {};
    const_cast<TzelGroupView*>(this)->ApplyLayout();
    return visualRect(FModel->index(photo->FIndex));
}

QRectF TzelGroupView::ImageRect(const TzelPhoto* photo) const
{
    const QRect cell = PhotoRect(photo);
    if (cell.isEmpty())
        return {};
    const QRectF box(cell.left() + CellPadding, cell.top() + CellPadding, FThumbW, FThumbH);
    const QImage& thumb = const_cast<TzelPhoto*>(photo)->Thumbnail();
    if (thumb.isNull())
        return box;
    const QSizeF s = thumb.deviceIndependentSize();
    return QRectF(box.left() + (box.width() - s.width()) / 2, box.top() + (box.height() - s.height()) / 2, s.width(), s.height());
}

TzelPhoto* TzelGroupView::PhotoAt(const QPoint& viewportPos) const
{
    const QModelIndex idx = indexAt(viewportPos);
    return idx.isValid() ? Photo(idx.row()) : nullptr;
}

void TzelGroupView::PaintPhoto(QPainter* p, const QRect& cell, TzelPhoto* photo, bool selected, bool focused, bool hot)
{
    ++FPainted;
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setRenderHint(QPainter::SmoothPixmapTransform);

    const QRectF cellF = QRectF(cell).adjusted(1, 1, -1 - FSpaceH, -1);
    if (selected || hot) {
        p->setPen(Qt::NoPen);
        p->setBrush(selected ? kSelectedCell : kHotCell);
        p->drawRoundedRect(cellF, 5, 5);
    }

    const QRectF box(cell.left() + CellPadding, cell.top() + CellPadding, FThumbW, FThumbH);
    const QImage& thumb = photo->Thumbnail();
    QRectF image = box;
    if (thumb.isNull()) {
        p->fillRect(box, kPlaceholder);
        p->setPen(QPen(kPlaceholder.darker(125), 1));
        p->drawLine(box.topLeft(), box.bottomRight());
        p->drawLine(box.topRight(), box.bottomLeft());
    } else {
        const QSizeF s = thumb.deviceIndependentSize();
        image = QRectF(box.left() + (box.width() - s.width()) / 2, box.top() + (box.height() - s.height()) / 2, s.width(), s.height());
        p->drawImage(image, thumb);
    }

    if (selected) {
        p->setBrush(Qt::NoBrush);
        p->setPen(QPen(kAccent, 2));
        p->drawRect(image.adjusted(-1, -1, 1, 1));
    }
    if (focused && !selected) {
        p->setBrush(Qt::NoBrush);
        p->setPen(QPen(kAccent, 1, Qt::DotLine));
        p->drawRoundedRect(cellF.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    }

    const QRectF text(box.left(), box.bottom(), FThumbW, FSpaceV);
    if (FShowCaption && !photo->Caption().isEmpty() && FSpaceV > 0) {
        p->setPen(kCaption);
        p->setFont(font());
        const QString caption = QFontMetrics(font()).elidedText(photo->Caption(), Qt::ElideRight, FThumbW);
        p->drawText(text, Qt::AlignHCenter | Qt::AlignVCenter, caption);
    }
    p->restore();

    p->save();
    p->setFont(font());
    p->setPen(kCaption);
    Q_EMIT OnDrawPhoto(photo, p, text, image);
    p->restore();
}

// ---- user input --------------------------------------------------------------

template <class F> void TzelGroupView::UserAction(F&& f)
{
    const quint64 before = FChanges;
    f();
    if (FChanges != before)
        Q_EMIT OnSelectedChange();
}

void TzelGroupView::keyPressEvent(QKeyEvent* e)
{
    e->ignore();
    Q_EMIT OnKeyDown(e);
    if (e->isAccepted())
        return;
    e->accept();
    UserAction([&] { QListView::keyPressEvent(e); });
}

// A click may move the focus on the press and the selection on the release
// (a plain click on one of several selected photos); the owner hears it once,
// at the release, or before the pop-up menu.
void TzelGroupView::mousePressEvent(QMouseEvent* e)
{
    FlushMouseChanges();
    FMouseHeld = true;
    FChangesAtPress = FChanges;
    QListView::mousePressEvent(e);
}

void TzelGroupView::mouseMoveEvent(QMouseEvent* e)
{
    if (FMouseHeld)
        QListView::mouseMoveEvent(e);
    else
        UserAction([&] { QListView::mouseMoveEvent(e); });
}

void TzelGroupView::mouseReleaseEvent(QMouseEvent* e)
{
    QListView::mouseReleaseEvent(e);
    if (e->buttons() == Qt::NoButton)
        FlushMouseChanges();
}

void TzelGroupView::FlushMouseChanges()
{
    if (!FMouseHeld)
        return;
    FMouseHeld = false;
    if (FChanges != FChangesAtPress)
        Q_EMIT OnSelectedChange();
}

void TzelGroupView::mouseDoubleClickEvent(QMouseEvent* e)
{
    FlushMouseChanges();
    FMouseHeld = true;
    FChangesAtPress = FChanges;
    QListView::mouseDoubleClickEvent(e);
}

void TzelGroupView::focusInEvent(QFocusEvent* e)
{
    // Tabbing in may make the first photo the focused one: a user's change.
    if (e->reason() == Qt::TabFocusReason || e->reason() == Qt::BacktabFocusReason)
        UserAction([&] { QListView::focusInEvent(e); });
    else
        QListView::focusInEvent(e);
    viewport()->update();
}

void TzelGroupView::focusOutEvent(QFocusEvent* e)
{
    QListView::focusOutEvent(e);
    viewport()->update();
}

void TzelGroupView::wheelEvent(QWheelEvent* e)
{
    QScrollBar* bar = FKind == sbHorizontal ? horizontalScrollBar() : verticalScrollBar();
    const QPoint pixels = e->pixelDelta();
    const QPoint angle = e->angleDelta();
    // Either wheel axis scrolls along the strip; a notch moves one photo.
    int step = 0;
    if (!pixels.isNull()) {
        step = std::abs(pixels.y()) >= std::abs(pixels.x()) ? pixels.y() : pixels.x();
    } else {
        const int a = std::abs(angle.y()) >= std::abs(angle.x()) ? angle.y() : angle.x();
        const int cell = FKind == sbHorizontal ? CellSize().width() : CellSize().height();
        step = a * cell / 120;
        if (step == 0 && a != 0)
            step = a > 0 ? 1 : -1;
    }
    if (e->inverted())
        step = -step;
    const int before = bar->value();
    bar->setValue(std::clamp(before - step, bar->minimum(), bar->maximum()));
    // At an end the event goes on to the parent, as scroll areas do.
    e->setAccepted(bar->value() != before || step == 0);
}

void TzelGroupView::contextMenuEvent(QContextMenuEvent* e)
{
    FlushMouseChanges();
    // Delivered through the viewport: the position is the viewport's.
    QPoint pos = e->pos();
    if (e->reason() == QContextMenuEvent::Keyboard) {
        const QRect r = PhotoRect(FocusedPhoto());
        pos = r.isEmpty() ? QPoint(4, 4) : r.center();
    }
    Q_EMIT OnPopup(pos);
    if (FPopup) {
        FPopup->exec(viewport()->mapToGlobal(pos));
        e->accept();
    } else {
        e->ignore();
    }
}
