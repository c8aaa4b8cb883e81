// The character comparison of two chapter texts: the right characters
// marked in Chinese text, surrogate pairs and line breaks never split, the
// shortest set of changes, and a bound on the work that still marks
// everything that changed.
#include "history/text_diff.h"
#include "test_main.h"

#include <QRandomGenerator>
#include <QtTest>

using textdiff::Change;

Q_DECLARE_METATYPE(QVector<Change>)

namespace {

// newer rebuilt from older and the changes, and the stretches between the
// changes checked to be equal.
QString applied(const QString &older, const QString &newer, const QVector<Change> &changes)
{
    QString out;
    int oldAt = 0, newAt = 0;
    for (const Change &c : changes) {
        if (older.mid(oldAt, c.oldPos - oldAt) != newer.mid(newAt, c.newPos - newAt))
            return QStringLiteral("<unequal stretch before %1>").arg(c.oldPos);
        out += older.mid(oldAt, c.oldPos - oldAt) + newer.mid(c.newPos, c.newLength);
        oldAt = c.oldPos + c.oldLength;
        newAt = c.newPos + c.newLength;
    }
    return out + older.mid(oldAt);
}

int commonLength(const QString &a, const QString &b)
{
    std::vector<int> row(size_t(b.size()) + 1, 0), prev(row);
    for (int i = 1; i <= a.size(); ++i) {
        for (int j = 1; j <= b.size(); ++j)
            row[size_t(j)] =
                a[i - 1] == b[j - 1] ? prev[size_t(j - 1)] + 1 : std::max(prev[size_t(j)], row[size_t(j - 1)]);
        std::swap(row, prev);
    }
    return prev[size_t(b.size())];
}

} // namespace

class TextDiffTest : public QObject
{
    Q_OBJECT

private slots:
    void marksTheCharactersThatChanged_data()
    {
        QTest::addColumn<QString>("older");
        QTest::addColumn<QString>("newer");
        QTest::addColumn<QVector<Change>>("changes");
        const QString pairA = QString::fromUcs4(U"𠀀"), pairB = QString::fromUcs4(U"𠀁");
        QTest::newRow("same") << "天色将晚"
                              << "天色将晚" << QVector<Change>{};
        QTest::newRow("cjk inserted") << "天色将晚"
                                      << "天色已将晚" << QVector<Change>{{2, 0, 2, 1}};
        QTest::newRow("cjk deleted") << "渡口只剩下一条船"
                                     << "渡口剩一条船" << QVector<Change>{{2, 1, 2, 0}, {4, 1, 3, 0}};
        QTest::newRow("cjk replaced, two places")
            << "沈舟把缆绳解开，回头看了一眼镇子。"
            << "沈舟把船绳解开，回头望了一眼镇子。" << QVector<Change>{{3, 1, 3, 1}, {10, 1, 10, 1}};
        QTest::newRow("from nothing") << ""
                                      << "雨" << QVector<Change>{{0, 0, 0, 1}};
        QTest::newRow("to nothing") << "雨夜"
                                    << "" << QVector<Change>{{0, 2, 0, 0}};
        // Pairs sharing their first half still differ whole.
        QTest::newRow("surrogate pair replaced")
            << QString(pairA + "字") << QString(pairB + "字") << QVector<Change>{{0, 2, 0, 2}};
        QTest::newRow("surrogate pair inserted between pairs")
            << QString(pairA + pairA) << QString(pairA + pairB + pairA) << QVector<Change>{{2, 0, 2, 2}};
        QTest::newRow("line break kept whole") << "甲\r\n乙"
                                               << "甲\n乙" << QVector<Change>{{1, 2, 1, 1}};
        QTest::newRow("line break added") << "甲乙"
                                          << "甲\r\n乙" << QVector<Change>{{1, 0, 1, 2}};
        QTest::newRow("lone CR before a break") << "甲\r\r\n乙"
                                                << "甲\r\n乙" << QVector<Change>{{1, 1, 1, 0}};
    }

    void marksTheCharactersThatChanged()
    {
        QFETCH(QString, older);
        QFETCH(QString, newer);
        QFETCH(QVector<Change>, changes);
        const textdiff::Diff diff = textdiff::compare(older, newer);
        QCOMPARE(diff.changes, changes);
        QVERIFY(diff.exact);
        QCOMPARE(applied(older, newer, diff.changes), newer);
    }

    void findsTheShortestChangesOnRandomTexts()
    {
        // A small alphabet makes many ways through; every one found must be
        // as short as the longest common subsequence allows.
        QRandomGenerator random(20240520);
        const QString alphabet = QStringLiteral("天地人和之");
        for (int round = 0; round < 400; ++round) {
            QString a, b;
            for (int i = int(random.bounded(30)); i > 0; --i)
                a += alphabet[int(random.bounded(alphabet.size()))];
            b = a;
            for (int i = int(random.bounded(8)); i > 0; --i) {
                const int at = int(random.bounded(b.size() + 1));
                if (random.bounded(2) && at < b.size())
                    b.remove(at, 1);
                else
                    b.insert(at, alphabet[int(random.bounded(alphabet.size()))]);
            }
            const textdiff::Diff diff = textdiff::compare(a, b);
            QCOMPARE(applied(a, b, diff.changes), b);
            QCOMPARE(diff.deleted() + diff.inserted(), int(a.size() + b.size()) - 2 * commonLength(a, b));
        }
    }

    void pastTheBoundTheTangledStretchIsChangedWhole()
    {
        const QString older = QStringLiteral("开头一样。甲乙丙丁戊己庚辛。结尾一样。");
        const QString newer = QStringLiteral("开头一样。乙甲丁丙己戊辛庚。结尾一样。");
        const textdiff::Diff bounded = textdiff::compare(older, newer, 3);
        QVERIFY(!bounded.exact);
        QCOMPARE(applied(older, newer, bounded.changes), newer);
        // Nothing of the same start and end is marked.
        QCOMPARE(bounded.changes.first().oldPos, 5);
        QCOMPARE(bounded.changes.last().oldPos + bounded.changes.last().oldLength, 13);
        const textdiff::Diff full = textdiff::compare(older, newer);
        QVERIFY(full.exact);
        QCOMPARE(full.deleted(), 4);
        QCOMPARE(full.inserted(), 4);
    }

    void aLongTextShowsItsChangesWithContextAndNoHalfCharacter()
    {
        QString older;
        for (int i = 0; i < 200; ++i)
            older += QChar(0x4E00 + i);
        QString newer = older;
        newer.replace(50, 1, QStringLiteral("改"));
        newer.replace(58, 1, QStringLiteral("改"));
        newer.insert(150, QString::fromUcs4(U"𠀀"));
        older.insert(146, QStringLiteral("\r\n"));
        newer.insert(146, QStringLiteral("\r\n"));
        const textdiff::Diff diff = textdiff::compare(older, newer);
        QCOMPARE(diff.changes.size(), 3);
        const QVector<textdiff::Shown> shown = textdiff::stretchesToShow(older, newer, diff, 5);
        // The two near changes share one stretch; the third has its own,
        // whose context takes the line break it reaches into whole.
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].oldFrom, 45);
        QCOMPARE(shown[0].oldTo, 64);
        QCOMPARE(shown[1].oldFrom, 146);
        QCOMPARE(shown[1].oldTo, 157);
        QCOMPARE(shown[1].newFrom, 146);
        QCOMPARE(shown[1].newTo, 159);
    }
};

YZ_TEST_APPLESS_MAIN(TextDiffTest)
#include "tst_text_diff.moc"
