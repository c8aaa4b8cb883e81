// The library's covers: the list is ready before any cover is read, each
// cover then takes its place at the size the list shows it, and neither the
// covers' bytes nor the novel files are held once they are shown.
#include "dir_snapshot.h"
#include "fixture.h"
#include "library/cover_shelf.h"
#include "library/frm_dl.h"
#include "other_program.h"
#include "test_main.h"

#include <QBuffer>
#include <QDir>
#include <QListWidget>
#include <QPointer>
#include <QRandomGenerator>
#include <QtTest>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// A cover of grain that a JPEG cannot squeeze: width x height pixels give
// more than a byte each.
QByteArray grainyJpeg(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator rng(11);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = 0xff000000u | (rng.generate() & 0xffffffu);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 95);
    return bytes;
}

NovelSpec withCover(const QString &title, const QByteArray &cover)
{
    NovelSpec recipe;
    recipe.title = title;
    recipe.cover = cover;
    return recipe;
}

QColor centre(const QIcon &icon)
{
    const QImage image = icon.pixmap(QSize(120, 150)).toImage();
    return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
}

bool similar(const QColor &a, const QColor &b)
{
    return a.isValid() && b.isValid() && qAbs(a.red() - b.red()) < 24 && qAbs(a.green() - b.green()) < 24 &&
           qAbs(a.blue() - b.blue()) < 24;
}

// count novels in the data directory, "00.mdb" on, all with this cover:
// one is made, the others are copies of it.
void fillLibrary(ProgramFixture &fx, int count, const QByteArray &cover)
{
    const QString first = fx.addNovel(QStringLiteral("00.mdb"), withCover(QStringLiteral("书"), cover));
    for (int i = 1; i < count; ++i)
        QFile::copy(first, fx.dataDir() + QStringLiteral("/%1.mdb").arg(i, 2, 10, QLatin1Char('0')));
}

CoverShelf *shelfOf(frm_dl &w)
{
    return w.findChild<CoverShelf *>();
}

// Files of the data directory this process holds open.
QStringList openFilesUnder(const QString &dir)
{
    QStringList out;
    const QString prefix = QDir(dir).canonicalPath() + QLatin1Char('/');
    for (const QFileInfo &fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::Files)) {
        const QString target = fd.symLinkTarget();
        if (target.startsWith(prefix))
            out << target;
    }
    return out;
}

// Threads of this process with the given name; other threads (the
// toolkit's own) come and go on their own.
// Decoding large covers on a machine busy with other tests can take far
// longer than the usual five seconds; no wait here passes on time alone.
constexpr int kDecodeMs = 60000;

int threadsNamed(const QByteArray &name)
{
    int n = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name)
            ++n;
    }
    return n;
}

} // namespace

