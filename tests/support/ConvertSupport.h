#pragma once
// Driving the conversion thread in tests: fixture clips whose frames show
// their own index, the flag for a range of them, a receiver built on the
// typed adapter, the drive loop, and what the GIF shows read back.
#include "FixtureVideo.h"
#include "VGConvert.h"
#include "ZelMessages.h"

#include <QImage>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

// A fixture clip in a folder of its own; Ok false with the writer's message.
struct TClip {
    TFixtureVideo Video;
    QString Dir;
    bool Ok = false;
    QString Error;
};

// Writes `fileName` (the extension picks the container) in a fresh folder
// named after `tag`, after `setup` has changed the clip's description.
TClip MakeClip(const QString& tag, const QString& fileName, const std::function<void(TFixtureVideo&)>& setup = {});
// The shared clip, written once: 160 x 120, 25 fps, 50 frames.
const TClip& IndexClip();

#define REQUIRE_CLIP(c) \
    if (!(c).Ok) FAIL() << "fixture: " << (c).Error.toStdString()

// A conversion of frames [from, to) of the clip (to < 0: to its end) at the
// clip's rate, speed 1, full size, looping forever, into clip.Dir + gifName;
// the working files go to the clip's folder, where a test can look for them.
TVGConvertFlag ClipFlag(const TClip& clip, const QString& gifName, int from = 0, int to = -1);

// What the thread reported.
struct TConvertRun {
    QList<int> Percents;
    int Finishes = 0;
    int Errors = 0;
    int Written = -1, Limit = -1;
    QString Error;
    bool TimedOut = false;
};

// Hears a conversion as a window does, through the typed adapter.
class TConvertRecorder : public TConvertEvents {
public:
    explicit TConvertRecorder(QObject* parent = nullptr);
    TConvertRun R;
};

// Serves the event queue until the thread ends (or timeoutMs pass), then
// delivers what it posted last; answers what the recorder heard.
TConvertRun DriveConversion(TConvertRecorder& recv, std::unique_ptr<TVideo2GifThread> thread, int timeoutMs = 120000);
// Starts a thread on the flag, reporting to a recorder of its own, and drives it.
TConvertRun RunConversion(TVGConvertFlag flag);

// A finished run: one finish, no error, progress rising from 0 to 100.
void ExpectFinished(const TConvertRun& r);
// A failed run: exactly one error whose text contains `mentions`, no finish.
void ExpectFailed(const TConvertRun& r, const QString& mentions);

QList<int> Indexes(const QList<QImage>& frames);
// from, from + step, ... up to `to`, excluded (step may be negative).
QList<int> Seq(int from, int to, int step = 1);
// The frame indexes of a GIF as Qt's reader and FFmpeg's decoder both see
// them (they must agree, and FFmpeg must refuse nothing); Qt's answer.
QList<int> GifIndexes(const QString& path);
// The GIF's play time in centiseconds, from its own blocks.
int GifPlayTimeCs(const QString& path);
// Mean absolute difference per channel of two pictures; 255 when their sizes differ.
double MeanDiff(const QImage& a, const QImage& b);
// Working files a conversion might leave in the folder (frame stores, partial GIFs).
QStringList LeftoverFiles(const QString& dir);
