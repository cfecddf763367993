#pragma once

#include <QLabel>

// A one-line label that shows as much of its text as its width allows, with "…" where it
// is cut (at the end unless told otherwise), and the whole text as its tooltip. Given a short
// form too, it shows that where the whole text does not fit, and cuts it only where that
// does not fit either.
class ElidedLabel final : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ElidedLabel)

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    void setFullText(const QString &text);
    const QString &fullText() const { return m_fullText; }
    void setShortText(const QString &text);
    const QString &shortText() const { return m_shortText.isEmpty() ? m_fullText : m_shortText; }
    // The width the whole text, or its short form, needs.
    int widthFor(const QString &text) const;
    void setElideMode(Qt::TextElideMode mode);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();

    QString m_fullText;
    QString m_shortText;
    Qt::TextElideMode m_mode = Qt::ElideRight;
};
