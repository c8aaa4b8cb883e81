// The rules of finding and replacing in one text, without windows: which
// stretches a query finds with each option, that every position is one of
// the text as written (surrogate pairs, CR LF), what a replacement puts in,
// and the reason given for what cannot be used.
#include "app/text_search.h"
#include "test_main.h"

#include <QtTest>

namespace {

// "c" case-sensitive, "w" full-width and half-width as one, "r" a regular expression.
TextQuery query(const QString &pattern, const QString &options)
{
    TextQuery q;
    q.pattern = pattern;
    q.caseSensitive = options.contains(QLatin1Char('c'));
    q.widthInsensitive = options.contains(QLatin1Char('w'));
    q.regex = options.contains(QLatin1Char('r'));
    return q;
}

// The hits as the stretches of text they cover, "|" between them.
QString found(const QString &text, const QVector<TextHit> &hits)
{
    QStringList parts;
    for (const TextHit &h : hits)
        parts << text.mid(h.start, h.length);
    return parts.join(QLatin1Char('|'));
}

const QString kPair = QString::fromUtf8("\xF0\xA0\x80\x80"); // 𠀀, one character in two units

} // namespace

class TestTextSearch : public QObject
{
    Q_OBJECT
private slots:
    void findsWhatTheOptionsAllow_data();
    void findsWhatTheOptionsAllow();
    void replacesWithWhatTheReplacementSays_data();
    void replacesWithWhatTheReplacementSays();
    void refusesWhatCannotBeUsed_data();
    void refusesWhatCannotBeUsed();
    void runawayExpressionStopsAndSays();
};

void TestTextSearch::findsWhatTheOptionsAllow_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hits");      // the stretches found
    QTest::addColumn<QString>("positions"); // start+length of each, when positions matter

    QTest::newRow("plain, Latin case folded") << "ab"
                                              << ""
                                              << "ab AB Ab ａｂ"
                                              << "ab|AB|Ab"
                                              << "";
    QTest::newRow("plain, case kept") << "ab"
                                      << "c"
                                      << "ab AB Ab"
                                      << "ab"
                                      << "";
    QTest::newRow("full-width letters fold among themselves") << "ａｂ"
                                                              << ""
                                                              << "ＡＢ ab"
                                                              << "ＡＢ"
                                                              << "";
    QTest::newRow("Greek is compared as written") << "σ"
                                                  << ""
                                                  << "Σσ"
                                                  << "σ"
                                                  << "1+1";
    QTest::newRow("width: comma and semicolon") << "a,b;"
                                                << "w"
                                                << "a，b； a,b;"
                                                << "a，b；|a,b;"
                                                << "0+4,5+4";
    QTest::newRow("width: full-width Latin is Latin") << "ABC"
                                                      << "w"
                                                      << "ＡＢＣ abc"
                                                      << "ＡＢＣ|abc"
                                                      << "";
    QTest::newRow("width: ideographic space") << "a b"
                                              << "w"
                                              << "a　b"
                                              << "a　b"
                                              << "";
    QTest::newRow("no width: commas differ") << "，"
                                             << ""
                                             << "a，b,c"
                                             << "，"
                                             << "1+1";
    QTest::newRow("hits never overlap") << "aa"
                                        << ""
                                        << "aaaaa"
                                        << "aa|aa"
                                        << "0+2,2+2";
    QTest::newRow("surrogate pair keeps its place") << "ab"
                                                    << "w" << kPair + "ａｂ" + kPair + "AB"
                                                    << "ａｂ|AB"
                                                    << "2+2,6+2";
    QTest::newRow("line breaks are two units") << "乙"
                                               << ""
                                               << "甲\r\n乙\r\n乙"
                                               << "乙|乙"
                                               << "3+1,6+1";
    QTest::newRow("regex: digits, Latin case folded") << "第\\d+章"
                                                      << "r"
                                                      << "第12章 第3章"
                                                      << "第12章|第3章"
                                                      << "";
    QTest::newRow("regex: $ before CR LF") << "。$"
                                           << "r"
                                           << "甲。\r\n乙。丙。"
                                           << "。|。"
                                           << "1+1,7+1";
    QTest::newRow("regex: a full-width paren is a character") << "（注）"
                                                              << "rw"
                                                              << "(注) （注）"
                                                              << "(注)|（注）"
                                                              << "";
    QTest::newRow("regex: escapes keep their case") << "\\D\\d"
                                                    << "r"
                                                    << "aA1b2"
                                                    << "A1|b2"
                                                    << "";
    QTest::newRow("regex: class folded with the text") << "[A-C]+"
                                                       << "r"
                                                       << "xaBcz"
                                                       << "aBc"
                                                       << "";
    QTest::newRow("regex: named group, options as written") << "(?<Who>Li)(?U)\\s+"
                                                            << "r"
                                                            << "li  x"
                                                            << "li "
                                                            << "";
    QTest::newRow("regex: empty matches are no hits") << "a*"
                                                      << "r"
                                                      << "baab"
                                                      << "aa"
                                                      << "1+2";
    QTest::newRow("regex: positions after a pair")
        << "b."
        << "rw" << kPair + "ｂ" + kPair + "b" << QString("ｂ" + kPair) << "2+3";
    QTest::newRow("regex: a lone surrogate does not stop it") << "x"
                                                              << "r" << QString(QChar(0xD800)) + "x"
                                                              << "x"
                                                              << "1+1";
}

