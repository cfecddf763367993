#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The ".tbq" queue file: a saved search with its result rows.
//
//   Server: Yahoo
//   URL: http://...
//   Message Range: 634,650-680          ("Password: ..." in Zing mode)
//   <row cells joined by TAB>            one line per row, in list order
//
// Lines end with CR LF. The file starts with its Server line; other header lines may stand
// anywhere, and a line with a TAB is always a row. A row is laid out by the mode in force when
// its line is read. Blank lines are skipped. Loading rebuilds the hidden size key from "Size".
namespace QueueFile {

// Errors end an open or save with "number description"; the numbers stay stable.
struct Error
{
    enum Code
    {
        None = 0,
        MissingField = 9,  // a row line with fewer fields than its mode needs
        FileNotFound = 53, // the file does not exist
        DiskFull = 61,     // no room left while writing
        PermissionDenied = 70,
        AccessError = 75,    // the file could not be opened, read or replaced otherwise
        NotAQueueFile = 321, // no "Server" line first, or a line too long for a queue file
        UnknownMode = 380,   // a "Server" value that is not a mode
    };

    Code code = None;
    QString description;

    bool isError() const { return code != None; }
    // "9 line 7: a Yahoo row needs 6 fields, found 3"
    QString message() const { return QString::number(int(code)) + QLatin1Char(' ') + description; }
};

struct Content
{
    QString server; // "Yahoo" or "Zing"; any other text writes no third line and no rows
    QString url;
    QString mask;            // message range or album password
    QList<QStringList> rows; // the list's cells by column; "HiddenSize" is not written
};

// What reading a file does, line by line, so that a "Server" line can switch the window's
// mode before the rows that follow are added.
class Sink
{
public:
    virtual ~Sink() = default;
    // Selects the mode; false when the text is not one of the modes.
    virtual bool setServer(const QString &server) = 0;
    virtual void setUrl(const QString &url) = 0;
    virtual void setMask(const QString &mask) = 0;
    virtual QString currentServer() const = 0;
    // One row with its cells in column order, the hidden size key included.
    virtual void addRow(const QStringList &cells) = 0;
};

// Reads the file line by line into sink. On an error the rows read so far have been added.
Error read(const QString &path, Sink &sink);

// Writes content atomically, row by row: a save that fails leaves the previous file as it
// was. A TAB or line break inside a value is written as a space.
Error write(const QString &path, const Content &content);

// The cells of a row line for a mode, with the hidden key. On too few fields returns an
// empty list and sets needed.
QStringList rowCells(const QString &line, const QString &server, int *needed);

// Content read into memory, for the command-line program and tests.
class MemorySink final : public Sink
{
public:
    Content content;
    bool setServer(const QString &server) override;
    void setUrl(const QString &url) override { content.url = url; }
    void setMask(const QString &mask) override { content.mask = mask; }
    QString currentServer() const override { return content.server; }
    void addRow(const QStringList &cells) override { content.rows.append(cells); }
};

} // namespace QueueFile
