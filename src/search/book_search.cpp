#include "search/book_search.h"

#include "store/sqlite_db.h"

#include <QMetaObject>
#include <QMutexLocker>
#include <chrono>

namespace {

// The first piece goes out once this many hits are found (a screenful and
// more); later pieces gather for kPieceTime at least, so that the list is
// not laid out again for every chapter.
constexpr int kFirstPieceHits = 60;
constexpr auto kPieceTime = std::chrono::milliseconds(50);

// The chapters of the book in the novel's order: volumes as 分卷 keeps them
// (a name listed twice counts where it first stands), in each its chapters
// as stored. A chapter whose volume is not in 分卷 is not in the tree, and
// is not searched either.
struct Listed
{
    qint64 number = 0;
    QString volume;
    QString title;
};

bool listChapters(sqlite::Db &db, const QString &onlyVolume, QVector<Listed> *out, bool *volumeFound)
{
    QVector<QString> volumes;
    QHash<QString, int> order;
    sqlite::Statement v(db, QStringLiteral("SELECT 分卷 FROM 分卷 ORDER BY rowid"));
    while (v.next()) {
        const QString name = v.value(0).toString();
        if (!order.contains(name) && (onlyVolume.isEmpty() || name == onlyVolume)) {
            order.insert(name, int(volumes.size()));
            volumes.append(name);
        }
    }
    if (!v.atEnd())
        return false;
    *volumeFound = onlyVolume.isEmpty() || !volumes.isEmpty();
    QVector<QVector<Listed>> byVolume(volumes.size());
    sqlite::Statement c(db, QStringLiteral("SELECT 编号, 所属分卷, 章节名称 FROM 小说 ORDER BY rowid"));
    while (c.next()) {
        const auto at = order.constFind(c.value(1).toString());
        if (at != order.cend())
            byVolume[*at].append(Listed{c.int64(0), volumes.at(*at), c.value(2).toString()});
    }
    if (!c.atEnd())
        return false;
    for (const QVector<Listed> &chapters : std::as_const(byVolume))
        *out += chapters;
    return true;
}

// Where the character holding unit index i begins: a low surrogate belongs
// to the high one before it.
qsizetype characterStart(QStringView text, qsizetype i)
{
    if (i > 0 && i < text.size() && text.at(i).isLowSurrogate() && text.at(i - 1).isHighSurrogate())
        return i - 1;
    return i;
}

// index moved by count characters (back when count < 0), within text.
qsizetype stepCharacters(QStringView text, qsizetype index, int count)
{
    for (; count < 0 && index > 0; ++count)
        index = characterStart(text, index - 1);
    for (; count > 0 && index < text.size(); --count)
        index += (text.at(index).isHighSurrogate() && index + 1 < text.size() && text.at(index + 1).isLowSurrogate())
                     ? 2
                     : 1;
    return index;
}

// A piece of the text as one line: CR LF, CR and LF each as ¶.
QString oneLine(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            out += QChar(0x00B6);
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

FoundHit describeHit(QStringView text, const TextHit &hit, int radius)
{
    FoundHit found;
    found.hit = hit;
    const qsizetype from = stepCharacters(text, hit.start, -radius);
    const qsizetype to = stepCharacters(text, hit.end(), radius);
    QString marked = oneLine(text.mid(hit.start, hit.length));
    // A hit longer than the context around it shows its two ends.
    if (marked.size() > 2 * radius + 1) {
        const qsizetype head = stepCharacters(marked, 0, radius);
        const qsizetype tail = characterStart(marked, marked.size() - radius);
        marked = marked.left(head) + QChar(0x2026) + marked.mid(tail);
    }
    const QString before = oneLine(text.mid(from, hit.start - from));
    found.context = before + marked + oneLine(text.mid(hit.end(), to - hit.end()));
    found.markStart = int(before.size());
    found.markLength = int(marked.size());
    return found;
}

BookSearch::BookSearch(QObject *parent) : QObject(parent)
{
    m_worker.start(QStringLiteral("BookSearch"), [this] { run(); });
}

BookSearch::~BookSearch()
{
    m_worker.stop(m_mutex, m_work, [this] {
        m_stop = true;
        m_cancel = true;
    });
}

void BookSearch::start(const QString &path, const TextQuery &query, const QString &volume)
{
    QMutexLocker lock(&m_mutex);
    m_next = Job{++m_newest, path, query, volume};
    m_pending = true;
    m_cancel = true;
    m_running = true;
    m_work.wakeAll();
}

void BookSearch::cancel()
{
    QMutexLocker lock(&m_mutex);
    ++m_newest;
    m_pending = false;
    m_cancel = true;
    m_running = false;
}

void BookSearch::run()
{
    for (;;) {
        Job job;
        {
            QMutexLocker lock(&m_mutex);
            while (!m_pending && !m_stop)
                m_work.wait(&m_mutex);
            if (m_stop)
                return;
            job = m_next;
            m_pending = false;
            m_cancel = false;
        }
        search(job);
    }
}

void BookSearch::search(const Job &job)
{
    using Reason = BookSearchOutcome::Reason;
    BookSearchOutcome outcome;
    TextSearch finder;
    if (const auto r = finder.prepare(job.query); !r) {
        outcome.reason = Reason::Query;
        outcome.query = r;
        postEnd(job.number, outcome);
        return;
    }

    // One bound for the whole search: the store's time limit from now, and
    // the flag a newer search sets.
    SearchBound bound;
    bound.cancel = &m_cancel;
    bound.deadline = std::chrono::steady_clock::now() + sqlite::timeLimit();
    sqlite::Db db;
    sqlite::NovelOptions options;
    options.access = sqlite::Access::ReadOnly;
    QString error;
    if (!sqlite::openNovel(db, job.path, options, &error)) {
        outcome.reason = Reason::StoreFailed;
        outcome.storeError = error;
        postEnd(job.number, outcome);
        return;
    }
    db.setDeadline(bound.deadline);
    db.setCancel(&m_cancel);
    const auto storeFailed = [&] {
        if (bound.cancelled()) {
            outcome.reason = Reason::Cancelled;
        } else if (db.ranOutOfTime()) {
            outcome.reason = Reason::Query;
            outcome.query = {TextSearch::Reason::TimedOut, 0, {}};
        } else {
            outcome.reason = Reason::StoreFailed;
            outcome.storeError = db.errorText();
        }
    };

    QVector<Listed> chapters;
    bool volumeFound = true;
    if (!listChapters(db, job.volume, &chapters, &volumeFound)) {
        storeFailed();
        postEnd(job.number, outcome);
        return;
    }
    if (!volumeFound) {
        outcome.reason = Reason::VolumeGone;
        postEnd(job.number, outcome);
        return;
    }

    sqlite::Statement read(db, QStringLiteral("SELECT 章节内容 FROM 小说 WHERE rowid = ?"));
    QVector<FoundChapter> piece;
    int hits = 0;
    bool firstSent = false;
    auto lastSent = std::chrono::steady_clock::now();
    QVector<TextHit> found;
    for (const Listed &chapter : std::as_const(chapters)) {
        if (bound.cancelled()) {
            outcome.reason = Reason::Cancelled;
            break;
        }
        read.bind(1, chapter.number);
        if (!read.next()) {
            if (read.atEnd()) { // gone since it was listed
                read.reset();
                continue;
            }
            storeFailed();
            break;
        }
        // A text kept as bytes reads as UTF-8, as the editor reads it.
        const QString text = read.value(0).toString();
        read.reset();
        found.clear();
        const TextSearch::Result r = finder.findAll(text, &found, bound);
        if (!r) {
            outcome.reason = r.reason == TextSearch::Reason::Cancelled ? Reason::Cancelled : Reason::Query;
            outcome.query = r;
            break;
        }
        if (found.isEmpty())
            continue;
        if (hits + found.size() > kMostHits) {
            found.resize(kMostHits - hits);
            outcome.truncated = true;
        }
        FoundChapter c;
        c.rowid = chapter.number;
        c.number = chapter.number;
        c.volume = chapter.volume;
        c.title = chapter.title;
        c.textLength = int(text.size());
        c.fingerprint = textFingerprint(text);
        c.hits.reserve(found.size());
        for (const TextHit &hit : std::as_const(found))
            c.hits.append(describeHit(text, hit));
        hits += int(found.size());
        piece.append(std::move(c));
        const auto now = std::chrono::steady_clock::now();
        if ((!firstSent && hits >= kFirstPieceHits) || (firstSent && now - lastSent >= kPieceTime)) {
            post(job.number, std::move(piece));
            piece = {};
            firstSent = true;
            lastSent = now;
        }
        if (outcome.truncated)
            break;
    }
    if (!piece.isEmpty() && outcome.reason != Reason::Cancelled)
        post(job.number, std::move(piece));
    postEnd(job.number, outcome);
}

void BookSearch::post(quint64 job, QVector<FoundChapter> chapters)
{
    QMetaObject::invokeMethod(
        this,
        [this, job, chapters = std::move(chapters)] {
            if (job == m_newest)
                emit found(chapters);
        },
        Qt::QueuedConnection);
}

void BookSearch::postEnd(quint64 job, const BookSearchOutcome &outcome)
{
    QMetaObject::invokeMethod(
        this,
        [this, job, outcome] {
            if (job != m_newest)
                return;
            m_running = false;
            emit finished(outcome);
        },
        Qt::QueuedConnection);
}
