// Reading the library window as a user sees it.
#pragma once

#include <QStringList>

class frm_dl;

// The titles the library lists, in list order.
QStringList libraryTitles(const frm_dl &w);
