#include "gui/app/modeswitch.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <utility>

#include "core/app/history.h"
#include "core/app/programvalues.h"
#include "core/app/runsession.h"
#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"
#include "gui/ui/filelistview.h"
#include "gui/ui/prompts.h"
#include "gui/ui/twips.h"

namespace {

struct ModeTexts
{
    QString urlLabel;
    QString maskLabel;
    QString urlToolTip;
    QString maskToolTip;
};

ModeTexts textsFor(Mode mode)
{
    if (mode == Mode::Yahoo)
        return {QStringLiteral("Yahoo Group:"), QStringLiteral("Message Range:"),
                QStringLiteral("Enter URL for Yahoo Group, e.g "
                               "http://groups.yahoo.com/group/photo-circle/"),
                QStringLiteral("Enter message numbers or message ranges separated by commas. "
                               "For example, 634,635,650-680")};
    return {QStringLiteral("Album URL:"), QStringLiteral("Album Password:"),
            QStringLiteral("Enter URL for Zing Album, e.g "
                           "http://www.zing.com/album/?id=4294967295&code=50917&mode=invite"),
            QStringLiteral("Enter album password provided by the owner.")};
}

} // namespace

ModeSwitch::ModeSwitch(QWidget &window, const Controls &controls, const SettingsStore &store,
                       RunSession &session, Prompts &prompts)
    : m_window(window), m_c(controls), m_store(store), m_session(session), m_prompts(prompts)
{
    connect(&m_c.server, &QComboBox::activated, this, &ModeSwitch::onModeSwitch);
    m_c.url.lineEdit()->installEventFilter(this);
}

void ModeSwitch::load()
{
    m_c.server.addItem(QStringLiteral("Zing"));
    m_c.server.addItem(QStringLiteral("Yahoo"));
    selectMode(QStringLiteral("Zing"));
}

bool ModeSwitch::selectMode(const QString &mode)
{
    const int index = m_c.server.findText(mode, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        return false;
    m_c.server.setCurrentIndex(index);
    onModeSwitch();
    return true;
}

QString ModeSwitch::modeName() const
{
    return m_c.server.currentText();
}

QString ModeSwitch::url() const
{
    return m_c.url.currentText();
}

void ModeSwitch::setUrl(const QString &url)
{
    m_c.url.setEditText(url);
}

QString ModeSwitch::mask() const
{
    return m_c.mask.text();
}

void ModeSwitch::setMask(const QString &mask)
{
    m_c.mask.setText(mask);
}

void ModeSwitch::onModeSwitch()
{
    if (m_shown)
        SaveColumnWidths(*m_shown);
    const Mode mode = this->mode();

    const ModeTexts texts = textsFor(mode);
    m_c.urlLabel.setText(texts.urlLabel);
    m_c.maskLabel.setText(texts.maskLabel);
    m_c.url.setToolTip(texts.urlToolTip);
    m_c.mask.setToolTip(texts.maskToolTip);

    // The rows stay; only the columns change.
    applyColumnSet(mode);

    if (mode == Mode::Yahoo && numberFromText(m_store.RegGetSetting(SettingKeys::NoTips), 0) == 0) {
        if (m_holdTips)
            m_tipsHeld = true;
        else
            m_prompts.showTips(&m_window, m_store);
    }

    LoadMRU(mode);
    LoadColumnWidths(mode);
    m_shown = mode;
    Q_EMIT modeSwitched(mode);
}

void ModeSwitch::showHeldTips()
{
    if (!std::exchange(m_tipsHeld, false))
        return;
    QTimer::singleShot(0, this, [this] {
        if (numberFromText(m_store.RegGetSetting(SettingKeys::NoTips), 0) == 0)
            m_prompts.showTips(&m_window, m_store);
    });
}

void ModeSwitch::applyColumnSet(Mode mode)
{
    m_session.setMode(mode);
    const qreal dpi = Twips::dpiOf(&m_window);
    const QList<ColumnDef> &columns = m_session.files().columns();
    for (int i = 0; i < columns.size(); ++i) {
        const bool hidden = columns[i].key == ColumnKeys::HiddenSize;
        m_c.list.setColumnHidden(i, hidden);
        if (hidden)
            continue;
        // The starting widths show a five-digit message number and a ten-digit size in full.
        QString sample;
        if (columns[i].key == ColumnKeys::MsgNo)
            sample = QStringLiteral("00000");
        else if (columns[i].key == ColumnKeys::Size)
            sample = QStringLiteral("0000000000");
        m_c.list.setColumnWidth(i, std::max(Twips::toPixels(columns[i].widthTwips, dpi),
                                            m_c.list.fittingWidth(i, sample)));
    }
}

QStringList ModeSwitch::historyEntries() const
{
    QStringList entries;
    for (int i = 0; i < m_c.url.count(); ++i)
        entries.append(m_c.url.itemText(i));
    return entries;
}

void ModeSwitch::LoadMRU(Mode mode)
{
    m_c.url.clear();
    m_c.url.addItems(History::loadMRU(m_store, mode));
    // Filling the list must not put an entry into the box.
    m_c.url.setCurrentIndex(-1);
    m_c.url.clearEditText();
}

void ModeSwitch::SaveMRU(Mode mode)
{
    History::saveMRU(m_store, mode, historyEntries());
}

void ModeSwitch::updateHistory()
{
    const QString text = m_c.url.currentText();
    QStringList entries = historyEntries();
    if (!History::update(entries, text))
        return;
    const QSignalBlocker blocker(&m_c.url);
    m_c.url.clear();
    m_c.url.addItems(entries);
    m_c.url.setCurrentIndex(-1);
    m_c.url.setEditText(text);
    SaveMRU(mode());
}

bool ModeSwitch::eventFilter(QObject *watched, QEvent *event)
{
    // Opening the box's own drop-down list is not leaving the box.
    if (watched == m_c.url.lineEdit() && event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
        updateHistory();
    return QObject::eventFilter(watched, event);
}

void ModeSwitch::SaveColumnWidths(Mode mode)
{
    const qreal dpi = Twips::dpiOf(&m_window);
    History::ColumnWidths widths;
    const QList<ColumnDef> &columns = m_session.files().columns();
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].key != ColumnKeys::HiddenSize)
            widths.append({columns[i].key, Twips::fromPixels(m_c.list.columnWidth(i), dpi)});
    }
    History::saveColumnWidths(m_store, mode, widths);
}

void ModeSwitch::LoadColumnWidths(Mode mode)
{
    const qreal dpi = Twips::dpiOf(&m_window);
    const QList<ColumnDef> &columns = m_session.files().columns();
    QStringList keys;
    for (const ColumnDef &column : columns)
        keys.append(column.key);
    const QList<int> widths = History::loadColumnWidths(m_store, mode, keys);
    for (int i = 0; i < columns.size(); ++i) {
        if (widths[i] >= 0 && columns[i].key != ColumnKeys::HiddenSize)
            m_c.list.setColumnWidth(i, Twips::toPixels(widths[i], dpi));
    }
}
