// The names of a novel file's tables and of the columns the chapter rules
// read and write through DataSource, spelled once for all of them.
#pragma once

#include <QString>

namespace novelcolumns {

inline const QString kVolumes = QStringLiteral("分卷");
inline const QString kChapters = QStringLiteral("小说");
inline const QString kVolumeName = QStringLiteral("分卷");
inline const QString kId = QStringLiteral("编号");
inline const QString kOwner = QStringLiteral("所属分卷");
inline const QString kTitle = QStringLiteral("章节名称");
inline const QString kText = QStringLiteral("章节内容");
inline const QString kNotes = QStringLiteral("章节附注");

} // namespace novelcolumns
