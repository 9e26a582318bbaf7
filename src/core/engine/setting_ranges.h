#pragma once

// The valid range of every numeric setting. The dialogs keep values inside them, but a
// settings file edited by hand (or by another program) can hold anything, and a value
// outside its range would otherwise do nothing, or something unforeseen, without a word.
//
// General ([Setting]):  FileChkInterval 0–86400, BakDelayTime 0–2147483, BakDrvAlertSize
//   0 and up, LogLines 10–9999, LogSize 0 and up, GenStyle 0–3 (else 1), YmdFmt 0–4
//   (else 2), BakWait 0–3, DlgTimer 0–2147483.
// File settings ([Backup]): Files 0–100, Gen 0 and up, Forced 0–4 (else 1, warn),
//   OldDel 0–5 (else 1, warn), NearTimeExc 0–4294967, DoInterval 0–4294920, DlgCopyBig
//   0 and up, CompMode 0–3 (else the setting is not backed up).
// A number outside its range takes the nearest value inside it; a choice from a list takes
// the stated value (never a destructive action); for CompMode nothing can stand in for
// the archiver the user meant.

// The list length the general configuration accepts as well.
inline constexpr int kLogLinesMin = 10;
inline constexpr int kLogLinesMax = 9999;

class CApplicationCore;
struct CFileSetting;

// Reports every value outside its range once, as a warning with the value used instead
// (which the model takes), or as an error when the setting cannot be backed up. File
// settings without a source, and samples, are left alone.
void CheckSettingRanges(CApplicationCore& core);

// A compression mode no archiver answers to: the setting is not backed up.
bool HasUnknownCompressionMode(const CFileSetting& setting);
