#pragma once

// Small helpers shared by the test executables: file contents, folder listings, model columns.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

// Bytes that differ from position to position, so a shifted or truncated copy shows.
inline QByteArray patternBody(qsizetype size, int seed = 0)
{
    QByteArray body(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        body[i] = char((i * 7 + i / 251 + seed * 13) % 256);
    return body;
}

// A missing file reads as a marker no test expects, so it never passes for an empty one.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Everything in a folder, hidden entries included: a left-over temporary file shows here.
inline QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Permission tests mean nothing for root, who may write anywhere.
inline bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

// One column of a file list, top to bottom.
template <class Model> QStringList column(const Model &files, int col)
{
    QStringList cells;
    for (int row = 0; row < files.rowCount(); ++row)
        cells.append(files.cell(row, col));
    return cells;
}

#include <QTest>

// One data row as one call, so a row stays on one line: dataRow("name", a, b) is
// QTest::newRow("name") << a << b.
template <class... Values> void dataRow(const char *name, const Values &...values)
{
    (QTest::newRow(name) << ... << values);
}
