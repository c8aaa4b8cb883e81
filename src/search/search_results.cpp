#include "search/search_results.h"

#include <QApplication>
#include <QPainter>

namespace {

// A row's internal id: 0 for a volume, 1 + its volume for a chapter, and
// kHitBase + its chapter for a hit.
constexpr quintptr kHitBase = quintptr(1) << 40;

const QColor kMark(255, 226, 120);

} // namespace

SearchResults::SearchResults(QObject *parent) : QAbstractItemModel(parent)
{
}

void SearchResults::clear()
{
    beginResetModel();
    m_volumes.clear();
    m_chapters.clear();
    m_hits = 0;
    m_checked = 0;
    endResetModel();
    emit checkedCountChanged(0);
}

void SearchResults::append(const QVector<FoundChapter> &chapters)
{
    // The chapters come in the novel's order: each volume's run of them
    // joins the last volume listed or starts the next one.
    qsizetype i = 0;
    while (i < chapters.size()) {
        const QString &volume = chapters.at(i).volume;
        qsizetype end = i;
        while (end < chapters.size() && chapters.at(end).volume == volume)
            ++end;
        const bool joins = !m_volumes.isEmpty() && m_volumes.constLast().name == volume;
        const int v = joins ? int(m_volumes.size()) - 1 : int(m_volumes.size());
        Volume fresh{volume, {}, 0, 0};
        Volume &target = joins ? m_volumes.last() : fresh;
        const int firstRow = int(target.chapters.size());
        const int count = int(end - i);
        if (joins)
            beginInsertRows(volumeIndex(v), firstRow, firstRow + count - 1);
        for (; i < end; ++i) {
            const FoundChapter &found = chapters.at(i);
            const int hits = int(found.hits.size());
            target.chapters.append(int(m_chapters.size()));
            target.hits += hits;
            target.checked += hits;
            m_chapters.append(Chapter{found, v, int(target.chapters.size()) - 1, std::vector<bool>(hits, true), hits});
            m_hits += hits;
            m_checked += hits;
        }
        if (joins) {
            endInsertRows();
            const QModelIndex row = volumeIndex(v);
            emit dataChanged(row, row);
        } else {
            beginInsertRows({}, v, v);
            m_volumes.append(std::move(fresh));
            endInsertRows();
        }
    }
    emit checkedCountChanged(m_checked);
}

QVector<ChapterEdit> SearchResults::checkedEdits() const
{
    QVector<ChapterEdit> edits;
    for (const Chapter &c : m_chapters) {
        if (c.checkedCount == 0)
            continue;
        ChapterEdit edit{&c.found, {}};
        edit.hits.reserve(c.checkedCount);
        for (size_t h = 0; h < c.checked.size(); ++h) {
            if (c.checked[h])
                edit.hits.append(c.found.hits.at(int(h)).hit);
        }
        edits.append(std::move(edit));
    }
    return edits;
}

SearchResults::Level SearchResults::levelOf(const QModelIndex &index) const
{
    const quintptr id = index.internalId();
    return id == 0 ? Level::Volume : id < kHitBase ? Level::Chapter : Level::Hit;
}

const FoundChapter *SearchResults::chapterAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    switch (levelOf(index)) {
    case Level::Chapter:
        return &m_chapters.at(m_volumes.at(int(index.internalId() - 1)).chapters.at(index.row())).found;
    case Level::Hit:
        return &m_chapters.at(int(index.internalId() - kHitBase)).found;
    default:
        return nullptr;
    }
}

const FoundHit *SearchResults::hitAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || levelOf(index) != Level::Hit)
        return nullptr;
    return &chapterAt(index)->hits.at(index.row());
}

QModelIndex SearchResults::volumeIndex(int volume) const
{
    return createIndex(volume, 0, quintptr(0));
}

QModelIndex SearchResults::chapterIndex(int chapter) const
{
    const Chapter &c = m_chapters.at(chapter);
    return createIndex(c.row, 0, quintptr(1 + c.volume));
}

QModelIndex SearchResults::hitIndex(int chapter, int hit) const
{
    return createIndex(hit, 0, kHitBase + quintptr(chapter));
}

QModelIndex SearchResults::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row < m_volumes.size() ? volumeIndex(row) : QModelIndex();
    switch (levelOf(parent)) {
    case Level::Volume: {
        const Volume &v = m_volumes.at(parent.row());
        return row < v.chapters.size() ? createIndex(row, 0, quintptr(1 + parent.row())) : QModelIndex();
    }
    case Level::Chapter: {
        const int chapter = m_volumes.at(int(parent.internalId() - 1)).chapters.at(parent.row());
        return row < m_chapters.at(chapter).found.hits.size() ? hitIndex(chapter, row) : QModelIndex();
    }
    default:
        return {};
    }
}

QModelIndex SearchResults::parent(const QModelIndex &index) const
{
    if (!index.isValid())
        return {};
    switch (levelOf(index)) {
    case Level::Chapter:
        return volumeIndex(int(index.internalId() - 1));
    case Level::Hit:
        return chapterIndex(int(index.internalId() - kHitBase));
    default:
        return {};
    }
}

