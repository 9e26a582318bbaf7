#pragma once

// A line diff for the compare window: the shortest edit script between two lists of
// lines, compared byte for byte (Myers' algorithm over what is left after the common head and tail). The work
// is bounded: beyond a number of differing lines the script is not computed, and the
// caller shows the first difference instead of keeping the window busy.

#include <QByteArrayList>
#include <optional>
#include <vector>

struct CDiffLine
{
    enum Kind
    {
        Same,
        Removed, // only in the left file
        Added,   // only in the right file
    };
    Kind kind;
    int left;  // line index in the left file, -1 for Added
    int right; // line index in the right file, -1 for Removed
};

// No value when more than maxEdits lines are removed and added together (or the search
// grows too long on the way there).
std::optional<std::vector<CDiffLine>> DiffLines(const QByteArrayList& left, const QByteArrayList& right,
                                                int maxEdits);

// The first line index at which the files differ (the shorter length when one file is the
// head of the other), or -1 when they are equal.
int FirstDifferentLine(const QByteArrayList& left, const QByteArrayList& right);
