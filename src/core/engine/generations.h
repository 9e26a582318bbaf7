#pragma once

// Generation files: older states of a backup file kept beside it (or in the generation
// folder), named with a number (".$1" the most recent) or a date tag after "$".

#include <ctime>
#include <string>
#include <string_view>

class CApplicationCore;
class CBackupProcessor;

// GenStyle: bit 1 selects date tags, bit 0 puts the tag before the extension.
namespace GenStyleBit {
inline constexpr int kDateTag = 2;
inline constexpr int kBeforeExtension = 1;
} // namespace GenStyleBit

// The date tag of YmdFmt 0 to 4 (".$%y%m" … ".$%y%m%d%H%M%S") for a local time. A value
// outside the table takes the default form, year to hour.
std::string GenerationDateTag(int ymdFmt, const std::tm& localTime);

// The name of generation g of path in the given style; date styles ignore g and tag the
// name with localTime. A name without an extension (or a hidden name such as ".profile")
// gets the tag at its end in every style.
std::string MakeGenerationName(std::string_view path, int generation, int genStyle, int ymdFmt,
                               const std::tm& localTime);
// The same with the general settings and the local time of the clock service.
std::string MakeGenerationName(const CApplicationCore& core, std::string_view path, int generation);

// True when the name (the last component of a path) carries a generation tag: its first
// ".$" lies after the start of the name and is followed by a digit.
bool IsGenerationFileName(std::string_view nameOrPath);

// Keeps the previous state of D as a generation (numbered rotation up to the processor's
// generation count, or a dated copy of S), then copies S over D. G is D's place in the
// generation folder, or empty when generations lie beside the backup. True when D was
// updated; false in test mode and with the abort keys held, where nothing changes.
bool UpdateWithGenerations(CBackupProcessor& processor, const std::string& source,
                           const std::string& destination, const std::string& generationPath);

// The same with test mode and the abort keys looked at once by the caller, for the
// whole update, and the generations to keep for this update (a quick save keeps fewer
// than the processor's count).
bool UpdateWithGenerations(CBackupProcessor& processor, const std::string& source,
                           const std::string& destination, const std::string& generationPath, bool dryRun,
                           int generationCount);

// The generation-deletion run for the processor's current destination folder: recycles
// every generation file except the ones numbered 1 to the generations to keep. False
// outside that mode.
bool DeleteGenerationFiles(CBackupProcessor& processor);
