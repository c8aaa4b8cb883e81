#include "ui/prompts.h"

#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>

namespace {

// A box is at least as wide as its caption in the title bar, beside the
// window's icon and buttons: a short text such as "成功添加" would otherwise
// leave room for "砚…" of the program's name.
void fitCaption(QMessageBox &box)
{
    const QFontMetrics title(QFontDatabase::systemFont(QFontDatabase::TitleFont));
    const int wanted = title.horizontalAdvance(box.windowTitle()) + 6 * title.height();
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
}

} // namespace

QString qtNameFilter(const QString &filter)
{
    // The file dialog takes a filter's patterns from the parentheses that end
    // its description. A description that already ends with its own
    // patterns, as "图片文件(*.jpg)" does, is shown just as it reads; any
    // other has them added, so that the patterns always apply.
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString &description = parts[i];
        const QString patterns =
            QLatin1Char('(') + QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) + QLatin1Char(')');
        out << (description.endsWith(patterns) ? description : description + QLatin1Char(' ') + patterns);
    }
    return out.join(QStringLiteral(";;"));
}

MsgResult QtPrompts::message(QWidget *parent, const QString &text, int style, const QString &caption)
{
    const QString title = caption.isEmpty() ? appTitle() : caption;
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    if (style & 16)
        box.setIcon(QMessageBox::Critical);
    else if (style & 64)
        box.setIcon(QMessageBox::Information);
    if ((style & 7) == 4) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        fitCaption(box);
        return box.exec() == QMessageBox::Yes ? MsgYes : MsgNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    fitCaption(box);
    box.exec();
    return MsgOk;
}

QString QtPrompts::input(QWidget *parent, const QString &prompt, const QString &defaultText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parent, appTitle(), prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

QString QtPrompts::openFile(QWidget *parent, const QString &filter, const QString &currentName)
{
    return QFileDialog::getOpenFileName(parent, QString(), currentName, qtNameFilter(filter));
}

QString QtPrompts::saveFile(QWidget *parent, const QString &filter, const QString &currentName)
{
    return QFileDialog::getSaveFileName(parent, QString(), currentName, qtNameFilter(filter));
}

void showStoreError(Prompts &prompts, QWidget *parent, const QString &what, const QString &why)
{
    QString text = what + QStringLiteral("失败！无法读写小说文件，请检查文件是否存在、是否只读或被其他程序占用。");
    if (!why.isEmpty())
        text += QStringLiteral("\n（") + why + QStringLiteral("）");
    prompts.message(parent, text, MsgCritical, QStringLiteral("提示"));
}