void TestTextSearch::findsWhatTheOptionsAllow()
{
    QFETCH(QString, pattern);
    QFETCH(QString, options);
    QFETCH(QString, text);
    QFETCH(QString, hits);
    QFETCH(QString, positions);

    TextSearch search;
    QVERIFY(search.prepare(query(pattern, options)).ok());
    QVector<TextHit> out;
    QVERIFY(search.findAll(text, &out).ok());
    QCOMPARE(found(text, out), hits);
    if (!positions.isEmpty()) {
        QStringList at;
        for (const TextHit &h : out)
            at << QStringLiteral("%1+%2").arg(h.start).arg(h.length);
        QCOMPARE(at.join(QLatin1Char(',')), positions);
    }
}

void TestTextSearch::replacesWithWhatTheReplacementSays_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");

    QTest::newRow("plain is taken as written") << "张三"
                                               << ""
                                               << "$1\\n"
                                               << "张三说"
                                               << "$1\\n说";
    QTest::newRow("plain, every hit") << "a"
                                      << ""
                                      << "bb"
                                      << "aXA"
                                      << "bbXbb";
    QTest::newRow("groups take the text as written, not folded") << "(ａ)(b)"
                                                                 << "rw"
                                                                 << "$2\\1"
                                                                 << "Ab ａB"
                                                                 << "bA Bａ";
    QTest::newRow("two-digit group only where there are so many") << "(a)"
                                                                  << "r"
                                                                  << "$10"
                                                                  << "a"
                                                                  << "a0";
    QTest::newRow("braced number and name") << "(?<x>甲)(乙)"
                                            << "r"
                                            << "${2}${x}"
                                            << "甲乙"
                                            << "乙甲";
    QTest::newRow("dollar, backslash, tab and line break") << "丙"
                                                           << "r"
                                                           << "$$\\\\\\t\\n"
                                                           << "丙"
                                                           << "$\\\t\r\n";
    QTest::newRow("whole match") << "\\d+"
                                 << "r"
                                 << "[$0]"
                                 << "第12章"
                                 << "第[12]章";
    QTest::newRow("lookbehind sees the text before the hit") << "(?<=李)四"
                                                             << "r"
                                                             << "斯"
                                                             << "李四王四"
                                                             << "李斯王四";
}

void TestTextSearch::replacesWithWhatTheReplacementSays()
{
    QFETCH(QString, pattern);
    QFETCH(QString, options);
    QFETCH(QString, replacement);
    QFETCH(QString, text);
    QFETCH(QString, result);

    TextSearch search;
    QVERIFY(search.prepare(query(pattern, options), replacement).ok());
    QVector<TextHit> hits;
    QVERIFY(search.findAll(text, &hits).ok());
    QCOMPARE(search.replaced(text, hits), result);
    if (!hits.isEmpty()) {
        const QString first = search.replacementFor(text, hits.first());
        QVERIFY(result.contains(first));
    }
}

void TestTextSearch::refusesWhatCannotBeUsed_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("position");

    const int empty = int(TextSearch::Reason::EmptyPattern);
    const int badPattern = int(TextSearch::Reason::BadPattern);
    const int badReplacement = int(TextSearch::Reason::BadReplacement);
    QTest::newRow("nothing to find") << ""
                                     << ""
                                     << "" << empty << 0;
    QTest::newRow("nothing to find, as an expression") << ""
                                                       << "r"
                                                       << "" << empty << 0;
    QTest::newRow("unclosed group, at its end") << "第(章"
                                                << "r"
                                                << "" << badPattern << 4;
    QTest::newRow("counted in characters after a pair") << kPair + "["
                                                        << "r"
                                                        << "" << badPattern << 3;
    QTest::newRow("folding does not move the place") << "ＡＢ)"
                                                     << "rw"
                                                     << "" << badPattern << 3;
    QTest::newRow("a group that is not there") << "(a)"
                                               << "r"
                                               << "x$2" << badReplacement << 2;
    QTest::newRow("a name that is not there") << "(a)"
                                              << "r"
                                              << "${b}" << badReplacement << 1;
    QTest::newRow("plain text has no groups to miss") << "(a)"
                                                      << ""
                                                      << "$2" << 0 << 0;
}

void TestTextSearch::refusesWhatCannotBeUsed()
{
    QFETCH(QString, pattern);
    QFETCH(QString, options);
    QFETCH(QString, replacement);
    QFETCH(int, reason);
    QFETCH(int, position);

    TextSearch search;
    const TextSearch::Result r = search.prepare(query(pattern, options), replacement);
    QCOMPARE(int(r.reason), reason);
    QCOMPARE(r.position, position);
    const bool said = r.reason == TextSearch::Reason::BadPattern || r.reason == TextSearch::Reason::BadReplacement;
    QCOMPARE(r.detail.isEmpty(), !said);
}

void TestTextSearch::runawayExpressionStopsAndSays()
{
    // Backtracking without end over a long line: stopped by the deadline, or
    // given up by the expression itself, and said either way; never taken
    // for a text without hits. A set flag stops it before it starts.
    TextSearch search;
    QVERIFY(search.prepare(query(QStringLiteral("(a+)+$"), QStringLiteral("r"))).ok());
    const QString text = QString(40, QLatin1Char('a')) + QLatin1Char('!');
    QVector<TextHit> hits;
    SearchBound bound;
    bound.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    const auto reason = search.findAll(text, &hits, bound).reason;
    QVERIFY2(reason == TextSearch::Reason::TooComplex || reason == TextSearch::Reason::TimedOut,
             qPrintable(QString::number(int(reason))));

    std::atomic_bool cancel{true};
    bound.cancel = &cancel;
    QCOMPARE(search.findAll(text, &hits, bound).reason, TextSearch::Reason::Cancelled);
}

YZ_TEST_APPLESS_MAIN(TestTextSearch)
#include "tst_text_search.moc"
