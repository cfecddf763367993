#pragma once

// The main window for widget tests: a window over a fresh settings file with scripted
// prompts, and its controls found by their object names.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <memory>

#include "core/settings/settingsstore.h"
#include "gui/app/frmdownload.h"
#include "gui/ui/browserpage.h"
#include "gui/ui/elidedlabel.h"
#include "gui/ui/filelistview.h"
#include "gui/ui/slotrows.h"
#include "support/scriptedprompts.h"

class WindowParts
{
    const QWidget &m_w; // first: the finders below run after it is set

    template <class T> T *find(const char *name) const
    {
        T *widget = m_w.findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("the window has no %s", name);
        return widget;
    }

public:
    explicit WindowParts(const QWidget &w) : m_w(w) {}

    QComboBox *cmbServer = find<QComboBox>("cmbServer");
    QComboBox *cmbBaseURL = find<QComboBox>("cmbBaseURL");
    QLineEdit *txtMask = find<QLineEdit>("txtMask");
    QLineEdit *txtDownloadTo = find<QLineEdit>("txtDownloadTo");
    QTabWidget *SSTab1 = find<QTabWidget>("SSTab1");
    FileListView *lvFiles = find<FileListView>("lvFiles");
    SlotRows *threadsPage = find<SlotRows>("ThreadsPage");
    BrowserPage *browserPage = find<BrowserPage>("BrowserPage");
    QProgressBar *progressBar = find<QProgressBar>("ProgressBar1");
    ElidedLabel *panelMessage = find<ElidedLabel>("Message");
    ElidedLabel *panelChecked = find<ElidedLabel>("Checked");
    ElidedLabel *panelSelected = find<ElidedLabel>("Selected");
    ElidedLabel *panelTotal = find<ElidedLabel>("Total");

    // The caption as the title bar shows it: "*" for an unsaved list.
    QString title() const
    {
        return m_w.windowTitle().replace("[*]", m_w.isWindowModified() ? "*" : "");
    }

    // Selects rows first to last in the list as a click would, the last one current.
    void select(int first, int last, bool add = false) const
    {
        const QAbstractItemModel *m = lvFiles->model();
        QItemSelectionModel *s = lvFiles->selectionModel();
        s->setCurrentIndex(m->index(last, 0), QItemSelectionModel::NoUpdate);
        s->select(QItemSelection(m->index(first, 0), m->index(last, 0)),
                  (add ? s->Select : s->ClearAndSelect) | s->Rows);
    }

    // What of the status bar cannot be read: panels drawn over each other or past the bar's
    // end, or a text cut without its whole text in the tooltip. Empty when all can be read.
    QStringList statusBarFaults() const
    {
        QStringList faults;
        const QList<QLabel *> panels{panelMessage, panelChecked, panelSelected, panelTotal};
        for (qsizetype i = 0; i < panels.size(); ++i) {
            const QLabel *l = panels[i];
            const auto *elided = qobject_cast<const ElidedLabel *>(l);
            const QString whole = elided ? elided->fullText() : l->text();
            if (l->fontMetrics().horizontalAdvance(l->text()) > l->contentsRect().width() ||
                (l->text() != whole && l->toolTip() != whole) ||
                l->geometry().right() >= l->parentWidget()->width())
                faults << l->objectName() + ": " + l->text();
            for (const QLabel *next : panels.mid(i + 1))
                if (l->geometry().intersects(next->geometry()))
                    faults << l->objectName() + " over " + next->objectName();
        }
        return faults;
    }

    // The three totals panels in one string: "checked|selected|total".
    QString totals() const
    {
        return panelChecked->fullText() + "|" + panelSelected->fullText() + "|" +
               panelTotal->fullText();
    }
};

struct WindowFixture
{
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("settings.json"))};
    PromptLog log;

    std::unique_ptr<frmDownload> window(const ProgramValues &values = {})
    {
        return std::make_unique<frmDownload>(store, values, std::make_unique<ScriptedPrompts>(log));
    }
};
