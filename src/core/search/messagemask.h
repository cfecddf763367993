#pragma once

#include <QList>
#include <QString>

// Expands a message range mask ("634,635,650-680") into message numbers in the order they
// are fetched. Pieces are cut at ","; each, trimmed of spaces, is a number (sign, fraction
// and exponent allowed, a fraction rounded half to even) or a range "lower - upper" with
// upper > lower. Duplicates and order are kept.
namespace MessageMask {

struct Result
{
    bool ok = false;
    QList<qint32> numbers;
    QString badPiece; // the first piece that could not be read, when !ok
};

Result ParseMessageMask(const QString &mask);

} // namespace MessageMask