class LibraryCoversTest : public QObject
{
    Q_OBJECT

private slots:
    void theListIsReadyBeforeTheCoversWhichThenTakeTheirPlace()
    {
        ProgramFixture fx;
        fx.installProgramFiles();
        const QColor standard = QImage(fx.path(QStringLiteral("默认.jpg"))).pixelColor(60, 75);
        fx.addNovel(QStringLiteral("1.mdb"), withCover(QStringLiteral("小封面"), makeJpeg(60, 75, Qt::red)));
        fx.addNovel(QStringLiteral("2.mdb"), withCover(QStringLiteral("大封面"), makeJpeg(2400, 3000, Qt::blue)));
        fx.addNovel(QStringLiteral("3.mdb"), withCover(QStringLiteral("宽封面"), makeJpeg(1000, 400, Qt::green)));
        fx.addNovel(QStringLiteral("4.mdb"), withCover(QStringLiteral("坏封面"), QByteArray("not a picture")));
        fx.addNovel(QStringLiteral("5.mdb"), withCover(QStringLiteral("空封面"), QByteArray("")));

        frm_dl w(fx.ctx);
        QCOMPARE(w.ListView1->count(), 5);
        // Nothing has been read yet: every entry shows the default cover.
        for (int i = 0; i < w.ListView1->count(); ++i)
            QVERIFY2(similar(centre(w.ListView1->item(i)->icon()), standard), qPrintable(QString::number(i)));

        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const auto icon = [&](int row) { return w.ListView1->item(row)->icon(); };
        QTRY_VERIFY_WITH_TIMEOUT(similar(centre(icon(0)), Qt::red), kDecodeMs);
        QTRY_VERIFY_WITH_TIMEOUT(similar(centre(icon(1)), Qt::blue), kDecodeMs);
        QTRY_VERIFY_WITH_TIMEOUT(similar(centre(icon(2)), Qt::green), kDecodeMs);
        QTRY_VERIFY_WITH_TIMEOUT(!shelfOf(w)->busy(), kDecodeMs);
        // Kept no larger than shown, in proportion, and never enlarged.
        QCOMPARE(icon(0).pixmap(QSize(120, 150)).size(), QSize(60, 75));
        QCOMPARE(icon(1).pixmap(QSize(120, 150)).size(), QSize(120, 150));
        QCOMPARE(icon(2).pixmap(QSize(120, 150)).size(), QSize(120, 48));
        for (int row : {3, 4}) {
            QVERIFY(similar(centre(icon(row)), standard));
            QCOMPARE(icon(row).pixmap(QSize(120, 150)).size(), QSize(120, 150));
        }
        QVERIFY(fx.prompts.calls.isEmpty());
    }

    void aCoverStillInTheLogOfAnOpenNovelIsShown()
    {
        ProgramFixture fx;
        const QString path =
            fx.addNovel(QStringLiteral("a.mdb"), withCover(QStringLiteral("甲"), makeJpeg(120, 150, Qt::red)));
        // Another program has the novel open and has just stored a new cover,
        // which is still in its log beside the file.
        {
            OtherProgram other(path);
            QVERIFY(other.isOpen());
            QVERIFY(other.exec(QStringLiteral("PRAGMA wal_autocheckpoint=0")));
            QVERIFY(other.exec(QStringLiteral("UPDATE 信息 SET 封面 = ?"), {makeJpeg(120, 150, Qt::blue)}));
            QVERIFY(QFileInfo(path + QStringLiteral("-wal")).size() > 0);

            frm_dl w(fx.ctx);
            QTRY_VERIFY_WITH_TIMEOUT(similar(centre(w.ListView1->item(0)->icon()), Qt::blue), kDecodeMs);
        }
    }

    void readingCoversTakesOnlyWhatIsPaintedAndNeverWritesOrHoldsANovel()
    {
        ProgramFixture fx;
        fx.installProgramFiles();
        const int count = 40;
        fillLibrary(fx, count - 1, makeJpeg(120, 150, Qt::red));
        fx.addNovel(QStringLiteral("zz.mdb"), withCover(QStringLiteral("末"), makeJpeg(120, 150, Qt::blue)));
        frm_dl w(fx.ctx);
        const auto before = dirSnapshot(fx.dataDir());

        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        CoverShelf *shelf = shelfOf(w);
        QTRY_VERIFY_WITH_TIMEOUT(shelf->heldCount() > 0 && !shelf->busy(), kDecodeMs);
        // Only the entries on screen were read.
        QVERIFY2(shelf->heldCount() < count / 2, qPrintable(QString::number(shelf->heldCount())));
        QCOMPARE(openFilesUnder(fx.dataDir()), QStringList());

        // The last entries are read when they are scrolled into view.
        w.ListView1->scrollToBottom();
        QTRY_VERIFY_WITH_TIMEOUT(similar(centre(w.ListView1->item(count - 1)->icon()), Qt::blue), kDecodeMs);
        QTRY_VERIFY_WITH_TIMEOUT(!shelf->busy(), kDecodeMs);
        QCOMPARE(openFilesUnder(fx.dataDir()), QStringList());
        // Nothing made, changed or removed: no log files beside the novels.
        QCOMPARE(dirSnapshot(fx.dataDir()), before);
    }

