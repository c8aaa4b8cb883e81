// Novels on media that cannot be written (read-only, full) and data
// directories that cannot be read: every novel is still listed and read,
// every change fails through the store's message and writes nothing, and a
// directory that cannot be read is said rather than shown as an empty
// library. Mounts need root; where they are refused the test skips.
#include "app/snapshot_keeper.h"
#include "chapters/frm_write.h"
#include "dir_snapshot.h"
#include "editor/chapter_openers.h"
#include "editor/frm_edit.h"
#include "fixture.h"
#include "hostile_files.h"
#include "library_window.h"
#include "library/form1.h"
#include "library/frm_dl.h"
#include "library/frm_new.h"
#include "manager_window.h"
#include "open_chapter.h"
#include "store/data_source.h"
#include "test_main.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QtTest>

namespace {

const QString kTitle = QStringLiteral("不能写的书");
const QString kText = QStringLiteral("第一章的正文");

NovelSpec recipe()
{
    NovelSpec r;
    r.title = kTitle;
    r.chapters = {{QStringLiteral("第一卷"), QStringLiteral("第一章"), kText}};
    return r;
}

} // namespace

class tst_disk_states : public QObject
{
    Q_OBJECT

    // Everything a reader does with the novel: the library lists it, the
    // chapter manager shows its tree and has it snapshotted, the editor shows
    // its text. Every change then fails through the store's message, and
    // nothing in the data directory changes, not even beside the novel.
    static void readableButNeverWritten(ProgramFixture &fx, const QString &novel)
    {
        const auto before = dirSnapshot(fx.dataDir());
        {
            frm_dl library(fx.ctx);
            QCOMPARE(libraryTitles(library), QStringList{kTitle});
        }
        fx.ctx.currentNovelPath = novel;
        {
            SnapshotKeeper keeper;
            fx.ctx.snapshots = &keeper;
            const auto unwatch = qScopeGuard([&] { fx.ctx.snapshots = nullptr; });
            {
                frm_write manager(fx.ctx);
                manager.show();
                QVERIFY(QTest::qWaitForWindowExposed(&manager));
                QVERIFY(treeNode(&manager, QStringLiteral("第一卷")));
                QVERIFY(treeNode(&manager, QStringLiteral("第一章")));
            }
            QVERIFY(keeper.waitUntilIdle(10000));
        }
        QCOMPARE(dirSnapshot(fx.dataDir()), before);
        QCOMPARE(fx.prompts.messages(), QStringList());

        DataSource data;
        data.setDatabaseName(novel);
        data.setRecordSource(QStringLiteral("小说"));
        QVERIFY2(data.Refresh(), qPrintable(data.lastError()));
        QVERIFY(data.isReadOnly());
        QWidget manager;
        frm_edit *reader = openChapterToRead(fx.ctx, data, &manager);
        QVERIFY(reader);
        QCOMPARE(reader->Text1->toPlainText(), kText);
        deleteEditors();
        frm_edit *editor = openChapterToEdit(fx.ctx, data, &manager);
        QVERIFY(editor);
        QCOMPARE(editor->Text1->toPlainText(), kText);
        // Opening stores nothing; the first change is refused and said so.
        editor->Text1->moveCursor(QTextCursor::End);
        typeText(editor->Text1, QStringLiteral("续"));
        QVERIFY(!editor->waitUntilStored());
        QCOMPARE(editor->panelText(4), QStringLiteral("未能保存！"));
        QVERIFY2(editor->storeError().contains(QStringLiteral("只能阅读")), qPrintable(editor->storeError()));
        fx.prompts.yesNo = {MsgYes};
        editor->close();
        QCOMPARE(fx.prompts.calls.size(), 1);
        QCOMPARE(fx.prompts.calls[0].caption, QStringLiteral("警告"));
        deleteEditors();
        fx.prompts.clear();

        {
            Form1 info(fx.ctx);
            info.setAttribute(Qt::WA_DeleteOnClose, false);
            info.show();
            QVERIFY(QTest::qWaitForWindowExposed(&info));
            QCOMPARE(info.Text1->text(), kTitle);
            info.Text3->setText(QStringLiteral("新作者"));
            QTest::mouseClick(info.Command2, Qt::LeftButton);
            const QStringList told = fx.prompts.messages();
            QCOMPARE(told.size(), 1);
            QVERIFY2(told[0].startsWith(QStringLiteral("保存失败！")), qPrintable(told[0]));
        }
        fx.prompts.clear();

        {
            frm_new dialog(fx.ctx);
            dialog.setAttribute(Qt::WA_DeleteOnClose, false);
            dialog.show();
            dialog.Text1->setText(QStringLiteral("新书"));
            for (QLineEdit *box : {dialog.Text2, dialog.Text3, dialog.Text4})
                box->setText(QStringLiteral("有"));
            dialog.Text5->setPlainText(QStringLiteral("大纲"));
            QTest::mouseClick(dialog.Command2, Qt::LeftButton);
            const QStringList told = fx.prompts.messages();
            QCOMPARE(told.size(), 1);
            QVERIFY2(told[0].startsWith(QStringLiteral("创建新小说失败！")), qPrintable(told[0]));
        }
        QCOMPARE(dirSnapshot(fx.dataDir()), before);
    }

private slots:
    void cleanup() { deleteEditors(); }

