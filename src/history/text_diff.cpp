#include "history/text_diff.h"

#include <algorithm>
#include <array>
#include <vector>

namespace textdiff {

namespace {

// A text as characters: each one's key (equal keys, equal characters) and
// where it starts in the text; starts has one more entry, the text's end.
struct Atoms
{
    std::vector<quint32> keys;
    std::vector<int> starts;
    int size() const { return int(keys.size()); }
};

// A CR LF pair is one key above every code point.
constexpr quint32 kLineBreak = 0x110000;

Atoms atomsOf(const QString &text)
{
    Atoms out;
    out.keys.reserve(size_t(text.size()));
    out.starts.reserve(size_t(text.size()) + 1);
    const QChar *u = text.constData();
    const int n = int(text.size());
    int i = 0;
    while (i < n) {
        out.starts.push_back(i);
        if (u[i] == QLatin1Char('\r') && i + 1 < n && u[i + 1] == QLatin1Char('\n')) {
            out.keys.push_back(kLineBreak);
            i += 2;
        } else if (u[i].isHighSurrogate() && i + 1 < n && u[i + 1].isLowSurrogate()) {
            out.keys.push_back(QChar::surrogateToUcs4(u[i], u[i + 1]));
            i += 2;
        } else {
            // A lone surrogate stands for itself.
            out.keys.push_back(u[i].unicode());
            ++i;
        }
    }
    out.starts.push_back(n);
    return out;
}

// Myers' comparison in linear space: the middle of the shortest edit found
// from both ends, then each half on its own. Changes are found in atom
// indexes, in order.
class Comparison
{
public:
    Comparison(const Atoms &a, const Atoms &b, qint64 work) : m_a(a.keys), m_b(b.keys), m_work(work) {}

    void run(int a0, int a1, int b0, int b1)
    {
        // The same start and end take no search.
        while (a0 < a1 && b0 < b1 && m_a[size_t(a0)] == m_b[size_t(b0)]) {
            ++a0;
            ++b0;
        }
        while (a0 < a1 && b0 < b1 && m_a[size_t(a1 - 1)] == m_b[size_t(b1 - 1)]) {
            --a1;
            --b1;
        }
        if (a0 == a1 && b0 == b1)
            return;
        if (a0 == a1 || b0 == b1) {
            changed(a0, a1, b0, b1);
            return;
        }
        int x = 0, y = 0;
        if (!split(a0, a1, b0, b1, &x, &y) || (x == a0 && y == b0) || (x == a1 && y == b1)) {
            // Past the bound, or no way through: the stretch changed whole.
            if (m_work <= 0)
                m_exact = false;
            changed(a0, a1, b0, b1);
            return;
        }
        run(a0, x, b0, y);
        run(x, a1, y, b1);
    }

    // Changed stretches in atom indexes, as (a0, a1, b0, b1), joined where
    // they touch.
    std::vector<std::array<int, 4>> changes;
    bool exact() const { return m_exact; }

private:
    void changed(int a0, int a1, int b0, int b1)
    {
        if (!changes.empty() && changes.back()[1] == a0 && changes.back()[3] == b0) {
            changes.back()[1] = a1;
            changes.back()[3] = b1;
        } else {
            changes.push_back({a0, a1, b0, b1});
        }
    }

