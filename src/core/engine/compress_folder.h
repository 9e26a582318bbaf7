#pragma once

// The compressed backup: one external archiver updates one archive from a file
// setting's source folder, in place of the file-by-file walk.

#include <string>
#include <vector>

class CBackupProcessor;
struct CFileSetting;
struct CGeneralSettings;

namespace CompressionMode {
inline constexpr int kNone = 0;
inline constexpr int kLha = 1;
inline constexpr int kRar = 2;
inline constexpr int kZip = 3;
} // namespace CompressionMode

// Name of the archiver library's entry: (window, command text, output buffer, its size)
// -> 0 on success.
inline constexpr const char* kLhaEntryName = "Unlha";
using LhaEntry = int (*)(void* window, const char* command, char* output, unsigned long size);
inline constexpr unsigned long kLhaOutputSize = 5000;
// Results of the library call when the library or its entry is missing.
inline constexpr int kLhaLibraryMissing = -1;
inline constexpr int kLhaEntryMissing = -2;

// One archiver run, built from the settings.
struct CArchiverCommand
{
    std::string program; // as the settings name it
    std::string source;  // the source folder, ending with "/"
    std::string archive; // as the settings name it
    std::string reportExtension;
    // The arguments after the program and the whole command as reported, the password
    // replaced by a mask.
    std::string reportedArguments;
    std::string reportedCommand;
    // What the archiver library receives (it never gets a password).
    std::string libraryArguments;
    // What a program archiver receives, one word each, password included; [0] is the
    // program as named. Words are never re-read by a shell, so any byte in a path, a
    // pattern or the password reaches the archiver unchanged.
    std::vector<std::string> words;
    // Where the program archiver's output is appended, or "".
    std::string logFile;
};

// Fills command for mode (1 LHA, 2 RAR, 3 ZIP). False when there is nothing to run (no
// archive named, or an unknown mode).
bool BuildArchiverCommand(const CGeneralSettings& general, const CFileSetting& setting, int mode,
                          CArchiverCommand& command);

// Runs the archiver of mode for file setting settingIndex and reports the outcome.
// 1 when the archiver ran successfully, otherwise 0. In test mode (or with the abort
// keys held) nothing is created or run: the command is reported as a test and 1 is
// returned, as the walk counts the copies it would make. An abort while the archiver
// runs terminates it with everything it started, and the backup counts as failed.
int CompressFolder(CBackupProcessor& processor, int mode, int settingIndex);
