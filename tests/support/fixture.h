// A program directory in a temporary folder, with novels made to order.
#pragma once

#include "app/app_context.h"
#include "shell/window_navigator.h"
#include "test_prompts.h"

#include <QByteArray>
#include <QPair>
#include <QTemporaryDir>
#include <QVector>

// One chapter: volume, title, text (notes default to "章节附注").
struct ChapterSpec
{
    QString volume;
    QString title;
    QString text;
    QString notes = QStringLiteral("章节附注");
};

struct NovelSpec
{
    QString title = QStringLiteral("测试小说");
    QStringList volumes = {QStringLiteral("第一卷")};
    QVector<ChapterSpec> chapters = {{QStringLiteral("第一卷"), QStringLiteral("第一章"), QStringLiteral("章节内容")}};
    QByteArray cover;
};

// A navigator that records which window was asked for. The windows the
// chapter manager opens are also opened by the program's own navigator when
// one is given as chapterWindows: the editor and the notes are then real.
class RecordingNavigator : public Navigator
{
public:
    void showLibrary() override { shown << QStringLiteral("frm_dl"); }
    void showChapterManager() override { shown << QStringLiteral("frm_write"); }
    void showNewNovel() override { shown << QStringLiteral("frm_new"); }
    void showNovelInfo() override { shown << QStringLiteral("Form1"); }
    void showAbout(QWidget *) override { shown << QStringLiteral("frm_about"); }
    void showFromManager(ManagerWindow window, DataSource &data, QWidget *manager) override
    {
        fromManager << window;
        if (chapterWindows)
            chapterWindows->showFromManager(window, data, manager);
    }
    bool raiseOpenedFrom(QWidget *manager) override
    {
        return chapterWindows && chapterWindows->raiseOpenedFrom(manager);
    }
    bool showHitInEditor(QWidget *manager, const TextQuery &query, int start) override
    {
        return chapterWindows && chapterWindows->showHitInEditor(manager, query, start);
    }
    QStringList shown;
    QVector<ManagerWindow> fromManager;
    Navigator *chapterWindows = nullptr;
};

class ProgramFixture
{
public:
    // The program directory is the temporary directory itself, or a
    // directory of that name inside it.
    explicit ProgramFixture(const QString &programSubdir = QString());

    bool isValid() const { return m_dir.isValid(); }
    QString programDir() const { return m_programDir; }
    QString dataDir() const { return m_programDir + QStringLiteral("/data"); }
    QString path(const QString &name) const { return m_programDir + QLatin1Char('/') + name; }

    // Writes the template, 默认.jpg and the skin beside the "program".
    void installProgramFiles();
    // A novel file at path (any directory); returns the path.
    QString makeNovel(const QString &path, const NovelSpec &recipe = {});
    // A novel in the data directory named file.
    QString addNovel(const QString &file, const NovelSpec &recipe = {});
    void writeFile(const QString &path, const QByteArray &bytes);

    AppContext ctx;
    TestPrompts prompts;
    RecordingNavigator nav;
    // The program's own navigator on ctx: the chapter manager's windows open
    // through it (see RecordingNavigator).
    WindowNavigator windows{ctx};

private:
    QTemporaryDir m_dir;
    QString m_programDir;
};

// A small real JPEG of the given size and colour.
QByteArray makeJpeg(int width, int height, const QColor &color);
QByteArray readAll(const QString &path);
// Runs an SQL query on a novel file outside the program and returns the first
// column of every row.
QVariantList sqlColumn(const QString &path, const QString &sql);
