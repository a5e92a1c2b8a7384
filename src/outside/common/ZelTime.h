#pragma once
// Times as people read and type them: "hh:mm:ss.mmm", counted in
// microseconds. The decoder's time functions and the time edits share these,
// so a time typed is read as it is shown.

#include <QString>
#include <cstdint>
#include <limits>

constexpr int64_t TimeUnitsPerSecond = 1000000;
// "No time" (the decoder's unset time has the same value).
constexpr int64_t NoTimeValue = std::numeric_limits<int64_t>::min();

// hh:mm:ss with `digits` (0..6) of fraction, truncated; no time and negative
// times show as zero.
QString TimeToText(int64_t time, int digits = 3);
// Spaces are dropped and a comma reads as the point; one colon means minutes
// and seconds; the fraction is rounded to microseconds. NoTimeValue for text
// with no digit or that is no time.
int64_t TextToTime(const QString& text);
