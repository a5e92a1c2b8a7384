#pragma once
// The frames decoded for the frame strip: each one's exact time, the bitmap
// file holding its picture, the user's deletion mark, and links to the frames
// decoded just before and after it in the same run, so that walking the same
// stretch again reuses frames instead of decoding them.

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class TVGFrame {
public:
    TVGFrame(const QString& bitmapFile, int64_t pts) : PTS(pts), BitmapFile(bitmapFile) {}
    TVGFrame(const TVGFrame&) = delete;
    TVGFrame& operator=(const TVGFrame&) = delete;

    TVGFrame* Prior = nullptr;   // not owned
    TVGFrame* Next = nullptr;    // not owned
    int64_t PTS = 0;
    QString BitmapFile;          // stays on disk when the frame is freed; empty once
                                 // the disk budget dropped it (made again on demand)
    bool Deleted = false;
    int64_t FileBytes = 0;       // size of BitmapFile while it is there
    uint64_t LastUse = 0;        // when its file was last made or shown (a counter)

    // Set the link; a neighbour on the wrong side is logged but linked anyway.
    void SetNext(TVGFrame* frame);
    void SetPrior(TVGFrame* frame);
};

// Owning list, strictly increasing in time. Removing a frame frees it and
// first unhooks every link that points to it.
class TVGFrames {
public:
    TVGFrames() = default;
    ~TVGFrames();
    TVGFrames(const TVGFrames&) = delete;
    TVGFrames& operator=(const TVGFrames&) = delete;

    int Count() const { return static_cast<int>(FItems.size()); }
    bool IsEmpty() const { return FItems.empty(); }
    TVGFrame* Items(int index) const { return FItems[static_cast<size_t>(index)].get(); }
    TVGFrame* operator[](int index) const { return Items(index); }
    int IndexOf(const TVGFrame* frame) const;

    // A new unlinked frame in its place by time. A time already in the list
    // keeps its frame (the list holds no duplicates); that frame is returned.
    TVGFrame* AddFrame(const QString& file, int64_t pts);
    TVGFrame* FindFrame(int64_t pts) const;
    // First index whose time is not less than pts.
    int InsertIndex(int64_t pts) const;

    void Delete(int index);
    bool Remove(TVGFrame* frame);
    void Clear();

private:
    void Unlink(TVGFrame* frame);
    std::vector<std::unique_ptr<TVGFrame>> FItems;
};