    // A point on a shortest way through the stretch, found where the search
    // from its start meets the search from its end.
    bool split(int a0, int a1, int b0, int b1, int *sx, int *sy)
    {
        const int n = a1 - a0, m = b1 - b0;
        const int maxD = (n + m + 1) / 2;
        const int offset = maxD;
        const int length = 2 * maxD + 2;
        std::vector<int> forward(size_t(length), -1), backward(size_t(length), -1);
        forward[size_t(offset + 1)] = 0;
        backward[size_t(offset + 1)] = 0;
        const int delta = n - m;
        // With an odd difference the searches meet on a forward step.
        const bool front = (delta & 1) != 0;
        int k1start = 0, k1end = 0, k2start = 0, k2end = 0;
        const quint32 *a = m_a.data() + a0;
        const quint32 *b = m_b.data() + b0;
        for (int d = 0; d < maxD; ++d) {
            if (m_work <= 0)
                return false;
            for (int k1 = -d + k1start; k1 <= d - k1end; k1 += 2) {
                const int i1 = offset + k1;
                int x1 = (k1 == -d || (k1 != d && forward[size_t(i1 - 1)] < forward[size_t(i1 + 1)]))
                             ? forward[size_t(i1 + 1)]
                             : forward[size_t(i1 - 1)] + 1;
                int y1 = x1 - k1;
                const int from = x1;
                while (x1 < n && y1 < m && a[x1] == b[y1]) {
                    ++x1;
                    ++y1;
                }
                m_work -= x1 - from + 1; // the step and its snake
                forward[size_t(i1)] = x1;
                if (x1 > n) {
                    k1end += 2; // off the right edge
                } else if (y1 > m) {
                    k1start += 2; // off the bottom edge
                } else if (front) {
                    const int i2 = offset + delta - k1;
                    if (i2 >= 0 && i2 < length && backward[size_t(i2)] != -1 && x1 >= n - backward[size_t(i2)]) {
                        *sx = a0 + x1;
                        *sy = b0 + y1;
                        return true;
                    }
                }
            }
            for (int k2 = -d + k2start; k2 <= d - k2end; k2 += 2) {
                const int i2 = offset + k2;
                int x2 = (k2 == -d || (k2 != d && backward[size_t(i2 - 1)] < backward[size_t(i2 + 1)]))
                             ? backward[size_t(i2 + 1)]
                             : backward[size_t(i2 - 1)] + 1;
                int y2 = x2 - k2;
                const int from = x2;
                while (x2 < n && y2 < m && a[n - x2 - 1] == b[m - y2 - 1]) {
                    ++x2;
                    ++y2;
                }
                m_work -= x2 - from + 1;
                backward[size_t(i2)] = x2;
                if (x2 > n) {
                    k2end += 2;
                } else if (y2 > m) {
                    k2start += 2;
                } else if (!front) {
                    const int i1 = offset + delta - k2;
                    if (i1 >= 0 && i1 < length && forward[size_t(i1)] != -1) {
                        const int x1 = forward[size_t(i1)];
                        const int y1 = offset + x1 - i1;
                        if (x1 >= n - x2) {
                            *sx = a0 + x1;
                            *sy = b0 + y1;
                            return true;
                        }
                    }
                }
            }
        }
        return false;
    }

    const std::vector<quint32> &m_a;
    const std::vector<quint32> &m_b;
    qint64 m_work;
    bool m_exact = true;
};

// The start of the character that holds code unit at, or at itself when a
// character starts there.
int characterStart(const QString &text, int at)
{
    if (at <= 0 || at >= text.size())
        return std::clamp(at, 0, int(text.size()));
    const QChar before = text.at(at - 1), here = text.at(at);
    const bool inPair = before.isHighSurrogate() && here.isLowSurrogate();
    const bool inBreak = before == QLatin1Char('\r') && here == QLatin1Char('\n');
    return inPair || inBreak ? at - 1 : at;
}

// The end of the character that holds code unit at - 1.
int characterEnd(const QString &text, int at)
{
    const int start = characterStart(text, at);
    return start == at ? at : at + 1;
}

} // namespace

int Diff::deleted() const
{
    int n = 0;
    for (const Change &c : changes)
        n += c.oldLength;
    return n;
}

int Diff::inserted() const
{
    int n = 0;
    for (const Change &c : changes)
        n += c.newLength;
    return n;
}

Diff compare(const QString &older, const QString &newer, qint64 work)
{
    Diff out;
    if (older == newer)
        return out;
    const Atoms a = atomsOf(older), b = atomsOf(newer);
    Comparison comparison(a, b, work);
    comparison.run(0, a.size(), 0, b.size());
    out.exact = comparison.exact();
    out.changes.reserve(int(comparison.changes.size()));
    for (const auto &c : comparison.changes) {
        const int oldPos = a.starts[size_t(c[0])], newPos = b.starts[size_t(c[2])];
        out.changes.append({oldPos, a.starts[size_t(c[1])] - oldPos, newPos, b.starts[size_t(c[3])] - newPos});
    }
    return out;
}

QVector<Shown> stretchesToShow(const QString &older, const QString &newer, const Diff &diff, int context)
{
    QVector<Shown> out;
    for (const Change &c : diff.changes) {
        // The same text before the change has the same length in both.
        const int before = std::min({context, c.oldPos, c.newPos});
        const int oldEnd = c.oldPos + c.oldLength, newEnd = c.newPos + c.newLength;
        const int after = std::min({context, int(older.size()) - oldEnd, int(newer.size()) - newEnd});
        Shown s{characterStart(older, c.oldPos - before), characterEnd(older, oldEnd + after),
                characterStart(newer, c.newPos - before), characterEnd(newer, newEnd + after)};
        if (!out.isEmpty() && s.oldFrom <= out.last().oldTo) {
            out.last().oldTo = s.oldTo;
            out.last().newTo = s.newTo;
        } else {
            out.append(s);
        }
    }
    return out;
}

} // namespace textdiff
