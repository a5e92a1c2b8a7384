#pragma once
// What every benchmark needs: order statistics of timings, fixture clips
// written once and kept between runs, and the command line's time for one
// exact frame as the reference of locating and scrubbing.

#include "FixtureVideo.h"

#include <QString>
#include <vector>

double Median(std::vector<double> v);
// The value below which the fraction p of the timings lie.
double Percentile(std::vector<double> v, double p);

// Writes the clip when its file is missing (saying so: large clips take a
// while); false, with the cause on stderr, when it cannot be written.
bool EnsureClip(const TFixtureVideo& clip);

// Wall milliseconds of `ffmpeg -ss t -i file -frames:v 1`.
double CliMs(const QString& ffmpeg, const QString& file, double t);
