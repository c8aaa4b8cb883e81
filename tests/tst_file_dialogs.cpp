// The real file dialogs: the filter reads as designed ("图片文件(*.jpg)",
// "文本文件(*.txt)") with its pattern applied, and saving over an existing
// file still asks first.
#include "editor/frm_edit.h"
#include "fixture.h"
#include "open_chapter.h"
#include "store/ansi_codec.h"
#include "test_main.h"
#include "ui/prompts.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <functional>

namespace {

// Calls act once on the next modal window other than skip, from inside that
// window's own event loop; owner ends the waiting if none ever opens.
void onNextModal(QObject *owner, QWidget *skip, std::function<void(QWidget *)> act)
{
    auto *timer = new QTimer(owner);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, owner, [timer, skip, act] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == skip || !modal->isVisible())
            return;
        timer->stop();
        act(modal);
        timer->deleteLater();
    });
    timer->start();
}

// What a file dialog showed: its filter as the user reads it, and the files
// its list offers in dir.
struct DialogView
{
    QString comboText;
    QStringList nameFilters;
    QStringList listed;
    bool confirmsOverwrite = false;
    bool readWhole = false;
};

// Turns the dialog to dir, which it reads in the background. True once the
// dialog says it has read dir to its end, so that a file its filter should
// hide has had every chance to show; false when the dialog was on dir
// already or never says so within 5 s.
bool turnTo(QFileDialog *dialog, const QString &dir)
{
    auto *model = dialog->findChild<QFileSystemModel *>();
    const QString wanted = QDir(dir).canonicalPath();
    if (!model || QDir(dialog->directory().absolutePath()).canonicalPath() == wanted)
        return false;
    bool read = false;
    const auto watch = QObject::connect(model, &QFileSystemModel::directoryLoaded, dialog,
                                        [&](const QString &path) { read |= QDir(path).canonicalPath() == wanted; });
    dialog->setDirectory(dir);
    const bool whole = QTest::qWaitFor([&] { return read; }, 5000);
    QObject::disconnect(watch);
    return whole;
}

// The names the dialog's list offers where it is.
QStringList listed(QFileDialog *dialog)
{
    const auto *list = dialog->findChild<QListView *>(QStringLiteral("listView"));
    if (!list)
        return {};
    QStringList names;
    for (int i = 0; i < list->model()->rowCount(list->rootIndex()); ++i)
        names << list->model()->index(i, 0, list->rootIndex()).data().toString();
    names.sort();
    return names;
}

DialogView look(QFileDialog *dialog, const QString &dir)
{
    DialogView seen;
    if (const auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo")))
        seen.comboText = combo->currentText();
    seen.nameFilters = dialog->nameFilters();
    seen.confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
    seen.readWhole = turnTo(dialog, dir);
    seen.listed = listed(dialog);
    return seen;
}

} // namespace

class FileDialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { deleteEditors(); }

    void filterTextKeepsTheDesignedDescription_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("shown");
        QTest::newRow("cover") << "图片文件(*.jpg)|*.jpg"
                               << "图片文件(*.jpg)";
        QTest::newRow("text") << "文本文件(*.txt)|*.txt"
                              << "文本文件(*.txt)";
        // A description that does not name its pattern gets it added, so
        // that the pattern always applies.
        QTest::newRow("bare description") << "文本|*.txt"
                                          << "文本 (*.txt)";
        QTest::newRow("other pattern") << "图片文件(*.jpg)|*.png"
                                       << "图片文件(*.jpg) (*.png)";
        QTest::newRow("two patterns") << "图片(*.jpg;*.jpeg)|*.jpg;*.jpeg"
                                      << "图片(*.jpg;*.jpeg) (*.jpg *.jpeg)";
        QTest::newRow("two filters") << "图片文件(*.jpg)|*.jpg|所有文件|*.*"
                                     << "图片文件(*.jpg);;所有文件 (*.*)";
    }

    void filterTextKeepsTheDesignedDescription()
    {
        QFETCH(QString, filter);
        QFETCH(QString, shown);
        QCOMPARE(qtNameFilter(filter), shown);
    }

    void realDialogsShowTheFilterAsDesignedAndApplyIt_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("cover chooser") << "图片文件(*.jpg)|*.jpg" << false << "图片文件(*.jpg)"
                                       << QStringList{"封面.jpg"};
        QTest::newRow("import") << "文本文件(*.txt)|*.txt" << false << "文本文件(*.txt)" << QStringList{"正文.txt"};
        QTest::newRow("export") << "文本文件(*.txt)|*.txt" << true << "文本文件(*.txt)" << QStringList{"正文.txt"};
    }

    void realDialogsShowTheFilterAsDesignedAndApplyIt()
    {
        QFETCH(QString, filter);
        QFETCH(bool, save);
        QFETCH(QString, shown);
        QFETCH(QStringList, listed);
        ProgramFixture fx;
        const QString dir = fx.path(QStringLiteral("文件"));
        QDir().mkpath(dir);
        for (const char *name : {"封面.jpg", "正文.txt", "别的.png"})
            fx.writeFile(dir + QLatin1Char('/') + QString::fromUtf8(name), "x");

        QObject owner;
        DialogView seen;
        bool opened = false;
        onNextModal(&owner, nullptr, [&](QWidget *modal) {
            if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
                opened = true;
                seen = look(dialog, dir);
            }
            modal->close();
        });
        QtPrompts prompts;
        const QString chosen =
            save ? prompts.saveFile(nullptr, filter, QString()) : prompts.openFile(nullptr, filter, QString());
        QVERIFY(opened);
        QVERIFY(chosen.isEmpty());
        QVERIFY(seen.readWhole);
        QCOMPARE(seen.comboText, shown);
        QCOMPARE(seen.nameFilters, QStringList{shown});
        QCOMPARE(seen.listed, listed);
        if (save)
            QVERIFY(seen.confirmsOverwrite);
    }

    // The one place the program asks more than designed: replacing a file
    // on export is confirmed by the save dialog itself.
    void exportOverAnExistingFileAsksOnceAndNoKeepsIt()
    {
        ProgramFixture fx;
        QtPrompts prompts;
        fx.ctx.prompts = &prompts;
        OpenChapter chapter(fx, QStringLiteral("新的正文"));
        frm_edit *editor = openInEditor(fx.ctx, chapter);
        QVERIFY(editor);
        const QString old = fx.path(QStringLiteral("旧文件.txt"));
        fx.writeFile(old, "old text");

        for (const bool replace : {false, true}) {
            QObject owner;
            QStringList questions;
            int boxesShown = 0;
            bool dialogStayed = false;
            onNextModal(&owner, nullptr, [&](QWidget *modal) {
                auto *dialog = qobject_cast<QFileDialog *>(modal);
                if (!dialog) {
                    modal->close();
                    return;
                }
                onNextModal(&owner, dialog, [&](QWidget *question) {
                    for (QWidget *w : QApplication::topLevelWidgets())
                        boxesShown += qobject_cast<QMessageBox *>(w) && w->isVisible();
                    if (auto *box = qobject_cast<QMessageBox *>(question)) {
                        questions << box->text();
                        box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
                    } else {
                        question->close();
                    }
                });
                // Chosen the way a user does: the folder, then the name typed in.
                turnTo(dialog, fx.programDir());
                if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                    name->setText(QStringLiteral("旧文件.txt"));
                QMetaObject::invokeMethod(dialog, "accept");
                dialogStayed = dialog->isVisible();
                if (dialogStayed)
                    dialog->reject();
            });
            editor->Command4_Click();
            QCOMPARE(questions.size(), 1);
            QVERIFY(questions.first().contains(QStringLiteral("旧文件.txt")));
            QCOMPARE(boxesShown, 1);
            QCOMPARE(dialogStayed, !replace);
            QCOMPARE(readAll(old), replace ? ansi::encode(QStringLiteral("新的正文")) : QByteArray("old text"));
        }
    }
};

YZ_TEST_MAIN(FileDialogsTest)
#include "tst_file_dialogs.moc"
