#include "chapters/outline.h"

#include "store/data_source.h"

#include <QHash>

namespace {

const QString kVolumes = QStringLiteral("分卷");
const QString kChapters = QStringLiteral("小说");
const QString kVolumeName = QStringLiteral("分卷");
const QString kId = QStringLiteral("编号");
const QString kOwner = QStringLiteral("所属分卷");
const QString kTitle = QStringLiteral("章节名称");
const QString kText = QStringLiteral("章节内容");
const QString kNotes = QStringLiteral("章节附注");

Outline::Result refused(Outline::Reason reason)
{
    return {reason, QString()};
}

} // namespace

Outline::Result Outline::open(const QString &table)
{
    m_data.setRecordSource(table);
    return m_data.Refresh() ? Result() : failed();
}

Outline::Result Outline::failed()
{
    return {Reason::StoreFailed, m_data.lastError()};
}

bool Outline::storeField(const QString &field, const QString &value)
{
    if (!m_data.Edit())
        return false;
    m_data.setValue(field, value);
    return m_data.Update();
}

Outline::Result Outline::read(OutlineTree *tree)
{
    // Every volume first, then every chapter under its volume: chapters keep
    // table order under their volume whatever order the volumes have.
    OutlineTree out;
    QHash<QString, int> places;
    if (Result r = open(kVolumes); !r)
        return r;
    const int volumeCount = m_data.RecordCount();
    out.volumes.reserve(volumeCount);
    m_data.MoveFirst();
    for (int i = 0; i < volumeCount; ++i, m_data.MoveNext()) {
        const QString name = m_data.text(kVolumeName);
        // A name stored twice by other means shows once, holding the chapters.
        if (places.contains(name))
            continue;
        places.insert(name, int(out.volumes.size()));
        out.volumes.append({name, {}});
    }

    if (Result r = open(kChapters); !r)
        return r;
    const int chapterCount = m_data.RecordCount();
    m_data.MoveFirst();
    for (int i = 0; i < chapterCount; ++i, m_data.MoveNext()) {
        const auto place = places.constFind(m_data.text(kOwner));
        if (place == places.cend()) {
            ++out.homeless;
            continue;
        }
        out.volumes[*place].chapters.append({m_data.value(kId).toLongLong(), m_data.text(kTitle)});
    }
    m_data.MoveLast();
    *tree = std::move(out);
    return {};
}

Outline::Result Outline::readVolume(const QString &name, QVector<ListedChapter> *rows)
{
    rows->clear();
    if (Result r = open(kChapters); !r)
        return r;
    const int n = m_data.RecordCount();
    m_data.MoveFirst();
    for (int i = 0; i < n; ++i, m_data.MoveNext()) {
        if (m_data.text(kOwner) != name)
            continue;
        const int length = m_data.textLength(kText);
        if (length < 0) {
            rows->clear();
            return failed();
        }
        rows->append({m_data.value(kId).toLongLong(), i + 1, m_data.text(kTitle), length});
    }
    m_data.MoveLast();
    return {};
}

Outline::Result Outline::openChapters()
{
    return open(kChapters);
}

Outline::Result Outline::openVolumes()
{
    return open(kVolumes);
}

Outline::Result Outline::findChapter(qint64 id)
{
    if (Result r = open(kChapters); !r)
        return r;
    m_data.MoveFirst();
    // A row whose chapter is gone must not leave the first chapter of the
    // novel to the chapter commands.
    if (id < 0 || !m_data.FindFirst(kId, id))
        return refused(Reason::ChapterGone);
    return {};
}

Outline::Result Outline::findVolume(const QString &name)
{
    if (Result r = open(kVolumes); !r)
        return r;
    return m_data.FindFirst(kVolumeName, name) ? Result() : refused(Reason::VolumeGone);
}

bool Outline::standsOn(qint64 id) const
{
    return m_data.recordSource() == kChapters && m_data.hasCurrent() && m_data.value(kId).toLongLong() == id;
}

Outline::Result Outline::addChapter(const QString &volume, const QString &title, qint64 *id)
{
    if (title.isEmpty())
        return refused(Reason::EmptyTitle);
    if (Result r = open(kChapters); !r)
        return r;
    m_data.AddNew();
    m_data.setValue(kOwner, volume);
    m_data.setValue(kTitle, title);
    // A new chapter starts with the placeholders 章节内容 and 章节附注.
    m_data.setValue(kText, QStringLiteral("章节内容"));
    m_data.setValue(kNotes, QStringLiteral("章节附注"));
    if (!m_data.Update())
        return failed();
    m_data.MoveLast();
    *id = m_data.value(kId).toLongLong();
    return {};
}

