#include "gui/ui/elidedlabel.h"

ElidedLabel::ElidedLabel(QWidget *parent) : QLabel(parent)
{
    // The text follows the width, never the other way round.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setWordWrap(false);
}

void ElidedLabel::setFullText(const QString &text)
{
    if (text == m_fullText)
        return;
    m_fullText = text;
    setToolTip(text);
    elide();
}

void ElidedLabel::setShortText(const QString &text)
{
    if (text == m_shortText)
        return;
    m_shortText = text;
    elide();
}

int ElidedLabel::widthFor(const QString &text) const
{
    const QMargins m = contentsMargins();
    return fontMetrics().horizontalAdvance(text) + m.left() + m.right() + 2 * margin() + 4;
}

void ElidedLabel::setElideMode(Qt::TextElideMode mode)
{
    m_mode = mode;
    elide();
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide()
{
    const int room = contentsRect().width();
    const bool whole = m_shortText.isEmpty() || fontMetrics().horizontalAdvance(m_fullText) <= room;
    setText(fontMetrics().elidedText(whole ? m_fullText : m_shortText, m_mode, room));
}
