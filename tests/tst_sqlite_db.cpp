// The store's SQLite layer: values go in and come out as the windows hand
// them over and read them, a novel opens whatever its path holds, and what a
// file carries runs on no connection to it.
#include "fixture.h"
#include "other_program.h"
#include "store/novel_file.h"
#include "store/platform.h"
#include "store/sqlite_db.h"
#include "test_main.h"

#include <QDate>
#include <QDir>
#include <QtTest>
#include <sqlite3.h>

class tst_sqlite_db : public QObject
{
    Q_OBJECT

private slots:
    void valuesGoInAndComeOutAsTheWindowsUseThem_data()
    {
        QTest::addColumn<QVariant>("given");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QVariant>("read");
        const QVariant null(QMetaType::fromType<QString>());
        QTest::newRow("text") << QVariant(QStringLiteral("正文😀")) << "text" << QVariant(QStringLiteral("正文😀"));
        QTest::newRow("empty text") << QVariant(QStringLiteral("")) << "text" << QVariant(QStringLiteral(""));
        QTest::newRow("no text") << QVariant(QString()) << "null" << null;
        QTest::newRow("nothing") << QVariant() << "null" << null;
        QTest::newRow("integer") << QVariant(qlonglong(1) << 40) << "integer" << QVariant(qlonglong(1) << 40);
        QTest::newRow("int") << QVariant(7) << "integer" << QVariant(qlonglong(7));
        QTest::newRow("true") << QVariant(true) << "integer" << QVariant(qlonglong(1));
        QTest::newRow("real") << QVariant(2.25) << "real" << QVariant(2.25);
        QTest::newRow("bytes") << QVariant(QByteArray("\0\xff", 2)) << "blob" << QVariant(QByteArray("\0\xff", 2));
        QTest::newRow("no bytes") << QVariant(QByteArray()) << "null" << null;
        QTest::newRow("empty bytes") << QVariant(QByteArray("")) << "blob" << QVariant(QByteArray(""));
        QTest::newRow("a date, as its text")
            << QVariant(QDate(2024, 5, 20)) << "text" << QVariant(QStringLiteral("2024-05-20"));
    }

    void valuesGoInAndComeOutAsTheWindowsUseThem()
    {
        QFETCH(QVariant, given);
        QFETCH(QString, stored);
        QFETCH(QVariant, read);
        sqlite::Db db;
        QVERIFY(db.open(QStringLiteral(":memory:"), SQLITE_OPEN_READWRITE));
        sqlite::Statement st(db, QStringLiteral("SELECT ?1, typeof(?1)"));
        QVERIFY(st.bind(1, given));
        QVERIFY(st.next());
        QCOMPARE(st.text(1), stored);
        const QVariant value = st.value(0);
        QCOMPARE(value.metaType(), read.metaType());
        QCOMPARE(value.isNull(), read.isNull());
        QCOMPARE(value, read);
        // What was bound is let go of once the statement is reset.
        st.reset();
        QVERIFY(st.next());
        QCOMPARE(st.text(1), QStringLiteral("null"));
    }

    void aNovelOpensWhateverItsPathHolds_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"夜航船.mdb", "问?号.mdb", "井#号.mdb", "百分之100%.mdb", "有 空格.mdb", "a%3Fb.mdb"})
            QTest::newRow(name) << QString::fromUtf8(name);
    }

    void aNovelOpensWhateverItsPathHolds()
    {
        QFETCH(QString, name);
        if (!platform::fileNameProblem(name).isEmpty())
            QSKIP("this system cannot hold that file name");
        ProgramFixture fx;
        const QString dir = fx.dataDir() + QStringLiteral("/子目录 #1");
        QVERIFY(QDir().mkpath(dir));
        NovelSpec recipe;
        recipe.title = name;
        const QString path = fx.makeNovel(dir + QLatin1Char('/') + name, recipe);
        for (const sqlite::Access access : {sqlite::Access::ReadWrite, sqlite::Access::ReadOnly}) {
            sqlite::Db db;
            sqlite::NovelOptions options;
            options.access = access;
            QString why;
            QVERIFY2(sqlite::openNovel(db, path, options, &why), qPrintable(why));
            QCOMPARE(sqlite::checkNovel(db, sqlite::PageCheck::Full, &why), sqlite::Verdict::Novel);
            sqlite::Statement title(db, QStringLiteral("SELECT 书名 FROM 信息"));
            QVERIFY(title.next());
            QCOMPARE(title.text(0), name);
        }
        // Nothing was made under a name cut short or read differently.
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{name});
    }

    void whatAFileCarriesRunsOnNoConnection_data()
    {
        QTest::addColumn<int>("access");
        QTest::addColumn<bool>("logged");
        QTest::newRow("to read and write") << int(sqlite::Access::ReadWrite) << false;
        QTest::newRow("to read, as it stands") << int(sqlite::Access::ReadOnly) << false;
        QTest::newRow("to read, through a log") << int(sqlite::Access::ReadOnly) << true;
    }

    void whatAFileCarriesRunsOnNoConnection()
    {
        QFETCH(int, access);
        QFETCH(bool, logged);
        ProgramFixture fx;
        const QString path = fx.addNovel(QStringLiteral("书.mdb"));
        OtherProgram other(path);
        QVERIFY(other.exec(QStringLiteral("CREATE VIEW 全书 AS SELECT * FROM 小说")));
        if (logged) {
            // Another program holds the novel open, with a change still in its log.
            QVERIFY(other.exec(QStringLiteral("PRAGMA wal_autocheckpoint=0")));
            QVERIFY(other.exec(QStringLiteral("UPDATE 信息 SET 作者 = '另一个'")));
        } else {
            other.close();
        }
        sqlite::Db db;
        sqlite::NovelOptions options;
        options.access = sqlite::Access(access);
        QString why;
        QVERIFY2(sqlite::openNovel(db, path, options, &why), qPrintable(why));
        sqlite::Statement author(db, QStringLiteral("SELECT 作者 FROM 信息"));
        QVERIFY(author.next());
        QCOMPARE(author.text(0), logged ? QStringLiteral("另一个") : QStringLiteral("作者"));
        sqlite::Statement view(db, QStringLiteral("SELECT count(*) FROM 全书"));
        QVERIFY(!view.next());
        QVERIFY2(db.errorText().contains(QLatin1String("prohibited")), qPrintable(db.errorText()));
        sqlite::TableKind kind = sqlite::TableKind::Missing;
        QVERIFY(sqlite::tableKind(db, QStringLiteral("全书"), &kind));
        QCOMPARE(kind, sqlite::TableKind::Other);
    }
};

YZ_TEST_GUILESS_MAIN(tst_sqlite_db)
#include "tst_sqlite_db.moc"
