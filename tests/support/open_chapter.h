// A novel opened the way the chapter manager holds it while the editor or the
// notes window is open: Data1 on 小说, standing on one chapter, and a window
// standing in for the manager.
#pragma once

#include "fixture.h"
#include "store/data_source.h"

#include <QWidget>
#include <memory>

class OpenChapter
{
public:
    // A novel with the chapters of recipe; Data1 stands on chapter row (0-based).
    OpenChapter(ProgramFixture &fixture, const NovelSpec &recipe, int row = 0);
    // A novel with one chapter of the given text and notes.
    OpenChapter(ProgramFixture &fixture, const QString &text, const QString &notes = QStringLiteral("章节附注"));

    // What the file holds for the current chapter, read outside the program.
    QString storedText() const { return stored(QStringLiteral("章节内容")); }
    QString storedNotes() const { return stored(QStringLiteral("章节附注")); }
    // Bytes of the write-ahead log: it grows with every stored change.
    qint64 logSize() const;

    QString path;
    qint64 id = 0;
    DataSource Data1;
    QWidget manager;

private:
    QString stored(const QString &field) const;
};

class frm_edit;
class OtherProgram;

// The editor opened on the chapter as the edit or the read command opens it,
// shown and active; nullptr when the opener refused.
frm_edit *openInEditor(AppContext &ctx, OpenChapter &chapter, bool edit = true);
// The editor window that is shown, if any.
frm_edit *shownEditor();
// Deletes every editor window still there.
void deleteEditors();
// Waits until every editor window has its last change in the file.
void waitForEditors();

// Types text into widget key by key, as a user would: any character, not
// only the Latin-1 ones QTest::keyClicks can send.
void typeText(QWidget *widget, const QString &text);

// Holds an exclusive lock on a novel file until destroyed or released, so
// that every write of the program fails as with a file another program uses.
class FileLock
{
public:
    explicit FileLock(const QString &path);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    bool isLocked() const { return m_locked; }
    void release();

private:
    std::unique_ptr<OtherProgram> m_other;
    bool m_locked = false;
};
