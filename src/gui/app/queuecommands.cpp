#include "gui/app/queuecommands.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWidget>

#include "core/app/appinfo.h"
#include "core/app/programvalues.h"
#include "core/app/runsession.h"
#include "core/queue/queuefile.h"
#include "core/search/texthelpers.h"
#include "gui/app/modeswitch.h"
#include "gui/ui/prompts.h"

namespace {

// Reading a queue file drives the window: a "Server" line switches the mode (and so the
// columns) before the rows that follow are added.
class WindowSink final : public QueueFile::Sink
{
public:
    WindowSink(ModeSwitch &modes, FileListModel &files) : m_modes(modes), m_files(files) {}

    bool setServer(const QString &server) override
    {
        flush();
        return m_modes.selectMode(server);
    }
    void setUrl(const QString &url) override { m_modes.setUrl(url); }
    void setMask(const QString &mask) override { m_modes.setMask(mask); }
    QString currentServer() const override { return m_modes.modeName(); }
    // Rows are added in batches: one by one, each would be placed into the standing sort
    // separately, which grows with the square of the list on a file saved in another order.
    void addRow(const QStringList &cells) override { m_rows.append(cells); }

    void flush()
    {
        if (!m_rows.isEmpty())
            m_files.addRows(m_rows);
        m_rows.clear();
    }

private:
    ModeSwitch &m_modes;
    FileListModel &m_files;
    QList<QStringList> m_rows;
};

} // namespace

QueueCommands::QueueCommands(QWidget &window, RunSession &session, ModeSwitch &modes,
                             const ProgramValues &values, Prompts &prompts)
    : m_window(window), m_session(session), m_modes(modes), m_values(values), m_prompts(prompts)
{
    watchRows();
}

void QueueCommands::watchRows()
{
    FileListModel &files = m_session.files();
    const auto changed = [this] {
        if (!m_replacing)
            setModified(true);
    };
    connect(&files, &QAbstractItemModel::rowsInserted, this, changed);
    connect(&files, &QAbstractItemModel::rowsRemoved, this, changed);
    // A reset is a change only when it changed the rows: a new column set keeps them.
    connect(&files, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { m_rowsBeforeReset = m_session.files().rowCount(); });
    connect(&files, &QAbstractItemModel::modelReset, this, [this, changed] {
        if (m_session.files().rowCount() != m_rowsBeforeReset)
            changed();
    });
}

void QueueCommands::setModified(bool modified)
{
    m_modified = modified;
    m_window.setWindowModified(modified);
}

bool QueueCommands::maySaveChanges()
{
    if (!m_modified)
        return true;
    switch (m_prompts.askSaveChanges(&m_window)) {
    case Prompts::SaveAnswer::Save:
        return SaveQueue(false);
    case Prompts::SaveAnswer::Discard:
        return true;
    case Prompts::SaveAnswer::Cancel:
        break;
    }
    return false;
}

QString QueueCommands::queueDialogFolder() const
{
    // Not the program's folder: installed, that is a system folder nobody may write to.
    return m_values.gQueueFolder.isEmpty()
               ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
               : m_values.gQueueFolder;
}

void QueueCommands::setQueueCaption(const QString &ending)
{
    m_window.setWindowTitle(AppInfo::Title + ending + QStringLiteral("[*]"));
}

void QueueCommands::setQueueFileName(const QString &path)
{
    m_session.state().QueueFileName = path;
    setQueueCaption(QStringLiteral(" - ") +
                    TextHelpers::GetLastPart(QDir::toNativeSeparators(path), QDir::separator()));
}

void QueueCommands::NewQueue()
{
    if (!maySaveChanges())
        return;
    m_replacing = true;
    m_session.files().clear();
    m_replacing = false;
    setModified(false);
    m_modes.setUrl(QString());
    m_modes.setMask(QString());
    m_session.state().QueueFileName.clear();
    setQueueCaption(QStringLiteral(" - New Queue"));
    Q_EMIT listReplaced();
}

void QueueCommands::OpenQueue(const QString &file)
{
    if (!maySaveChanges())
        return;
    QString path = file;
    if (path.isEmpty()) {
        path = m_prompts.askOpenQueueFile(&m_window, queueDialogFolder());
        if (path.isEmpty())
            return;
    }
    const int rowsBefore = m_session.files().rowCount();
    m_replacing = true;
    m_session.files().clear();
    WindowSink sink(m_modes, m_session.files());
    const QueueFile::Error error = QueueFile::read(path, sink);
    sink.flush();
    m_replacing = false;
    // A file that broke off leaves rows that are in no file (or none where some were).
    setModified(error.isError() &&
                (m_modified || rowsBefore > 0 || m_session.files().rowCount() > 0));
    // The totals follow the rows that were read, also when the file broke off.
    Q_EMIT listReplaced();
    if (error.isError()) {
        m_prompts.showError(&m_window, error.message());
        return;
    }
    setQueueFileName(path);
}

bool QueueCommands::SaveQueue(bool SaveAs)
{
    QString path = m_session.state().QueueFileName;
    if (SaveAs || path.isEmpty()) {
        const Prompts::SaveChoice choice =
            m_prompts.askSaveQueueFile(&m_window, queueDialogFolder());
        if (choice.path.isEmpty())
            return false;
        path = choice.path;
        if (choice.queueFilter && !path.endsWith(QLatin1String(".tbq"), Qt::CaseSensitive)) {
            path += QStringLiteral(".tbq");
            // The dialog asked about the name as typed, not about this one.
            if (QFileInfo::exists(path) && !m_prompts.askReplaceFile(&m_window, path))
                return false;
        }
    }

    const FileListModel &files = m_session.files();
    QueueFile::Content content;
    content.server = m_modes.modeName();
    content.url = m_modes.url();
    content.mask = m_modes.mask();
    content.rows.reserve(files.rowCount());
    for (int row = 0; row < files.rowCount(); ++row)
        content.rows.append(files.cells(row));
    const QueueFile::Error error = QueueFile::write(path, content);
    if (error.isError()) {
        m_prompts.showError(&m_window, error.message());
        return false;
    }
    setQueueFileName(path);
    setModified(false);
    return true;
}
