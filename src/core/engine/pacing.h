#pragma once

class CApplicationCore;

// One pacing step of long work: lets the front end handle its events BakWait² + 1 times
// (1, 2, 5 or 10 for BakWait 0 to 3), sleeping 1 ms before every pump after the second.
// When the front end is quitting, the running pass is asked to abort (the abort flag is
// set) instead of ending the program from inside the engine: the pass stops at its next
// file or folder, and copies are atomic, so nothing is left half written. Returns false
// in that case.
bool PaceStep(CApplicationCore& core);

// Shift, Ctrl and Alt all held: the engine treats the current action as a test.
bool AbortKeysHeld(const CApplicationCore& core);