    void novelsOnReadOnlyMediaAreReadAndNeverWritten()
    {
        ProgramFixture fx;
        fx.installProgramFiles();
        const QString novel = fx.addNovel(QStringLiteral("书.mdb"), recipe());
        const ScopedMount media = ScopedMount::readOnlyBind(fx.dataDir(), fx.dataDir());
        if (!media.isMounted())
            QSKIP(qPrintable(media.skipReason()));
        readableButNeverWritten(fx, novel);
    }

    void novelsOnAFullDiskAreReadAndWrittenOnceThereIsRoom()
    {
        ProgramFixture fx;
        fx.installProgramFiles();
        const ScopedMount disk = ScopedMount::tmpfs(fx.dataDir(), 1024 * 1024);
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.skipReason()));
        const QString novel = fx.addNovel(QStringLiteral("书.mdb"), recipe());
        const QString filler = fillDisk(fx.dataDir());
        readableButNeverWritten(fx, novel);

        QVERIFY(QFile::remove(filler));
        DataSource data;
        data.setDatabaseName(novel);
        data.setRecordSource(QStringLiteral("小说"));
        QVERIFY(data.Refresh());
        QVERIFY(!data.isReadOnly());
        QVERIFY(data.Edit());
        data.setValue(QStringLiteral("章节内容"), QStringLiteral("有地方了"));
        QVERIFY2(data.Update(), qPrintable(data.lastError()));
        QCOMPARE(sqlColumn(novel, QStringLiteral("SELECT 章节内容 FROM 小说")), QVariantList{"有地方了"});
    }

    void dataDirectoryThatCannotBeReadIsSaidOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("why");
        QTest::newRow("a plain file") << "file"
                                      << "不是目录";
        QTest::newRow("configured and missing") << "missing"
                                                << "目录不存在";
        QTest::newRow("no permission to read it") << "closed" << QString();
    }

    void dataDirectoryThatCannotBeReadIsSaidOnce()
    {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        ProgramFixture fx;
        fx.installProgramFiles();
        fx.addNovel(QStringLiteral("书.mdb"), recipe());
        QString dir = fx.dataDir();
        if (kind == QLatin1String("file")) {
            dir = fx.path(QStringLiteral("novels"));
            fx.writeFile(dir, "a file, not a directory");
        } else if (kind == QLatin1String("missing")) {
            // A value cut short at Config.ini's limit names nothing.
            dir = fx.dataDir().left(fx.dataDir().size() - 2);
        } else {
            QVERIFY(QFile::setPermissions(dir, QFileDevice::WriteOwner));
        }
        const auto reopen = qScopeGuard([&] {
            QFile::setPermissions(fx.dataDir(),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        });
        if (dir != fx.dataDir())
            fx.writeFile(fx.path(QStringLiteral("Config.ini")), "[Main]\r\nPath=" + dir.toUtf8() + "\r\n");

        std::unique_ptr<frm_dl> w;
        {
            PermissionsBite bite;
            if (kind == QLatin1String("closed") && !bite.isActive())
                QSKIP("root's right to read any directory cannot be set aside here");
            w = std::make_unique<frm_dl>(fx.ctx);
        }
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTRY_COMPARE(fx.prompts.messages().size(), 1);
        QCoreApplication::processEvents();
        const QStringList told = fx.prompts.messages();
        QCOMPARE(told.size(), 1);
        const QString start = QStringLiteral("无法读取数据目录“%1”（").arg(dir);
        QVERIFY2(told[0].startsWith(start), qPrintable(told[0]));
        if (!why.isEmpty())
            QCOMPARE(told[0], start + why + QStringLiteral("），请检查 Config.ini 中 [Main] 的 Path 设置。"));
        QCOMPARE(fx.prompts.calls[0].caption, QStringLiteral("提示"));
        QCOMPARE(w->ListView1->count(), 0);
        QVERIFY(!QFileInfo::exists(dir) || kind != QLatin1String("missing"));
    }
};

YZ_TEST_MAIN(tst_disk_states)
#include "tst_disk_states.moc"
