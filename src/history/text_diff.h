// What changed between two texts of a chapter, character by character:
// Chinese has no spaces between words, so the character is the unit. A
// character is a UTF-16 code unit, a surrogate pair or a CR LF line break,
// never half of one. The work is bounded: a stretch too tangled to compare
// within the bound is reported as changed as a whole.
#pragma once

#include <QString>
#include <QVector>

namespace textdiff {

// older[oldPos, oldPos + oldLength) became newer[newPos, newPos + newLength);
// positions and lengths in UTF-16 code units. Between two changes, and
// before the first and after the last, the texts are the same.
struct Change
{
    int oldPos = 0;
    int oldLength = 0;
    int newPos = 0;
    int newLength = 0;
    bool operator==(const Change &o) const
    {
        return oldPos == o.oldPos && oldLength == o.oldLength && newPos == o.newPos && newLength == o.newLength;
    }
};

struct Diff
{
    QVector<Change> changes;
    // False when some stretch ran past the bound and is marked whole.
    bool exact = true;
    // Code units taken out of the older text and put into the newer one.
    int deleted() const;
    int inserted() const;
};

// Steps of the comparison a diff may take; enough for any two chapters that
// differ by some thousands of characters.
constexpr qint64 kDefaultWork = 8'000'000;

Diff compare(const QString &older, const QString &newer, qint64 work = kDefaultWork);

// A stretch of both texts to show: older[oldFrom, oldTo) beside
// newer[newFrom, newTo), holding changes and context units on either side.
struct Shown
{
    int oldFrom = 0;
    int oldTo = 0;
    int newFrom = 0;
    int newTo = 0;
};

// The stretches of a long text worth showing: each change with context
// characters around it, stretches that touch or overlap joined. Ends never
// cut a character in two.
QVector<Shown> stretchesToShow(const QString &older, const QString &newer, const Diff &diff, int context);

} // namespace textdiff
