#include "open_chapter.h"

#include "other_program.h"
#include "editor/chapter_openers.h"
#include "editor/frm_edit.h"

#include <QApplication>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QUuid>

namespace {

NovelSpec oneChapter(const QString &text, const QString &notes)
{
    NovelSpec recipe;
    recipe.chapters = {{QStringLiteral("第一卷"), QStringLiteral("第一章"), text, notes}};
    return recipe;
}

} // namespace

OpenChapter::OpenChapter(ProgramFixture &fixture, const NovelSpec &recipe, int row)
{
    path = fixture.addNovel(QStringLiteral("小说%1.mdb").arg(QUuid::createUuid().toString(QUuid::Id128)), recipe);
    Data1.setDatabaseName(path);
    Data1.setRecordSource(QStringLiteral("小说"));
    if (Data1.Refresh() && Data1.MoveFirst() && (row == 0 || Data1.Move(row)))
        id = Data1.value(QStringLiteral("编号")).toLongLong();
}

OpenChapter::OpenChapter(ProgramFixture &fixture, const QString &text, const QString &notes)
    : OpenChapter(fixture, oneChapter(text, notes))
{
}

QString OpenChapter::stored(const QString &field) const
{
    waitForEditors();
    const QVariantList v = sqlColumn(path, QStringLiteral("SELECT %1 FROM 小说 WHERE 编号 = %2").arg(field).arg(id));
    return v.isEmpty() ? QStringLiteral("<no record>") : v.first().toString();
}

qint64 OpenChapter::logSize() const
{
    waitForEditors();
    return QFileInfo(path + QStringLiteral("-wal")).size();
}

frm_edit *openInEditor(AppContext &ctx, OpenChapter &chapter, bool edit)
{
    frm_edit *editor = edit ? openChapterToEdit(ctx, chapter.Data1, &chapter.manager)
                            : openChapterToRead(ctx, chapter.Data1, &chapter.manager);
    if (editor) {
        editor->activateWindow();
        editor->Text1->setFocus();
        if (!QTest::qWaitForWindowActive(editor))
            qWarning("the editor did not become active");
    }
    return editor;
}

frm_edit *shownEditor()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (auto *editor = qobject_cast<frm_edit *>(w); editor && editor->isVisible())
            return editor;
    }
    return nullptr;
}

void deleteEditors()
{
    // Deleting an editor deletes its menu, itself a top-level widget.
    QList<QPointer<frm_edit>> editors;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (auto *editor = qobject_cast<frm_edit *>(w))
            editors << editor;
    }
    qDeleteAll(editors);
}

void waitForEditors()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (auto *editor = qobject_cast<frm_edit *>(w))
            editor->waitUntilStored();
    }
}

void typeText(QWidget *widget, const QString &text)
{
    for (int i = 0; i < text.size(); ++i) {
        const int n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString key = text.mid(i, n);
        i += n - 1;
        if (key == QLatin1String("\n"))
            QTest::keyClick(widget, Qt::Key_Return);
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, key, Qt::NoModifier);
    }
}

FileLock::FileLock(const QString &path) : m_other(std::make_unique<OtherProgram>(path))
{
    m_locked = m_other->exec(QStringLiteral("BEGIN EXCLUSIVE"));
}

FileLock::~FileLock()
{
    release();
}

void FileLock::release()
{
    if (m_locked)
        m_other->exec(QStringLiteral("ROLLBACK"));
    m_other->close();
    m_locked = false;
}
