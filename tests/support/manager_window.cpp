#include "manager_window.h"

#include "chapters/frm_write.h"
#include "fixture.h"

#include <QTest>
#include <QTreeWidget>

NovelSpec outlineRecipe(const QStringList &volumes, const QStringList &chapters)
{
    NovelSpec recipe;
    recipe.volumes = volumes;
    recipe.chapters.clear();
    for (const QString &c : chapters)
        recipe.chapters.append({c.section(QLatin1Char('/'), 0, 0), c.section(QLatin1Char('/'), 1), QString()});
    return recipe;
}

frm_write *openManager(ProgramFixture &fx, const NovelSpec &recipe, QString *novel)
{
    *novel = fx.addNovel(QStringLiteral("小说.mdb"), recipe);
    fx.ctx.currentNovelPath = *novel;
    auto *w = new frm_write(fx.ctx);
    w->show();
    return w;
}

QStringList listRows(const QTreeWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *row = list->topLevelItem(i);
        out << row->text(0) + QLatin1Char(' ') + row->text(1) + QLatin1Char(' ') + row->text(2);
    }
    return out;
}

QTreeWidgetItem *treeNode(const frm_write *w, const QString &text)
{
    const auto found = w->TreeView1->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

void clickTreeNode(frm_write *w, QTreeWidgetItem *item)
{
    if (item->parent())
        item->parent()->setExpanded(true);
    w->TreeView1->setCurrentItem(nullptr);
    w->TreeView1->clearSelection();
    QTest::mouseClick(w->TreeView1->viewport(), Qt::LeftButton, {}, w->TreeView1->visualItemRect(item).center());
}

void pressListRow(frm_write *w, int row, Qt::MouseButton button)
{
    const QRect r = w->ListView1->visualItemRect(w->ListView1->topLevelItem(row));
    QTest::mousePress(w->ListView1->viewport(), button, {}, r.center());
}
