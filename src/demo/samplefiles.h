#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>

// The bytes of the demo's sample files: real pictures and documents that a browser or a
// viewer opens, drawn from a seed so that every start makes the same bytes. Needs a
// QGuiApplication (text is drawn with the system's fonts).
namespace SampleFiles {

// A harbour scene with sailing boats and a caption. Grain (0-255) adds film noise, which is
// what makes a JPEG large; format is "jpg", "png" or "bmp".
QByteArray photo(QSize size, quint32 seed, const QString &caption, int grain, const char *format);

// A tide curve over days, as a PNG chart.
QByteArray tideChart(QSize size, int days, quint32 seed);

// A PDF of A4 pages: the title, then the lines, as many pages as they need.
QByteArray pdf(const QString &title, const QStringList &lines);

// Lines of made-up club notes, seeded; lines counts them.
QStringList notes(int lines, quint32 seed);

// A tide table as comma-separated values, one row per tide.
QByteArray tideTable(int days, quint32 seed);

} // namespace SampleFiles
