#include "core/run/appstate.h"

AppState::AppState(QObject *parent) : QObject(parent)
{}

AppState::~AppState() = default;

void AppState::AbortAll()
{
    AbortRequested = true;
    setStatusMessage(IsDownloading ? QStringLiteral("Aborting download...")
                                   : QStringLiteral("Aborting search..."));
    Q_EMIT abortRequested();
}

void AppState::setRunActive(bool active)
{
    if (m_runActive == active)
        return;
    m_runActive = active;
    Q_EMIT runActiveChanged(active);
}

void AppState::setStatusMessage(const QString &text)
{
    m_statusMessage = text;
    Q_EMIT statusMessageChanged(text);
}

void AppState::setRunDetail(const QString &text)
{
    if (m_runDetail == text)
        return;
    m_runDetail = text;
    Q_EMIT runDetailChanged(text);
}

void AppState::setProgress(const Progress &progress)
{
    m_progress = progress;
    Q_EMIT progressChanged();
}

void AppState::setProgressValue(int value)
{
    m_progress.value = value;
    Q_EMIT progressChanged();
}
