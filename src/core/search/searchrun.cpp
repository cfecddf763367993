#include "core/search/searchrun.h"

#include <QStringList>
#include <algorithm>

QString SearchReport::failedMask() const
{
    QList<qint32> numbers;
    for (const FailedPage &page : failures)
        if (page.message)
            numbers.append(*page.message);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    QStringList pieces;
    for (qsizetype i = 0; i < numbers.size();) {
        qsizetype last = i;
        while (last + 1 < numbers.size() && qint64(numbers.at(last + 1)) == numbers.at(last) + 1)
            ++last;
        // A range's lower bound cannot be negative: its "-" would read as the separator.
        if (last > i && numbers.at(i) >= 0) {
            pieces.append(QStringLiteral("%1-%2").arg(numbers.at(i)).arg(numbers.at(last)));
            i = last + 1;
        } else {
            pieces.append(QString::number(numbers.at(i)));
            ++i;
        }
    }
    return pieces.join(QLatin1Char(','));
}

QString SearchReport::failedText() const
{
    if (pagesFailed <= 0)
        return {};
    QString text = pagesFailed == 1 ? QStringLiteral("1 page failed")
                                    : QStringLiteral("%1 pages failed").arg(pagesFailed);
    QString mask = failedMask();
    // A long archive can have hundreds of gaps; the status line names the first of them, and
    // Search Failed Pages Again takes the whole mask.
    if (const qsizetype cut = mask.lastIndexOf(QLatin1Char(','), MaxShownMask);
        mask.size() > MaxShownMask && cut > 0)
        mask = mask.left(cut) + QStringLiteral(",\u2026");
    if (!mask.isEmpty())
        text += QStringLiteral(": ") + mask;
    return text;
}

QStringList SearchReport::failureLines() const
{
    QStringList lines;
    // Not the album page's address: it carries the password.
    for (const FailedPage &page : failures)
        lines.append((page.message ? QStringLiteral("message %1").arg(*page.message)
                                   : QStringLiteral("album page")) +
                     QStringLiteral(": ") + page.reason);
    return lines;
}

QString SearchReport::finishedText() const
{
    QString text = QStringLiteral("Finished search");
    if (pagesFailed > 0)
        text += QStringLiteral(", ") + failedText();
    if (noPictureList)
        text += QStringLiteral(": no picture list on the album page (wrong password?)");
    return text;
}
