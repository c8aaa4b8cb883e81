#include "search/book_replace.h"

#include "store/sqlite_db.h"

namespace {

// A chapter's text as the search read it, and what the file keeps exactly.
const QString kReadChapter =
    QStringLiteral("SELECT 章节内容, typeof(章节内容), CAST(章节内容 AS BLOB) FROM 小说 WHERE rowid = ?");

// A connection that writes, in a transaction that holds the novel's write
// lock from the first read: nobody stores into the novel between what is
// checked and what is written. Rolled back unless committed.
class Writing
{
public:
    bool begin(const QString &path, QString *why)
    {
        if (!sqlite::openNovel(m_db, path, {}, why))
            return false;
        if (m_db.isReadOnly()) {
            *why = QStringLiteral("小说文件不能写入");
            return false;
        }
        if (!m_db.exec("BEGIN IMMEDIATE")) {
            *why = m_db.errorText();
            return false;
        }
        m_open = true;
        return true;
    }
    bool commit(QString *why)
    {
        m_db.armTimeLimit();
        if (!m_db.exec("COMMIT")) {
            *why = m_db.errorText();
            return false;
        }
        m_open = false;
        return true;
    }
    ~Writing()
    {
        if (m_open)
            m_db.exec("ROLLBACK");
    }
    sqlite::Db &db() { return m_db; }

private:
    sqlite::Db m_db;
    bool m_open = false;
};

} // namespace

QString BookReplace::chapterName(const QString &volume, const QString &title)
{
    return volume + QLatin1Char(' ') + title;
}

BookReplace::Result BookReplace::replace(const QString &path, const TextSearch &search,
                                         const QVector<ChapterEdit> &edits, const Snapshot &snapshot)
{
    if (edits.isEmpty())
        return {Reason::NothingChecked, {}, {}};
    Writing w;
    QString why;
    if (!w.begin(path, &why))
        return {Reason::StoreFailed, {}, why};
    sqlite::Statement read(w.db(), kReadChapter);

    QVector<Done> done;
    QVector<QString> texts;
    QStringList changed, empty;
    int hits = 0;
    for (const ChapterEdit &edit : edits) {
        const FoundChapter &chapter = *edit.chapter;
        const QString name = chapterName(chapter.volume, chapter.title);
        read.bind(1, chapter.rowid);
        if (!read.next()) {
            if (!read.atEnd())
                return {Reason::StoreFailed, {}, w.db().errorText()};
            read.reset();
            changed << name; // deleted since
            continue;
        }
        const QString text = read.value(0).toString();
        Done d{chapter.rowid,
               chapter.number,
               name,
               read.value(1).toString(),
               read.value(2).toByteArray(),
               read.value(0),
               int(text.size()),
               0,
               0};
        read.reset();
        if (text.size() != chapter.textLength || textFingerprint(text) != chapter.fingerprint) {
            changed << name;
            continue;
        }
        QString after = search.replaced(text, edit.hits);
        if (after == text)
            continue;
        if (after.isEmpty()) {
            empty << name;
            continue;
        }
        // Kept as its value: a number, and a text where the file keeps text
        // as UTF-16 units, which a QString holds unit for unit. Otherwise
        // as its bytes.
        const bool number = d.kind == QLatin1String("integer") || d.kind == QLatin1String("real");
        if (!number && !(d.kind == QLatin1String("text") && w.db().textIsUtf16()))
            d.value = QVariant();
        d.afterLength = int(after.size());
        d.afterFingerprint = textFingerprint(after);
        hits += int(edit.hits.size());
        done.append(std::move(d));
        texts.append(std::move(after));
    }
    if (!changed.isEmpty())
        return {Reason::ChangedSinceSearch, changed, {}};
    if (!empty.isEmpty())
        return {Reason::LeavesNoText, empty, {}};
    if (done.isEmpty())
        return {Reason::NoChange, {}, {}};

    // The snapshot holds the novel as it is while the lock is held: as it
    // was checked, and as it stands before anything is written.
    if (!snapshot(&why))
        return {Reason::SnapshotFailed, {}, why};

    w.db().armTimeLimit();
    sqlite::Statement write(w.db(), QStringLiteral("UPDATE 小说 SET 章节内容 = ? WHERE rowid = ?"));
    for (int i = 0; i < done.size(); ++i) {
        write.bind(1, texts.at(i));
        write.bind(2, done.at(i).rowid);
        if (!write.run())
            return {Reason::StoreFailed, {}, w.db().errorText()};
        write.reset();
    }
    if (!w.commit(&why))
        return {Reason::StoreFailed, {}, why};

    m_done = std::move(done);
    m_hits = hits;
    m_lengths.clear();
    for (const Done &d : std::as_const(m_done))
        m_lengths.insert(d.number, d.afterLength);
    return {};
}

BookReplace::Result BookReplace::undo(const QString &path)
{
    if (m_done.isEmpty())
        return {Reason::NothingToUndo, {}, {}};
    Writing w;
    QString why;
    if (!w.begin(path, &why))
        return {Reason::StoreFailed, {}, why};
    sqlite::Statement read(w.db(), kReadChapter);
    QStringList changed;
    for (const Done &d : std::as_const(m_done)) {
        read.bind(1, d.rowid);
        if (!read.next()) {
            if (!read.atEnd())
                return {Reason::StoreFailed, {}, w.db().errorText()};
            changed << d.name;
        } else {
            const QString text = read.value(0).toString();
            if (read.value(1).toString() != QLatin1String("text") || text.size() != d.afterLength ||
                textFingerprint(text) != d.afterFingerprint)
                changed << d.name;
        }
        read.reset();
    }
    if (!changed.isEmpty())
        return {Reason::ChangedSinceReplace, changed, {}};

    // Everything goes back as it was kept: text as the same units or, in a
    // file that keeps text as UTF-8, as the same bytes (SQLite takes a blob
    // cast to text as UTF-8 whatever the file's own encoding); a blob as a
    // blob and a number as that number.
    w.db().armTimeLimit();
    sqlite::Statement asText(w.db(), QStringLiteral("UPDATE 小说 SET 章节内容 = CAST(? AS TEXT) WHERE rowid = ?"));
    sqlite::Statement asIs(w.db(), QStringLiteral("UPDATE 小说 SET 章节内容 = ? WHERE rowid = ?"));
    for (const Done &d : std::as_const(m_done)) {
        const bool bytesAsText = d.kind == QLatin1String("text") && !d.value.isValid();
        sqlite::Statement &put = bytesAsText ? asText : asIs;
        put.bind(1, d.value.isValid() ? d.value : QVariant(d.before));
        put.bind(2, d.rowid);
        if (!put.run())
            return {Reason::StoreFailed, {}, w.db().errorText()};
        put.reset();
    }
    if (!w.commit(&why))
        return {Reason::StoreFailed, {}, why};
    m_lengths.clear();
    for (const Done &d : std::as_const(m_done))
        m_lengths.insert(d.number, d.beforeLength);
    m_done.clear();
    m_hits = 0;
    return {};
}
