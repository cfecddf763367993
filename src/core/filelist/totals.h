#pragma once

#include <QLocale>
#include <QString>

// The three totals of the status bar. Counts and sums are 64-bit, so lists of more than
// 2 GB add up right.
struct Totals
{
    qint64 checkedCount = 0;
    qint64 checkedBytes = 0;
    qint64 selectedCount = 0;
    qint64 selectedBytes = 0;
    qint64 totalCount = 0;
    qint64 totalBytes = 0;
};

struct TotalsTexts
{
    QString checked;  // "3 checked, 1,234,567 bytes"
    QString selected; // "1 selected, 0 bytes"
    QString total;    // "4 files, 1,234,567 bytes"
};

// A size cell read as a whole number of bytes; empty or non-numeric text counts as 0.
qint64 parseSizeCell(const QString &text);

// "12.3 MB": decimal units (1 kB = 1000 bytes), as the desktop's file managers show sizes,
// and never "1,000.0 kB" where the value rounds up to the next unit.
QString formatDataSize(qint64 bytes, const QLocale &locale = QLocale());

// The panel texts; byte sums grouped by the locale's thousands separator, no decimals.
TotalsTexts formatTotals(const Totals &totals, const QLocale &locale = QLocale());
// The same, short, for a narrow window: sizes in decimal units ("3 checked, 1.2 MB") and
// nothing but the count where it is none ("0 selected").
TotalsTexts formatShortTotals(const Totals &totals, const QLocale &locale = QLocale());
