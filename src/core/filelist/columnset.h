#pragma once

#include <QList>
#include <QString>
#include <Qt>

#include "core/filelist/mode.h"

// The columns of the result list in each mode. Cells are plain texts addressed by
// column position; two columns hold zero-padded digits so that text order is number order.
namespace ColumnKeys {
inline const QString MsgNo = QStringLiteral("MsgNo");
inline const QString Subject = QStringLiteral("Subject");
inline const QString Author = QStringLiteral("Author");
inline const QString FileName = QStringLiteral("FileName");
inline const QString Size = QStringLiteral("Size");
inline const QString FileURL = QStringLiteral("FileURL");
inline const QString HiddenSize = QStringLiteral("HiddenSize");
} // namespace ColumnKeys

struct ColumnDef
{
    QString key;
    QString caption;
    int widthTwips = 0;
    Qt::Alignment alignment = Qt::AlignLeft;
};

// The column set of a mode, in column order, the hidden size key last.
QList<ColumnDef> columnSet(Mode mode);

// Positions fixed by the column sets.
inline int sizeColumn(Mode mode)
{
    return mode == Mode::Yahoo ? 4 : 1;
}
inline int fileUrlColumn(Mode mode)
{
    return mode == Mode::Yahoo ? 5 : 2;
}
inline int hiddenSizeColumn(Mode mode)
{
    return mode == Mode::Yahoo ? 6 : 3;
}
inline int fileNameColumn(Mode mode)
{
    return mode == Mode::Yahoo ? 3 : 0;
}

// The sort key of a size: a whole number zero-padded to at least seven digits
// ("1234" -> "0001234"); an empty text or one that is not a number stays unchanged.
QString formatHiddenSize(const QString &size);

// A message number as five digits with leading zeros ("634" -> "00634").
QString formatMessageNumber(qint64 number);
