#pragma once

// Starting a program that lives on after the pass: it is not waited for, never becomes
// a zombie of ours, and sits in its own session so that a signal meant for the program
// (Ctrl+C in a console) does not reach it.

#include <string>
#include <vector>

// words[0] is the program path. True when it was started; otherwise false with the
// reason (errno of the failed exec or fork) as the last system error.
bool StartDetachedProgram(const std::vector<std::string>& words);
