// A program directory whose writing log keeps its record file there and
// tells the time the test sets, as the program's log does with the clock.
#pragma once

#include "app/writing_log.h"
#include "fixture.h"

#include <QDateTime>
#include <memory>

class WritingFixture : public ProgramFixture
{
public:
    WritingFixture() { startLog(); }
    ~WritingFixture() { ctx.writing = nullptr; }

    QString recordPath() const { return path(WritingLog::recordFileName()); }
    // A new log on the record at recordPath (by default the fixture's own), as
    // the next run of the program reads it; the old one writes what it has.
    void startLog(const QString &recordPath = QString())
    {
        m_log.reset();
        m_log = std::make_unique<WritingLog>(recordPath.isEmpty() ? this->recordPath() : recordPath,
                                             [this] { return now; });
        ctx.writing = m_log.get();
    }
    WritingLog &log() { return *m_log; }

    // 21:00 on a Monday unless a test moves it.
    QDateTime now{QDate(2024, 5, 20), QTime(21, 0)};

private:
    std::unique_ptr<WritingLog> m_log;
};
