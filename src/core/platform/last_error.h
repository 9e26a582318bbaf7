#pragma once

// The last system error of the file layer, kept apart from errno: errno does not
// survive a log write or an event pump, and a success must be able to say "no error".
// Every file operation sets it (0 when it succeeded); callers clear it before an action
// so that a success never carries the text of an earlier, ignored failure.

inline thread_local int g_lastSystemError = 0;

inline int GetLastSystemError() { return g_lastSystemError; }
inline void SetLastSystemError(int error) { g_lastSystemError = error; }
inline void ClearLastSystemError() { g_lastSystemError = 0; }