    void onlyTheCoversPaintedLastAreKept()
    {
        ProgramFixture fx;
        const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::cyan, Qt::magenta, Qt::yellow};
        CoverShelf shelf(QSize(120, 150), 1.0, QString(), nullptr, 3);
        QVector<QIcon> icons;
        for (const QColor &c : colours) {
            const QString path =
                fx.addNovel(c.name() + QStringLiteral(".mdb"), withCover(c.name(), makeJpeg(120, 150, c)));
            icons << shelf.icon(path, 1);
        }
        for (int i = 0; i < icons.size(); ++i)
            QTRY_VERIFY_WITH_TIMEOUT(similar(centre(icons[i]), colours[i]), kDecodeMs);
        QCOMPARE(shelf.heldCount(), 3);
        // The first ones were let go (no default cover here: nothing shows
        // until they are read again); the last ones are still kept.
        QVERIFY(icons[0].pixmap(QSize(120, 150)).isNull());
        QVERIFY(similar(centre(icons[5]), colours[5]));
        QTRY_VERIFY_WITH_TIMEOUT(similar(centre(icons[0]), colours[0]), kDecodeMs);
    }

    void aLibraryOfLargeCoversKeepsNoCoverBytes()
    {
#ifndef __GLIBC__
        QSKIP("needs the C library's count of memory in use");
#else
        ProgramFixture fx;
        fx.installProgramFiles();
        const auto inUse = [] {
            const struct mallinfo2 m = mallinfo2();
            return qint64(m.uordblks + m.hblkhd);
        };
        const auto showCovers = [&](frm_dl &w) {
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QTRY_VERIFY_WITH_TIMEOUT(shelfOf(w)->heldCount() > 0 && !shelfOf(w)->busy(), kDecodeMs);
        };
        {
            // Fonts, styles, the store and the decoder, loaded once for good.
            fx.addNovel(QStringLiteral("zz.mdb"), withCover(QStringLiteral("末"), makeJpeg(120, 150, Qt::blue)));
            frm_dl first(fx.ctx);
            showCovers(first);
        }
        const int count = 30;
        qint64 coverBytes = 0;
        {
            const QByteArray cover = grainyJpeg(2400, 2400);
            coverBytes = cover.size();
            fillLibrary(fx, count, cover);
        }
        QVERIFY(coverBytes > 5 * 1024 * 1024);
        const qint64 base = inUse();
        frm_dl w(fx.ctx);
        showCovers(w);
        const qint64 grown = inUse() - base;
        // The window with the covers in view at 120 x 150 pixels takes about
        // 3 MB: less than the bytes of one cover.
        QVERIFY2(grown < coverBytes,
                 qPrintable(
                     QStringLiteral("%1 KB more in use; one cover is %2 KB").arg(grown / 1024).arg(coverBytes / 1024)));
#endif
    }

    void closingTheLibraryWhileCoversAreReadEndsTheReader()
    {
        if (QSysInfo::productType() == QLatin1String("windows"))
            QSKIP("the program's threads are counted by the names Linux lists in /proc");
        ProgramFixture fx;
        fx.installProgramFiles();
        fillLibrary(fx, 12, grainyJpeg(1100, 1400));
        QPointer<frm_dl> w = new frm_dl(fx.ctx);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.data()));
        QTRY_VERIFY_WITH_TIMEOUT(shelfOf(*w)->busy(), kDecodeMs);
        const int threads = threadsNamed("CoverShelf");
        QVERIFY(threads >= 1);
        w->close(); // as on every double-click into a novel
        QTRY_VERIFY(w.isNull());
        // The reader is joined when the window goes; the system takes a moment
        // more to drop the finished thread from its list.
        QTRY_COMPARE(threadsNamed("CoverShelf"), threads - 1);
        QCOMPARE(openFilesUnder(fx.dataDir()), QStringList());
    }
};

YZ_TEST_MAIN(LibraryCoversTest)
#include "tst_library_covers.moc"
