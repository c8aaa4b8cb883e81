// The editor's store: hands the chapter's text to its writer and keeps what
// became of it, stored or refused and why, trying a refused text again on its
// own, so that the window only shows what it is told.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class ChapterWriter;
class QTimer;

class ChapterStore : public QObject
{
    Q_OBJECT
public:
    // How long a refused text waits before it is tried again on its own.
    static constexpr int kRetryMs = 2000;

    // Stores into the chapter whose rowid in 小说 of the novel file at path is
    // chapterId; with a chapterId below 0 there is no chapter, and every text
    // is refused. newestText gives the text to try again after a refusal: the
    // newest text there is by then, not the one refused.
    ChapterStore(const QString &path, qint64 chapterId, std::function<QString()> newestText, QObject *parent = nullptr);
    // Waits for the texts handed over to be written; nothing is tried again.
    ~ChapterStore() override;

    // Hands over the whole text as the file keeps it; only the newest text
    // handed over counts.
    void submit(const QString &text);
    // True while no text handed over was refused since the last one stored
    // (and none is still on its way).
    bool isStored() const;
    // The newest text was refused and no newer one stored since.
    bool isRefused() const { return m_refused; }
    // Waits until the newest text is written or refused; true when written.
    bool waitUntilStored();
    // Tries the newest text once more now and waits for it.
    bool retryAndWait();
    // No more tries on its own: the window is going.
    void stopRetrying();
    // Why the newest text was refused.
    const QString &error() const { return m_error; }

signals:
    // Said when a text is handed over and when the newest text is written or
    // refused; refused as isRefused().
    void stateChanged(bool refused);

private:
    void textStored(quint64 number);
    void textRefused(quint64 number, const QString &why);
    void retry();

    std::function<QString()> m_newestText;
    // Writes into the chapter the store was made for, and into no other;
    // nullptr when there is none.
    ChapterWriter *m_writer = nullptr;
    QTimer *m_retry = nullptr;
    bool m_refused = false;
    bool m_retrying = true;
    QString m_error;
};
