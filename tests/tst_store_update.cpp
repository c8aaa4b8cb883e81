// Storing a changed record through the data source when the record is no
// longer in the file.
#include "fixture.h"
#include "store/data_source.h"
#include "test_main.h"

#include <QtTest>

class tst_store_update : public QObject
{
    Q_OBJECT

private slots:
    void editOfVanishedRecordFails();
};

void tst_store_update::editOfVanishedRecordFails()
{
    ProgramFixture f;
    const QString novel = f.addNovel(QStringLiteral("书.mdb"));
    DataSource data;
    data.setDatabaseName(novel);
    data.setRecordSource(QStringLiteral("信息"));
    QVERIFY(data.Refresh());
    QVERIFY(data.Edit());
    data.setValue(QStringLiteral("作者"), QStringLiteral("甲"));
    QVERIFY(data.Update());
    QCOMPARE(sqlColumn(novel, QStringLiteral("SELECT 作者 FROM 信息")), QVariantList{"甲"});

    // Another program empties the table behind the data source's back.
    sqlColumn(novel, QStringLiteral("DELETE FROM 信息"));
    QVERIFY(data.Edit());
    data.setValue(QStringLiteral("作者"), QStringLiteral("乙"));
    QVERIFY(!data.Update());
    QCOMPARE(data.lastError(), QStringLiteral("记录已不存在"));
}

YZ_TEST_MAIN(tst_store_update)
#include "tst_store_update.moc"
