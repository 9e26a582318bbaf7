#pragma once

// Questions put to the user during unattended work: they answer themselves with
// MessageBoxAnswer::kTimeout when nobody answers in time.

#include <string>

#include "platform/host_services.h"

class CMessageOutput;

// Asks the question through the prompter with a limit of seconds (−1: dlgTimer, the
// DlgTimer setting); a limit of 0 shows nothing and answers kTimeout at once. With log,
// the question (line breaks as blanks) and its answer word go to the reports as a
// warning, together with the last system error as it was before the question.
// An empty title means the application's name.
int AskUser(CMessageOutput& output, const CHostServices& services, int dlgTimer, const std::string& text,
            const std::string& title, unsigned type, bool log, int seconds = -1);

// "Dialog:" + "Timeout", "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No", or the
// answer code in decimal for any other code.
std::string AnswerWord(int answer);
