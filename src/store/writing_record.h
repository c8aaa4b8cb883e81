// The writing record: a file of the program's own, beside the novels in the
// data directory, holding what was written on each day in each chapter and
// the writer's choices (the counting rule, the daily goal). No novel file
// depends on it, and its name does not end in .mdb, so the library never
// lists it. Each connection is used on the thread that made it.
#pragma once

#include <QDate>
#include <QHash>
#include <QMap>
#include <QString>
#include <QVector>
#include <array>
#include <memory>

namespace sqlite {
class Db;
}

// One day of one chapter. The figures, in this order: added, added without
// punctuation, net, net without punctuation, imported, imported without
// punctuation, minutes.
struct RecordRow
{
    static constexpr int kFigures = 7;
    QDate date;
    QString novel; // the novel's file name in the data directory
    qint64 chapter = 0;
    std::array<qint64, kFigures> figures{};
};

// What one write adds to the record.
struct RecordBatch
{
    // Added to the figures already kept for the same day, novel and chapter.
    QVector<RecordRow> rows;
    // Settings by name, each replacing the value kept.
    QHash<QString, QString> settings;
    // Goals by the day from which they hold, each replacing the one kept.
    QMap<QDate, qint64> goals;

    bool isEmpty() const { return rows.isEmpty() && settings.isEmpty() && goals.isEmpty(); }
};

class WritingRecord
{
public:
    explicit WritingRecord(const QString &path);
    ~WritingRecord();
    WritingRecord(const WritingRecord &) = delete;
    WritingRecord &operator=(const WritingRecord &) = delete;

    const QString &path() const { return m_path; }

    // Writes the batch, made durable before it returns, or nothing of it.
    // Makes the file when there is none yet.
    bool write(const RecordBatch &batch);
    // The rows of the days from..to. A record not made yet is empty.
    bool readRows(const QDate &from, const QDate &to, QVector<RecordRow> *rows);
    bool readSettings(QHash<QString, QString> *settings, QMap<QDate, qint64> *goals);

    // Why the last write or read failed.
    const QString &lastError() const { return m_error; }
    void close();

private:
    bool open(bool create);
    bool fail(const QString &why);

    QString m_path;
    std::unique_ptr<sqlite::Db> m_db;
    QString m_error;
};
