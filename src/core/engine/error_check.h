#pragma once

#include <string>

class CApplicationCore;

// Decides whether the last system error of a failed scan step may be ignored: the
// not-found family (and, when either path is a network path, the unreachable family),
// or every error with the start-up option fx. Any other error is reported once as an
// unexpected error and the result is false; the caller then ends its step. The last
// error is unchanged afterwards.
bool CheckUnexpectedError(CApplicationCore& core, const std::string& source = {},
                          const std::string& destination = {});

// The classification alone, without fx and without a report.
bool IsExpectedError(int error, bool networkPath);
