#include "property/line_diff.h"

#include <QHash>
#include <algorithm>

namespace {

// Long runs of equal lines between many differences (files of repeated lines) make the
// search walk the same lines again for every step; past this many compared lines it gives
// up rather than keep the window busy for seconds.
constexpr long long kWorkLimit = 40'000'000;

} // namespace

int FirstDifferentLine(const QByteArrayList& left, const QByteArrayList& right)
{
    const qsizetype common = std::min(left.size(), right.size());
    for (qsizetype i = 0; i < common; ++i)
        if (left[i] != right[i])
            return static_cast<int>(i);
    return left.size() == right.size() ? -1 : static_cast<int>(common);
}

std::optional<std::vector<CDiffLine>> DiffLines(const QByteArrayList& leftLines,
                                                const QByteArrayList& rightLines, int maxEdits)
{
    // Lines become numbers once, so that the search compares integers.
    QHash<QByteArray, int> ids;
    auto toIds = [&ids](const QByteArrayList& lines) {
        std::vector<int> result;
        result.reserve(static_cast<std::size_t>(lines.size()));
        for (const QByteArray& line : lines) {
            auto found = ids.constFind(line);
            if (found == ids.constEnd())
                found = ids.insert(line, static_cast<int>(ids.size()));
            result.push_back(found.value());
        }
        return result;
    };
    const std::vector<int> left = toIds(leftLines);
    const std::vector<int> right = toIds(rightLines);
    const int n = static_cast<int>(left.size());
    const int m = static_cast<int>(right.size());
    auto l = [&](int i) { return left[static_cast<std::size_t>(i)]; };
    auto r = [&](int i) { return right[static_cast<std::size_t>(i)]; };
    int head = 0;
    while (head < n && head < m && l(head) == r(head))
        ++head;
    int tail = 0;
    while (tail < n - head && tail < m - head && l(n - 1 - tail) == r(m - 1 - tail))
        ++tail;

    // Myers on the middle part a = left[head, n - tail), b = right[head, m - tail). The
    // furthest x of each diagonal k is kept for every d; only the diagonals -d..d exist at
    // step d, so the trace holds O(D^2) numbers, not O(D * (N + M)).
    const int an = n - head - tail;
    const int bn = m - head - tail;
    auto same = [&](int x, int y) { return l(head + x) == r(head + y); };
    std::vector<std::vector<int>> trace;
    int found = -1;
    const int limit = std::min(maxEdits, an + bn);
    std::vector<int> previous;
    long long work = 0;
    for (int d = 0; d <= limit && found < 0; ++d) {
        std::vector<int> v(static_cast<std::size_t>(2 * d + 1));
        auto at = [&](const std::vector<int>& row, int rowD, int k) {
            return row[static_cast<std::size_t>(k + rowD)];
        };
        for (int k = -d; k <= d; k += 2) {
            int x;
            if (d == 0)
                x = 0;
            else if (k == -d || (k != d && at(previous, d - 1, k - 1) < at(previous, d - 1, k + 1)))
                x = at(previous, d - 1, k + 1); // down: a line of b added
            else
                x = at(previous, d - 1, k - 1) + 1; // right: a line of a removed
            int y = x - k;
            while (x < an && y < bn && same(x, y)) {
                ++x;
                ++y;
                ++work;
            }
            if (++work > kWorkLimit)
                return std::nullopt;
            v[static_cast<std::size_t>(k + d)] = x;
            if (x >= an && y >= bn)
                found = d;
        }
        trace.push_back(v);
        previous = std::move(v);
    }
    if (found < 0)
        return std::nullopt;

    // Walk back from the end, collecting the middle part in reverse.
    std::vector<CDiffLine> middle;
    int x = an;
    int y = bn;
    for (int d = found; d > 0; --d) {
        const std::vector<int>& prev = trace[static_cast<std::size_t>(d - 1)];
        auto at = [&](int k) { return prev[static_cast<std::size_t>(k + d - 1)]; };
        const int k = x - y;
        const bool down = k == -d || (k != d && at(k - 1) < at(k + 1));
        const int prevK = down ? k + 1 : k - 1;
        const int prevX = at(prevK);
        const int prevY = prevX - prevK;
        while (x > (down ? prevX : prevX + 1) && y > (down ? prevY + 1 : prevY)) {
            --x;
            --y;
            middle.push_back({CDiffLine::Same, head + x, head + y});
        }
        if (down) {
            --y;
            middle.push_back({CDiffLine::Added, -1, head + y});
        } else {
            --x;
            middle.push_back({CDiffLine::Removed, head + x, -1});
        }
    }
    while (x > 0 && y > 0) {
        --x;
        --y;
        middle.push_back({CDiffLine::Same, head + x, head + y});
    }

    std::vector<CDiffLine> lines;
    lines.reserve(static_cast<std::size_t>(head + tail) + middle.size());
    for (int i = 0; i < head; ++i)
        lines.push_back({CDiffLine::Same, i, i});
    lines.insert(lines.end(), middle.rbegin(), middle.rend());
    for (int i = 0; i < tail; ++i)
        lines.push_back({CDiffLine::Same, n - tail + i, m - tail + i});
    return lines;
}
