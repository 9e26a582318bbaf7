#pragma once

// Reporting, sounds and event pumps run between a file action and the check of its
// result: they must leave errno and the file layer's last error as they found them.

#include <cerrno>

#include "platform/last_error.h"

class CErrnoGuard
{
public:
    CErrnoGuard() : m_saved(errno) {}
    ~CErrnoGuard() { errno = m_saved; }
    CErrnoGuard(const CErrnoGuard&) = delete;
    CErrnoGuard& operator=(const CErrnoGuard&) = delete;

private:
    int m_saved;
};

class CErrorStateGuard
{
public:
    CErrorStateGuard() : m_lastError(GetLastSystemError()) {}
    ~CErrorStateGuard() { SetLastSystemError(m_lastError); }
    CErrorStateGuard(const CErrorStateGuard&) = delete;
    CErrorStateGuard& operator=(const CErrorStateGuard&) = delete;

private:
    CErrnoGuard m_errno;
    int m_lastError;
};
