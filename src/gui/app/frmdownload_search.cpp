// The search of the mode shown, started from the toolbar's "Search".
#include <QComboBox>
#include <QLineEdit>

#include "gui/app/frmdownload.h"
#include "gui/ui/prompts.h"

void frmDownload::Search()
{
    RunSession::Search search;
    search.mode = m_session.mode();
    search.url = cmbBaseURL->currentText();
    search.mask = txtMask->text();
    search.threads = m_values.gNumberOfThreads;
    search.filters = {m_values.gFilterSubject, m_values.gFilterAuthor, m_values.gFilterFilename};
    search.timeouts = m_searchTimeouts;
    if (m_session.startSearch(search) == RunSession::Refusal::BadMask)
        m_prompts->showCritical(this, RunSession::refusalText(RunSession::Refusal::BadMask));
}
