#include "VGFrames.h"

#include "FFDecoder.h"
#include "Zelfunction.h"

void TVGFrame::SetNext(TVGFrame* frame)
{
    if (frame && frame->PTS <= PTS)
        MsgOut(QStringLiteral("error next frame?! ") + FormatPTS(PTS, 3) + QStringLiteral("->")
               + FormatPTS(frame->PTS, 3));
    Next = frame;
}

void TVGFrame::SetPrior(TVGFrame* frame)
{
    if (frame && frame->PTS >= PTS)
        MsgOut(QStringLiteral("error prior frame?! ") + FormatPTS(frame->PTS, 3) + QStringLiteral("<-")
               + FormatPTS(PTS, 3));
    Prior = frame;
}

TVGFrames::~TVGFrames() { Clear(); }

int TVGFrames::IndexOf(const TVGFrame* frame) const
{
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == frame)
            return static_cast<int>(i);
    return -1;
}

TVGFrame* TVGFrames::AddFrame(const QString& file, int64_t pts)
{
    const int index = InsertIndex(pts);
    if (index < Count() && Items(index)->PTS == pts) {
        MsgOut(QStringLiteral("frame already listed: ") + FormatPTS(pts, 3) + QStringLiteral(" ") + file);
        return Items(index);
    }
    auto frame = std::make_unique<TVGFrame>(file, pts);
    TVGFrame* result = frame.get();
    FItems.insert(FItems.begin() + index, std::move(frame));
    return result;
}

TVGFrame* TVGFrames::FindFrame(int64_t pts) const
{
    int lo = 0;
    int hi = Count() - 1;
    while (lo <= hi) {
        if (lo == hi)
            return Items(lo)->PTS == pts ? Items(lo) : nullptr;
        const int mid = lo + (hi - lo) / 2;
        TVGFrame* item = Items(mid);
        if (item->PTS == pts)
            return item;
        if (item->PTS < pts)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return nullptr;
}

int TVGFrames::InsertIndex(int64_t pts) const
{
    if (FItems.empty())
        return 0;
    int lo = 0;
    int hi = Count() - 1;
    for (;;) {
        if (lo == hi)
            return Items(lo)->PTS < pts ? lo + 1 : lo;
        const int mid = lo + (hi - lo) / 2;
        if (Items(mid)->PTS < pts)
            lo = mid + 1;
        else
            hi = mid;
    }
}

void TVGFrames::Unlink(TVGFrame* frame)
{
    // Not only the frame's own neighbours: a later run may have relinked one
    // side, leaving a one-sided link to the frame elsewhere. Removal is rare,
    // so a scan is affordable. A neighbour's link to some other frame stays.
    for (auto& item : FItems) {
        if (item->Next == frame)
            item->Next = nullptr;
        if (item->Prior == frame)
            item->Prior = nullptr;
    }
    frame->Prior = nullptr;
    frame->Next = nullptr;
}

void TVGFrames::Delete(int index)
{
    if (index < 0 || index >= Count())
        return;
    Unlink(Items(index));
    FItems.erase(FItems.begin() + index);
}

bool TVGFrames::Remove(TVGFrame* frame)
{
    const int index = IndexOf(frame);
    if (index < 0)
        return false;
    Delete(index);
    return true;
}

void TVGFrames::Clear()
{
    // Every frame goes, so no link can survive: no per-frame scan needed.
    for (auto& item : FItems) {
        item->Prior = nullptr;
        item->Next = nullptr;
    }
    FItems.clear();
}
