#include "gui/ui/slotrows.h"

#include <QLabel>
#include <QProgressBar>
#include <algorithm>

#include "core/run/slotboard.h"
#include "gui/ui/elidedlabel.h"
#include "gui/ui/twips.h"

SlotRows::SlotRows(SlotBoard &board, QWidget *parent) : QWidget(parent), m_board(board)
{
    setObjectName(QStringLiteral("ThreadsPage"));
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(100);
    connect(&m_flushTimer, &QTimer::timeout, this, &SlotRows::flushPending);
    connect(&m_board, &SlotBoard::slotsReset, this, &SlotRows::rebuild);
    connect(&m_board, &SlotBoard::slotChanged, this, [this](int index) {
        m_pending.insert(index);
        if (!m_flushTimer.isActive())
            m_flushTimer.start();
    });
    rebuild();
}

void SlotRows::rebuild()
{
    m_pending.clear();
    // Row 0 belongs to the design and stays; the others are made afresh as copies of it.
    for (int i = rowCount() - 1; i >= 1; --i) {
        delete lblThreadNo.takeAt(i);
        delete lblThreadStatus.takeAt(i);
        delete prgThreadProgress.takeAt(i);
        delete lblThreadURL.takeAt(i);
        delete lblThreadDetail.takeAt(i);
    }
    m_urlPlaces.resize(std::min<qsizetype>(m_urlPlaces.size(), rowCount()));
    for (int i = rowCount(); i < m_board.count(); ++i) {
        const QString suffix = QString::number(i);
        auto *number = new QLabel(this);
        number->setObjectName(QStringLiteral("lblThreadNo") + suffix);
        auto *status = new ElidedLabel(this);
        status->setObjectName(QStringLiteral("lblThreadStatus") + suffix);
        auto *progress = new QProgressBar(this);
        progress->setObjectName(QStringLiteral("prgThreadProgress") + suffix);
        progress->setRange(0, 100);
        progress->setTextVisible(false);
        auto *url = new QLabel(this);
        url->setObjectName(QStringLiteral("lblThreadURL") + suffix);
        url->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto *detail = new ElidedLabel(this);
        detail->setObjectName(QStringLiteral("lblThreadDetail") + suffix);
        detail->setVisible(false);
        // Cut in the middle, a narrow row keeps the percentage and the time left.
        detail->setElideMode(Qt::ElideMiddle);
        // Copies of row 0 stay hidden until the tab is arranged.
        for (QWidget *w : {static_cast<QWidget *>(number), static_cast<QWidget *>(status),
                           static_cast<QWidget *>(progress), static_cast<QWidget *>(url)})
            w->setVisible(i == 0);
        lblThreadNo.append(number);
        lblThreadStatus.append(status);
        prgThreadProgress.append(progress);
        lblThreadURL.append(url);
        lblThreadDetail.append(detail);
    }
    for (int i = 0; i < rowCount(); ++i)
        refreshRow(i);
    m_detailColumn = anyDetail();
    Q_EMIT rowsRebuilt();
}

void SlotRows::refreshRow(int index)
{
    if (index < 0 || index >= rowCount() || index >= m_board.count())
        return;
    const SlotBoard::Slot &slot = m_board.at(index);
    lblThreadNo[index]->setText(slot.number);
    lblThreadStatus[index]->setFullText(slot.status);
    prgThreadProgress[index]->setValue(slot.progress);
    lblThreadURL[index]->setText(slot.url);
    lblThreadURL[index]->setToolTip(slot.url);
    const bool hadDetail = !lblThreadDetail[index]->fullText().isEmpty();
    lblThreadDetail[index]->setFullText(slot.detail);
    if (hadDetail == !slot.detail.isEmpty())
        return;
    // While any row shows a detail, every row keeps its place, so the URLs stay in line.
    if (anyDetail() == m_detailColumn) {
        placeDetail(index);
        return;
    }
    m_detailColumn = !m_detailColumn;
    for (int i = 0; i < rowCount(); ++i)
        placeDetail(i);
}

bool SlotRows::anyDetail() const
{
    return std::ranges::any_of(lblThreadDetail,
                               [](const ElidedLabel *d) { return !d->fullText().isEmpty(); });
}

void SlotRows::placeDetail(int index)
{
    if (index >= m_urlPlaces.size())
        return;
    QLabel *url = lblThreadURL[index];
    ElidedLabel *detail = lblThreadDetail[index];
    const QRect place = m_urlPlaces[index];
    if (url->isHidden() || !m_detailColumn) {
        detail->setVisible(false);
        url->setGeometry(place);
        return;
    }
    // A width that holds a typical text whole, so the URL does not shift with every
    // update; a narrow window cuts the text rather than the URL away.
    const QFontMetrics metrics = detail->fontMetrics();
    const int gap = metrics.horizontalAdvance(QStringLiteral("  "));
    const int wanted = metrics.horizontalAdvance(
                           QStringLiteral("100% · 888.8 MB of 888.8 MB · 88.8 MB/s · 88:88 left")) +
                       detail->contentsMargins().left() + detail->contentsMargins().right();
    // The layout keeps a gap between the bar and this place; the URL stands apart too.
    const int width = std::min(wanted, place.width() * 2 / 3);
    detail->setGeometry(place.left(), place.top(), width, place.height());
    detail->setVisible(!detail->fullText().isEmpty());
    url->setGeometry(place.adjusted(width + gap, 0, 0, 0));
}

void SlotRows::flushPending()
{
    const QSet<int> pending = std::exchange(m_pending, {});
    for (int index : pending)
        refreshRow(index);
}

void SlotRows::applyLayout(const QList<Layout::SlotRow> &rows, int offsetLeftTwips,
                           int offsetTopTwips)
{
    const qreal dpi = Twips::dpiOf(this);
    const auto place = [&](QWidget *widget, const Layout::Rect &r) {
        widget->setGeometry(Twips::toPixels(r.left - offsetLeftTwips, dpi),
                            Twips::toPixels(r.top - offsetTopTwips, dpi),
                            Twips::toPixels(r.width, dpi), Twips::toPixels(r.height, dpi));
        widget->setVisible(r.visible);
    };
    const int n = std::min(rowCount(), int(rows.size()));
    m_urlPlaces.resize(rowCount());
    for (int i = 0; i < n; ++i) {
        place(lblThreadNo[i], rows[i].number);
        place(lblThreadStatus[i], rows[i].status);
        place(prgThreadProgress[i], rows[i].progress);
        place(lblThreadURL[i], rows[i].url);
        m_urlPlaces[i] = lblThreadURL[i]->geometry();
        placeDetail(i);
    }
}
