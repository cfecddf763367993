// The two searches, started from the toolbar's "Search".
#include <QComboBox>
#include <QLineEdit>

#include "core/search/albumsearch.h"
#include "core/search/groupsearch.h"
#include "gui/app/frmdownload.h"
#include "gui/ui/prompts.h"

void frmDownload::SearchGroup()
{
    if (m_state.isRunActive())
        return;
    if (!m_groupSearch) {
        m_groupSearch = std::make_unique<GroupSearch>(m_state, m_slots, m_files);
        connect(m_groupSearch.get(), &GroupSearch::maskRefused, this,
                [this] { m_prompts->showCritical(this, QStringLiteral("Wrong message mask.")); });
    }
    GroupSearch::Params params;
    params.baseUrl = cmbBaseURL->currentText();
    params.mask = txtMask->text();
    params.threads = m_values.gNumberOfThreads;
    params.filters = {m_values.gFilterSubject, m_values.gFilterAuthor, m_values.gFilterFilename};
    params.timeouts = m_searchTimeouts;
    m_groupSearch->start(params);
}

void frmDownload::SearchAlbum()
{
    if (m_state.isRunActive())
        return;
    if (!m_albumSearch) {
        m_albumSearch = std::make_unique<AlbumSearch>(m_state, m_slots, m_files);
    }
    AlbumSearch::Params params;
    params.albumUrl = cmbBaseURL->currentText();
    params.password = txtMask->text();
    params.threads = m_values.gNumberOfThreads;
    params.timeouts = m_searchTimeouts;
    m_albumSearch->start(params);
}
