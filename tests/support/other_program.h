// Another program's connection to a novel file, as any SQLite tool makes
// one: a missing file is made, everything in the file is trusted and runs,
// and a lock is waited for up to 5 s.
#pragma once

#include "store/sqlite_db.h"

#include <QVariantList>

class OtherProgram
{
public:
    explicit OtherProgram(const QString &path);

    bool isOpen() const { return m_db.isOpen(); }
    // Runs the statement with values bound in order; false when it fails.
    bool exec(const QString &sql, const QVariantList &values = {});
    // The first column of every row the statement gives.
    QVariantList column(const QString &sql, const QVariantList &values = {});
    void close() { m_db.close(); }

private:
    sqlite::Db m_db;
};
