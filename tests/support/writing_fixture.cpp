#include "writing_fixture.h"

WritingFixture::WritingFixture()
{
    startLog();
}

WritingFixture::~WritingFixture()
{
    ctx.writing = nullptr;
}

void WritingFixture::startLog(const QString &recordPath)
{
    m_log.reset();
    m_log =
        std::make_unique<WritingLog>(recordPath.isEmpty() ? this->recordPath() : recordPath, [this] { return now; });
    ctx.writing = m_log.get();
}
