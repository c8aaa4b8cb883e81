// Driving the chapter manager window as a user does: its tree, its chapter
// list and the rows' texts.
#pragma once

#include <QStringList>

class ProgramFixture;
class QTreeWidget;
class QTreeWidgetItem;
class frm_write;
struct NovelSpec;

// A novel of these volumes and chapters, each chapter given as
// "volume/title" (in table order; no text).
NovelSpec outlineRecipe(const QStringList &volumes, const QStringList &chapters);

// A novel made from recipe in the data directory, its path in *novel, opened
// in a chapter manager that is shown; the caller owns the window.
frm_write *openManager(ProgramFixture &fx, const NovelSpec &recipe, QString *novel);

// "序号 章节 字数" for each row of the chapter list.
QStringList listRows(const QTreeWidget *list);
// The tree node with this text, volume or chapter; nullptr when none.
QTreeWidgetItem *treeNode(const frm_write *w, const QString &text);
// A left click on the node, with nothing selected before (a click on the
// selected node would begin a rename).
void clickTreeNode(frm_write *w, QTreeWidgetItem *item);
// A press of button on row (0-based) of the chapter list.
void pressListRow(frm_write *w, int row, Qt::MouseButton button);
