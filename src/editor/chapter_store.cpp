#include "editor/chapter_store.h"

#include "editor/chapter_writer.h"

#include <QCoreApplication>
#include <QTimer>

ChapterStore::ChapterStore(const QString &path, qint64 chapterId, std::function<QString()> newestText, QObject *parent)
    : QObject(parent), m_newestText(std::move(newestText))
{
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    m_retry->setInterval(kRetryMs);
    connect(m_retry, &QTimer::timeout, this, &ChapterStore::retry);
    if (chapterId < 0)
        return;
    m_writer = new ChapterWriter(path, chapterId, this);
    connect(m_writer, &ChapterWriter::stored, this, &ChapterStore::textStored);
    connect(m_writer, &ChapterWriter::failed, this, &ChapterStore::textRefused);
}

ChapterStore::~ChapterStore()
{
    // The writer's thread is joined while this store can still take what it
    // says; what it says meanwhile is dropped with the store.
    if (m_writer)
        m_writer->flush();
    delete m_writer;
}

void ChapterStore::submit(const QString &text)
{
    if (m_writer) {
        m_writer->submit(text);
    } else {
        m_refused = true;
        m_error = QStringLiteral("找不到打开时的章节");
    }
    emit stateChanged(m_refused);
}

void ChapterStore::textStored(quint64 number)
{
    if (number != m_writer->submitted())
        return;
    m_refused = false;
    emit stateChanged(m_refused);
}

void ChapterStore::textRefused(quint64 number, const QString &why)
{
    // Only the newest text counts: a newer one may be on its way already.
    if (number != m_writer->submitted())
        return;
    m_error = why;
    m_refused = true;
    emit stateChanged(m_refused);
    // A file another program holds, or a disk that was full, may take the
    // text a moment later: tried again without waiting for the next key.
    if (m_retrying)
        m_retry->start();
}

void ChapterStore::retry()
{
    if (m_refused && m_writer && m_retrying)
        m_writer->submit(m_newestText());
}

bool ChapterStore::isStored() const
{
    return !m_refused && (!m_writer || m_writer->isStored());
}

bool ChapterStore::waitUntilStored()
{
    if (!m_writer)
        return !m_refused;
    m_writer->flush();
    // What the writer has said meanwhile, the reason of a refusal too.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    m_refused = !m_writer->isStored();
    if (m_writer->submitted() > 0)
        emit stateChanged(m_refused);
    return !m_refused;
}

bool ChapterStore::retryAndWait()
{
    if (!m_writer)
        return false;
    m_writer->submit(m_newestText());
    return waitUntilStored();
}

void ChapterStore::stopRetrying()
{
    m_retrying = false;
    m_retry->stop();
}
