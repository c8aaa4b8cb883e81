#include "other_program.h"

#include <sqlite3.h>

OtherProgram::OtherProgram(const QString &path)
{
    if (m_db.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE))
        m_db.setBusyTimeout(5000);
}

bool OtherProgram::exec(const QString &sql, const QVariantList &values)
{
    sqlite::Statement st(m_db, sql);
    for (int i = 0; i < values.size(); ++i)
        st.bind(i + 1, values[i]);
    return st.run();
}

QVariantList OtherProgram::column(const QString &sql, const QVariantList &values)
{
    QVariantList out;
    sqlite::Statement st(m_db, sql);
    for (int i = 0; i < values.size(); ++i)
        st.bind(i + 1, values[i]);
    while (st.next())
        out << st.value(0);
    return out;
}
