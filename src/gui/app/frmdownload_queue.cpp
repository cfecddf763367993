// New, Open, Save and Save As of queue files.
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QStandardPaths>

#include "core/app/appinfo.h"
#include "core/queue/queuefile.h"
#include "core/search/texthelpers.h"
#include "gui/app/frmdownload.h"

namespace {

// Reading a queue file drives the window: a "Server" line switches the mode (and so the
// columns) before the rows that follow are added.
class WindowSink final : public QueueFile::Sink
{
public:
    explicit WindowSink(frmDownload &window) : m_window(window) {}

    bool setServer(const QString &server) override
    {
        flush();
        return m_window.selectMode(server);
    }
    void setUrl(const QString &url) override { m_window.cmbBaseURL->setEditText(url); }
    void setMask(const QString &mask) override { m_window.txtMask->setText(mask); }
    QString currentServer() const override { return m_window.cmbServer->currentText(); }
    // Rows are added in batches: one by one, each would be placed into the standing sort
    // separately, which grows with the square of the list on a file saved in another order.
    void addRow(const QStringList &cells) override { m_rows.append(cells); }

    void flush()
    {
        if (!m_rows.isEmpty())
            m_window.files().addRows(m_rows);
        m_rows.clear();
    }

private:
    frmDownload &m_window;
    QList<QStringList> m_rows;
};

} // namespace

QString frmDownload::queueDialogFolder() const
{
    // Not the program's folder: installed, that is a system folder nobody may write to.
    return m_values.gQueueFolder.isEmpty()
               ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
               : m_values.gQueueFolder;
}

void frmDownload::setQueueCaption(const QString &ending)
{
    setWindowTitle(AppInfo::Title + ending);
}

void frmDownload::setQueueFileName(const QString &path)
{
    m_state.QueueFileName = path;
    setQueueCaption(QStringLiteral(" - ") +
                    TextHelpers::GetLastPart(QDir::toNativeSeparators(path), QDir::separator()));
}

void frmDownload::NewQueue()
{
    m_files.clear();
    cmbBaseURL->setEditText(QString());
    txtMask->setText(QString());
    m_state.QueueFileName.clear();
    setQueueCaption(QStringLiteral(" - New Queue"));
    UpdateTotals();
}

void frmDownload::OpenQueue(const QString &file)
{
    QString path = file;
    if (path.isEmpty()) {
        path = m_prompts->askOpenQueueFile(this, queueDialogFolder());
        if (path.isEmpty())
            return;
    }
    m_files.clear();
    WindowSink sink(*this);
    const QueueFile::Error error = QueueFile::read(path, sink);
    sink.flush();
    // The totals follow the rows that were read, also when the file broke off.
    UpdateTotals();
    if (error.isError()) {
        m_prompts->showError(this, error.message());
        return;
    }
    setQueueFileName(path);
}

void frmDownload::SaveQueue(bool SaveAs)
{
    QString path = m_state.QueueFileName;
    if (SaveAs || path.isEmpty()) {
        const Prompts::SaveChoice choice = m_prompts->askSaveQueueFile(this, queueDialogFolder());
        if (choice.path.isEmpty())
            return;
        path = choice.path;
        if (choice.queueFilter && !path.endsWith(QLatin1String(".tbq"), Qt::CaseSensitive)) {
            path += QStringLiteral(".tbq");
            // The dialog asked about the name as typed, not about this one.
            if (QFileInfo::exists(path) && !m_prompts->askReplaceFile(this, path))
                return;
        }
    }

    QueueFile::Content content;
    content.server = cmbServer->currentText();
    content.url = cmbBaseURL->currentText();
    content.mask = txtMask->text();
    content.rows.reserve(m_files.rowCount());
    for (int row = 0; row < m_files.rowCount(); ++row)
        content.rows.append(m_files.cells(row));
    const QueueFile::Error error = QueueFile::write(path, content);
    if (error.isError()) {
        m_prompts->showError(this, error.message());
        return;
    }
    setQueueFileName(path);
}