int SearchResults::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(m_volumes.size());
    switch (levelOf(parent)) {
    case Level::Volume:
        return int(m_volumes.at(parent.row()).chapters.size());
    case Level::Chapter:
        return int(chapterAt(parent)->hits.size());
    default:
        return 0;
    }
}

int SearchResults::columnCount(const QModelIndex &) const
{
    return 1;
}

Qt::CheckState SearchResults::stateOf(int checked, int of)
{
    return checked == 0 ? Qt::Unchecked : checked == of ? Qt::Checked : Qt::PartiallyChecked;
}

QVariant SearchResults::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    switch (levelOf(index)) {
    case Level::Volume: {
        const Volume &v = m_volumes.at(index.row());
        if (role == Qt::DisplayRole)
            return QStringLiteral("%1　（%2 章，%3 处）").arg(v.name).arg(v.chapters.size()).arg(v.hits);
        if (role == Qt::CheckStateRole)
            return stateOf(v.checked, v.hits);
        break;
    }
    case Level::Chapter: {
        const Chapter &c = m_chapters.at(m_volumes.at(int(index.internalId() - 1)).chapters.at(index.row()));
        if (role == Qt::DisplayRole)
            return QStringLiteral("%1　（%2 处）").arg(c.found.title).arg(c.found.hits.size());
        if (role == Qt::CheckStateRole)
            return stateOf(c.checkedCount, int(c.found.hits.size()));
        break;
    }
    case Level::Hit: {
        const int chapter = int(index.internalId() - kHitBase);
        const FoundHit &h = m_chapters.at(chapter).found.hits.at(index.row());
        if (role == Qt::DisplayRole)
            return h.context;
        if (role == MarkRole)
            return QPoint(h.markStart, h.markLength);
        if (role == Qt::CheckStateRole)
            return m_chapters.at(chapter).checked[size_t(index.row())] ? Qt::Checked : Qt::Unchecked;
        break;
    }
    }
    return {};
}

Qt::ItemFlags SearchResults::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

void SearchResults::check(int chapter, int hit, bool on)
{
    Chapter &c = m_chapters[chapter];
    if (c.checked[size_t(hit)] == on)
        return;
    c.checked[size_t(hit)] = on;
    const int delta = on ? 1 : -1;
    c.checkedCount += delta;
    m_volumes[c.volume].checked += delta;
    m_checked += delta;
}

void SearchResults::checkChapter(int chapter, bool on)
{
    const int hits = int(m_chapters.at(chapter).found.hits.size());
    for (int h = 0; h < hits; ++h)
        check(chapter, h, on);
    if (hits > 0)
        emit dataChanged(hitIndex(chapter, 0), hitIndex(chapter, hits - 1), {Qt::CheckStateRole});
}

bool SearchResults::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !index.isValid())
        return false;
    const bool on = value.toInt() != Qt::Unchecked;
    int volume = 0;
    switch (levelOf(index)) {
    case Level::Volume:
        volume = index.row();
        for (int chapter : std::as_const(m_volumes.at(volume).chapters))
            checkChapter(chapter, on);
        if (!m_volumes.at(volume).chapters.isEmpty())
            emit dataChanged(this->index(0, 0, index),
                             this->index(int(m_volumes.at(volume).chapters.size()) - 1, 0, index),
                             {Qt::CheckStateRole});
        break;
    case Level::Chapter: {
        const int chapter = m_volumes.at(int(index.internalId() - 1)).chapters.at(index.row());
        volume = m_chapters.at(chapter).volume;
        checkChapter(chapter, on);
        emit dataChanged(index, index, {Qt::CheckStateRole});
        break;
    }
    case Level::Hit: {
        const int chapter = int(index.internalId() - kHitBase);
        volume = m_chapters.at(chapter).volume;
        check(chapter, index.row(), on);
        emit dataChanged(index, index, {Qt::CheckStateRole});
        const QModelIndex chapterRow = chapterIndex(chapter);
        emit dataChanged(chapterRow, chapterRow, {Qt::CheckStateRole});
        break;
    }
    }
    const QModelIndex volumeRow = volumeIndex(volume);
    emit dataChanged(volumeRow, volumeRow, {Qt::CheckStateRole});
    emit checkedCountChanged(m_checked);
    return true;
}

void HitDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QVariant mark = index.data(SearchResults::MarkRole);
    if (!mark.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget).adjusted(margin, 0, -margin, 0);
    const QPoint m = mark.toPoint();
    const QString pieces[] = {text.left(m.x()), text.mid(m.x(), m.y()), text.mid(m.x() + m.y())};
    const QFontMetrics metrics(opt.font);
    const bool selected = opt.state & QStyle::State_Selected;
    const QColor ink = opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);

    painter->save();
    painter->setClipRect(area);
    painter->setFont(opt.font);
    int x = area.left();
    const int baseline = area.top() + (area.height() - metrics.height()) / 2 + metrics.ascent();
    for (int i = 0; i < 3; ++i) {
        const int width = metrics.horizontalAdvance(pieces[i]);
        if (i == 1) {
            painter->fillRect(QRect(x, area.top() + 1, width, area.height() - 2), kMark);
            painter->setPen(Qt::black);
        } else {
            painter->setPen(ink);
        }
        painter->drawText(x, baseline, pieces[i]);
        x += width;
    }
    painter->restore();
}
