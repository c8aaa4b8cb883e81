#include "fixture.h"

#include "other_program.h"
#include "store/novel_file.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>

namespace {

QString resourceText(const QString &name)
{
    QFile f(QStringLiteral(YZ_RESOURCES_DIR "/") + name);
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

QString sqlText(const QString &s)
{
    return QLatin1Char('\'') + QString(s).replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

} // namespace

ProgramFixture::ProgramFixture(const QString &programSubdir)
    : m_programDir(programSubdir.isEmpty() ? m_dir.path() : m_dir.filePath(programSubdir))
{
    QDir(m_programDir).mkpath(QStringLiteral("data"));
    ctx.programDir = m_programDir;
    ctx.prompts = &prompts;
    ctx.nav = &nav;
    nav.chapterWindows = &windows;
}

void ProgramFixture::writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
}

void ProgramFixture::installProgramFiles()
{
    QFile::copy(QStringLiteral(YZ_RESOURCES_DIR "/默认.jpg"), path(QStringLiteral("默认.jpg")));
    QDir(programDir()).mkpath(QStringLiteral("skin"));
    QFile::copy(QStringLiteral(YZ_RESOURCES_DIR "/skin/skinh.she"), path(QStringLiteral("skin/skinh.she")));
    novelfile::createFromScript(path(QStringLiteral("空数据库.mdb")),
                                resourceText(QStringLiteral("schema.sql")) + QLatin1Char('\n') +
                                    resourceText(QStringLiteral("template.sql")),
                                readAll(path(QStringLiteral("默认.jpg"))));
}

QString ProgramFixture::makeNovel(const QString &file, const NovelSpec &recipe)
{
    QString script = resourceText(QStringLiteral("schema.sql")) + QLatin1Char('\n');
    script +=
        QStringLiteral("INSERT INTO 信息 (书名, 作者, 角色, 说明, 大纲, 封面) VALUES (%1, '作者', '角色', '说明', "
                       "'大纲', :cover);\n")
            .arg(sqlText(recipe.title));
    for (const QString &v : recipe.volumes)
        script += QStringLiteral("INSERT INTO 分卷 (分卷) VALUES (%1);\n").arg(sqlText(v));
    for (const ChapterSpec &c : recipe.chapters)
        script += QStringLiteral("INSERT INTO 小说 (所属分卷, 章节名称, 章节内容, 章节附注) VALUES (%1, %2, %3, %4);\n")
                      .arg(sqlText(c.volume), sqlText(c.title), sqlText(c.text), sqlText(c.notes));
    const QByteArray cover = recipe.cover.isNull() ? makeJpeg(120, 150, Qt::darkRed) : recipe.cover;
    QString error;
    if (!novelfile::createFromScript(file, script, cover, &error))
        qWarning("makeNovel: %s", qPrintable(error));
    return file;
}

QString ProgramFixture::addNovel(const QString &file, const NovelSpec &recipe)
{
    return makeNovel(dataDir() + QLatin1Char('/') + file, recipe);
}

QByteArray makeJpeg(int width, int height, const QColor &color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QVariantList sqlColumn(const QString &path, const QString &sql)
{
    return OtherProgram(path).column(sql);
}
