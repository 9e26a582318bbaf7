#pragma once

// Permission checks do not stop root, so a guard against unreadable folders proves
// nothing in a test run as root. Such a test runs itself again as the unprivileged user
// nobody, in a process of its own, and passes only when that run passed.

#include <QByteArray>
#include <QString>

// True when this process runs as root and should hand the current test over.
bool RunsAsRoot();

// Runs the test function (with "function:tag" for one row) of this test program as
// nobody. True when it ran and passed without skipping; output gets what it printed.
bool RunTestAsNobody(const QString& function, QByteArray& output);
