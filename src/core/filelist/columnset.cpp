#include "core/filelist/columnset.h"

QList<ColumnDef> columnSet(Mode mode)
{
    using namespace ColumnKeys;
    // The Zing set is the Yahoo set without the message columns, so both share the tail. The
    // widths up to Size fit the window's starting width, so the sizes show without scrolling.
    const QList<ColumnDef> tail = {
        {FileName, QStringLiteral("File Name"), 2900, Qt::AlignLeft},
        {Size, QStringLiteral("Size"), 1000, Qt::AlignRight},
        {FileURL, QStringLiteral("File URL"), 13800, Qt::AlignLeft},
        {HiddenSize, QString(), 0, Qt::AlignLeft},
    };
    if (mode == Mode::Zing)
        return tail;

    QList<ColumnDef> columns = {
        {MsgNo, QStringLiteral("Msg No."), 900, Qt::AlignLeft},
        {Subject, QStringLiteral("Subject"), 2000, Qt::AlignLeft},
        {Author, QStringLiteral("Author"), 1200, Qt::AlignLeft},
    };
    columns.append(tail);
    return columns;
}

QString formatHiddenSize(const QString &size)
{
    constexpr qsizetype minDigits = 7;
    if (size.isEmpty())
        return size;
    for (const QChar c : size) {
        if (c < u'0' || c > u'9')
            return size;
    }
    if (size.size() >= minDigits)
        return size;
    return QString(minDigits - size.size(), u'0') + size;
}

QString formatMessageNumber(qint64 number)
{
    return QStringLiteral("%1").arg(number, 5, 10, QLatin1Char('0'));
}
