#pragma once

#include <QLabel>

// A one-line label that shows as much of its text as its width allows, with "…" where it
// is cut (at the end unless told otherwise), and the whole text as its tooltip.
class ElidedLabel final : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ElidedLabel)

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    void setFullText(const QString &text);
    const QString &fullText() const { return m_fullText; }
    void setElideMode(Qt::TextElideMode mode);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();

    QString m_fullText;
    Qt::TextElideMode m_mode = Qt::ElideRight;
};
