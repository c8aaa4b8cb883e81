#include "library_window.h"

#include "library/frm_dl.h"

#include <QListWidget>

QStringList libraryTitles(const frm_dl &w)
{
    QStringList out;
    for (int i = 0; i < w.ListView1->count(); ++i)
        out << w.ListView1->item(i)->text();
    return out;
}
