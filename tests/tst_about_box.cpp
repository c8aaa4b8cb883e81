// The about box, from the library and from the editor's popup: beside the
// window when there is room, always wholly on the screen that holds that
// window, and in front of it, a full-screen editor that stays on top
// included. Runs on two screens side by side, as on a desk with two monitors.
#include "shell/window_navigator.h"
#include "editor/frm_edit.h"
#include "fixture.h"
#include "library/frm_about.h"
#include "library/frm_dl.h"
#include "open_chapter.h"
#include "store/platform.h"

#include <QAction>
#include <QPushButton>
#include <QScreen>
#include <QtTest>
#include <memory>

namespace {

// Left: 1600 x 900; right: 1440 x 900, set 60 pixels lower.
const QRect kLeftScreen(0, 0, 1600, 900);
const QRect kRightScreen(1600, 60, 1440, 900);

QScreen *screenAt(const QRect &area)
{
    for (QScreen *s : QGuiApplication::screens()) {
        if (s->geometry() == area)
            return s;
    }
    return nullptr;
}

frm_about *shownAbout()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *about = qobject_cast<frm_about *>(w); about && about->isVisible())
            return about;
    }
    return nullptr;
}

void closeAbouts()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<frm_about *>(w))
            w->close();
    }
}

} // namespace

class AboutBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fx = new ProgramFixture;
        m_nav = new WindowNavigator(m_fx->ctx);
        m_fx->ctx.nav = m_nav;
    }

    void cleanup()
    {
        closeAbouts();
        deleteEditors();
        delete m_nav;
        delete m_fx;
        m_nav = nullptr;
        m_fx = nullptr;
    }

    void theDesktopHasTwoScreens()
    {
        QVERIFY(screenAt(kLeftScreen));
        QVERIFY(screenAt(kRightScreen));
    }

    void opensBesideTheEditorWhenThereIsRoom()
    {
        OpenChapter chapter(*m_fx, QStringLiteral("正文"));
        frm_edit *editor = openInEditor(m_fx->ctx, chapter);
        QVERIFY(editor);
        editor->move(40, 30);
        QTRY_COMPARE(editor->frameGeometry().topLeft(), QPoint(40, 30));
        editor->about->trigger();
        frm_about *about = shownAbout();
        QVERIFY(about);
        const QRect frame = editor->frameGeometry();
        QCOMPARE(about->frameGeometry().topLeft(), QPoint(frame.right() + 8, frame.top()));
        QTRY_COMPARE(QApplication::activeWindow(), about);
    }

    void staysWhollyOnTheEditorsScreen_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QString>("place");
        QTest::newRow("left screen, at its right edge") << kLeftScreen << "right edge";
        QTest::newRow("right screen, at its right edge") << kRightScreen << "right edge";
        QTest::newRow("right screen, low and at its right edge") << kRightScreen << "low right";
        QTest::newRow("left screen, maximized") << kLeftScreen << "maximized";
        QTest::newRow("right screen, maximized") << kRightScreen << "maximized";
        QTest::newRow("left screen, full screen") << kLeftScreen << "full screen";
        QTest::newRow("right screen, full screen") << kRightScreen << "full screen";
        QTest::newRow("right screen, restored after full screen") << kRightScreen << "restored";
    }

    void staysWhollyOnTheEditorsScreen()
    {
        QFETCH(QRect, screen);
        QFETCH(QString, place);
        QScreen *holder = screenAt(screen);
        QVERIFY(holder);
        OpenChapter chapter(*m_fx, QStringLiteral("正文"));
        frm_edit *editor = openInEditor(m_fx->ctx, chapter);
        QVERIFY(editor);
        const QSize size = editor->frameGeometry().size();
        if (place == QLatin1String("low right"))
            editor->move(screen.right() - size.width() - 20, screen.bottom() - size.height() / 2);
        else
            editor->move(screen.right() - size.width() - 20, screen.top() + 40);
        QTRY_COMPARE(editor->screen(), holder);
        if (place == QLatin1String("maximized"))
            editor->setWindowState(Qt::WindowMaximized);
        if (place == QLatin1String("full screen") || place == QLatin1String("restored"))
            QTest::mouseClick(editor->Command1, Qt::LeftButton);
        if (place == QLatin1String("restored"))
            QTest::mouseClick(editor->Command2, Qt::LeftButton);
        QTRY_COMPARE(editor->screen(), holder);

        editor->about->trigger();
        frm_about *about = shownAbout();
        QVERIFY(about);
        QVERIFY2(screen.contains(about->frameGeometry()), qPrintable(QStringLiteral("about box at %1,%2 %3x%4")
                                                                         .arg(about->frameGeometry().x())
                                                                         .arg(about->frameGeometry().y())
                                                                         .arg(about->frameGeometry().width())
                                                                         .arg(about->frameGeometry().height())));
        QCOMPARE(about->screen(), holder);
        // Beside the editor while the screen has room for it there.
        if (place == QLatin1String("right edge") || place == QLatin1String("low right"))
            QVERIFY(!about->frameGeometry().intersects(editor->frameGeometry()));
        // In front: above an editor that stays on top, and the active window.
        const bool onTop = editor->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        QCOMPARE(about->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
        QTRY_COMPARE(QApplication::activeWindow(), about);
    }

    void aSecondShowingComesForwardBesideTheNewWindow()
    {
        // First from the library on the left screen, then from a full-screen
        // editor on the right one: the one box moves over and comes in front.
        m_fx->addNovel(QStringLiteral("a.mdb"));
        std::unique_ptr<frm_dl> library(new frm_dl(m_fx->ctx));
        library->show();
        QVERIFY(QTest::qWaitForWindowExposed(library.get()));
        library->move(kLeftScreen.right() - library->frameGeometry().width() - 4, 100);
        QTRY_COMPARE(library->screen(), screenAt(kLeftScreen));
        library->about_Click();
        frm_about *about = shownAbout();
        QVERIFY(about);
        QVERIFY(kLeftScreen.contains(about->frameGeometry()));
        QVERIFY(!about->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

        OpenChapter chapter(*m_fx, QStringLiteral("正文"));
        frm_edit *editor = openInEditor(m_fx->ctx, chapter);
        QVERIFY(editor);
        editor->move(kRightScreen.topLeft() + QPoint(20, 20));
        QTRY_COMPARE(editor->screen(), screenAt(kRightScreen));
        QTest::mouseClick(editor->Command1, Qt::LeftButton);
        editor->about->trigger();
        QCOMPARE(shownAbout(), about);
        QVERIFY(kRightScreen.contains(about->frameGeometry()));
        QVERIFY(about->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QTRY_COMPARE(QApplication::activeWindow(), about);
    }

private:
    ProgramFixture *m_fx = nullptr;
    WindowNavigator *m_nav = nullptr;
};

static int run(int argc, char *argv[])
{
    // Beside the test, named without a drive: the platform's settings are
    // split at colons, and a Windows path has one after its drive letter.
    QTemporaryDir dir(QStringLiteral("about_box-XXXXXX"));
    if (!dir.isValid())
        return 1;
    const QString config = QDir::current().relativeFilePath(dir.filePath(QStringLiteral("screens.json")));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    const auto screen = [](const char *name, const QRect &r) {
        return QStringLiteral(R"({"name": "%1", "x": %2, "y": %3, "width": %4, "height": %5,)"
                              R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1})")
            .arg(QLatin1String(name))
            .arg(r.x())
            .arg(r.y())
            .arg(r.width())
            .arg(r.height());
    };
    file.write(QStringLiteral(R"({"synchronousWindowSystemEvents": false, "windowFrameMargins": true,)"
                              R"( "screens": [%1, %2]})")
                   .arg(screen("left", kLeftScreen), screen("right", kRightScreen))
                   .toUtf8());
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));

    QApplication app(argc, argv);
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    AboutBoxTest test;
    return QTest::qExec(&test, argc, argv);
}

// Ends as the program ends; see platform::endProgram.
int main(int argc, char *argv[])
{
    return platform::endProgram(run(argc, argv));
}

#include "tst_about_box.moc"
