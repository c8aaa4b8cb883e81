// GBK is GBK whatever system the program runs on and whatever code page that
// system uses: imported and exported text and Config.ini come out byte for
// byte the same on Linux and on Windows, on every code.
#include "store/ansi_codec.h"
#include "test_main.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QtTest>

namespace {

// Every single byte, every lead and trail byte pair decoded, and every
// character of the first plane encoded, one after another with a line feed
// (which is never part of a GBK character) between them.
QByteArray everyCode()
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes.append(char(b)).append('\n');
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail != 0x7F)
                bytes.append(char(lead)).append(char(trail)).append('\n');
        }
    }
    QString chars;
    for (int u = 0; u < 0x10000; ++u) {
        if (!QChar::isSurrogate(char32_t(u)))
            chars.append(QChar(u)).append(QLatin1Char('\n'));
    }
    const QString decoded = ansi::decode(bytes);
    return QByteArray(reinterpret_cast<const char *>(decoded.utf16()), decoded.size() * 2) + ansi::encode(chars);
}

} // namespace

class tst_gbk_codec : public QObject
{
    Q_OBJECT

private slots:
    void everyCodeMapsAsOnEverySystem()
    {
        // The SHA-256 of everyCode() as the Linux build gives it through the
        // toolkit's GBK (ICU): the Windows build, through code page 936,
        // must give the same.
        QCOMPARE(QCryptographicHash::hash(everyCode(), QCryptographicHash::Sha256).toHex(),
                 QByteArray("104eb18e0df29e76c58b34d38906bdecc4f9e1f753e5f5764c0d7119c38c1daf"));
    }

    void knownCodes_data()
    {
        QTest::addColumn<QByteArray>("gbk");
        QTest::addColumn<QString>("text");
        QTest::newRow("ASCII") << QByteArray("Path=a\r\n") << QStringLiteral("Path=a\r\n");
        QTest::newRow("中文") << QByteArray("\xD6\xD0\xCE\xC4") << QStringLiteral("中文");
        QTest::newRow("first and last pair") << QByteArray("\x81\x40\xFE\xFE") << QStringLiteral("\u4E02\uE4C5");
        QTest::newRow("euro sign, a single byte") << QByteArray("\x80") << QStringLiteral("\u20AC");
        QTest::newRow("0xFF, a private character") << QByteArray("\xFF") << QStringLiteral("\uF8F5");
        QTest::newRow("user-defined area") << QByteArray("\xA2\xE3\xFE\x50") << QStringLiteral("\uE76C\uE815");
        QTest::newRow("middle dot and dashes")
            << QByteArray("\xA1\xA4\xA1\xAA\xA8\x44") << QStringLiteral("\u00B7\u2014\u2015");
    }

    void knownCodes()
    {
        QFETCH(QByteArray, gbk);
        QFETCH(QString, text);
        QCOMPARE(ansi::decode(gbk), text);
        QCOMPARE(ansi::encode(text), gbk);
    }

    void charactersGbkLacksBecomeOneQuestionMarkEach_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("gbk");
        QTest::newRow("half a pair in the middle")
            << (QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b")) << QByteArray("a?b");
        QTest::newRow("half a pair at the end") << (QStringLiteral("中") + QChar(0xD83D)) << QByteArray("\xD6\xD0?");
        QTest::newRow("a low half alone") << QString(QChar(0xDC00)) << QByteArray("?");
        QTest::newRow("nothing for what shows nothing")
            << QStringLiteral("甲\u200B乙\uFEFF\u00AD") << QByteArray("\xBC\xD7\xD2\xD2");
        QTest::newRow("no look-alike letters") << QStringLiteral("äé한") << QByteArray("?\xA8\xA6?");
    }

    void charactersGbkLacksBecomeOneQuestionMarkEach()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, gbk);
        QCOMPARE(ansi::encode(text), gbk);
    }

    void malformedTextDecodesAsTheLinuxDecoderDoes()
    {
        // Where the toolkit has a GBK decoder of its own (Linux), random bytes
        // decode through the program's own split the same as through it.
        QStringDecoder reference("GBK");
        if (!reference.isValid())
            QSKIP("this system's toolkit has no GBK decoder to compare with (Qt without ICU)");
        QRandomGenerator random(18);
        for (int round = 0; round < 2000; ++round) {
            QByteArray bytes(int(random.bounded(1, 24)), '\0');
            for (char &c : bytes)
                c = char(random.bounded(256));
            QStringDecoder whole("GBK");
            QString expected = whole.decode(bytes);
            QString tail = whole.decode(QByteArrayView("\n", 1));
            tail.chop(1);
            expected += tail;
            QVERIFY2(ansi::decode(bytes) == expected, bytes.toHex().constData());
        }
    }
};

YZ_TEST_MAIN(tst_gbk_codec)
#include "tst_gbk_codec.moc"