Outline::Result Outline::addVolume(const QString &name)
{
    // The name keys the volume and ties its chapters to it: it must be
    // non-empty and unique.
    if (name.isEmpty())
        return refused(Reason::EmptyName);
    if (Result r = open(kVolumes); !r)
        return r;
    if (m_data.FindFirst(kVolumeName, name))
        return refused(Reason::DuplicateName);
    m_data.AddNew();
    m_data.setValue(kVolumeName, name);
    if (!m_data.Update())
        return failed();
    m_data.MoveLast();
    return {};
}

Outline::Result Outline::deleteVolume(const QString &name, QVector<qint64> *gone)
{
    gone->clear();
    if (Result r = open(kVolumes); !r)
        return r;
    if (m_data.RecordCount() == 1)
        return refused(Reason::LastVolume);
    if (Result r = open(kChapters); !r)
        return r;
    int owned = 0;
    m_data.MoveFirst();
    for (int i = 0; i < m_data.RecordCount(); ++i, m_data.MoveNext())
        owned += m_data.text(kOwner) == name ? 1 : 0;
    // A novel always keeps at least one chapter.
    if (owned > 0 && owned == m_data.RecordCount())
        return refused(Reason::HoldsEveryChapter);

    // The volume and all its chapters go together or not at all.
    QVector<qint64> deleted;
    bool stored = m_data.BeginTrans();
    m_data.MoveFirst();
    while (stored && !m_data.Eof()) {
        if (m_data.text(kOwner) == name) {
            const qint64 id = m_data.value(kId).toLongLong();
            stored = m_data.Delete();
            if (stored)
                deleted << id;
        }
        m_data.MoveNext();
    }
    if (stored) {
        m_data.setRecordSource(kVolumes);
        stored = m_data.Refresh();
        if (stored && m_data.FindFirst(kVolumeName, name))
            stored = m_data.Delete();
    }
    stored = stored && m_data.CommitTrans();
    if (!stored) {
        const Result why = failed();
        m_data.Rollback();
        return why;
    }
    *gone = deleted;
    m_data.setRecordSource(kChapters);
    m_data.Refresh();
    return {};
}

Outline::Result Outline::checkChapterDeletable()
{
    if (m_data.recordSource() != kChapters) {
        if (Result r = open(kChapters); !r)
            return r;
    }
    return m_data.RecordCount() == 1 ? refused(Reason::LastChapter) : Result();
}

Outline::Result Outline::deleteChapter(qint64 id)
{
    if (!standsOn(id))
        return refused(Reason::ChapterGone);
    return m_data.Delete() ? Result() : failed();
}

Outline::Result Outline::renameVolume(const QString &oldName, const QString &newName)
{
    if (newName == oldName)
        return {};
    if (newName.isEmpty())
        return refused(Reason::EmptyName);
    if (Result r = open(kVolumes); !r)
        return r;
    if (m_data.FindFirst(kVolumeName, newName))
        return refused(Reason::DuplicateName);
    if (!m_data.FindFirst(kVolumeName, oldName))
        return refused(Reason::VolumeGone);
    // The volume and its chapters change together or not at all: a volume
    // renamed without all its chapters would hide them from the tree.
    bool stored = m_data.BeginTrans() && storeField(kVolumeName, newName);
    if (stored) {
        m_data.setRecordSource(kChapters);
        stored = m_data.Refresh();
        m_data.MoveFirst();
        for (int i = 0; stored && i < m_data.RecordCount(); ++i, m_data.MoveNext()) {
            if (m_data.text(kOwner) == oldName)
                stored = storeField(kOwner, newName);
        }
    }
    stored = stored && m_data.CommitTrans();
    if (!stored) {
        const Result why = failed();
        m_data.Rollback();
        return why;
    }
    m_data.MoveLast();
    return {};
}

Outline::Result Outline::renameChapter(qint64 id, const QString &title)
{
    if (Result r = open(kChapters); !r)
        return r;
    m_data.MoveFirst();
    if (!m_data.FindFirst(kId, id))
        return refused(Reason::ChapterGone);
    if (m_data.text(kTitle) == title || storeField(kTitle, title))
        return {};
    return failed();
}
