#pragma once

// The log file: one line of seven TAB-separated fields per shown message, ended by
// CR LF. The file is opened, appended to and closed for every line, so lines written by
// nested reports stay whole and no handle stays open between messages.

#include <cstdint>
#include <string>
#include <string_view>

struct CLogLine
{
    char kindLetter = 'F';
    std::string_view time;
    std::string_view date;
    std::string_view message; // already carries the warning or error prefix
    std::string_view source;
    std::string_view destination;
    std::string_view info;
};

class CLogFile
{
public:
    // What became of a line.
    enum class EWrite
    {
        Lost,      // the file could not be opened or written: the line is dropped silently
        Written,   // appended, the file is within its limit
        OverLimit, // appended, and the file is now larger than the limit: rotate it
    };

    enum class ERotate
    {
        Rotated, // the log now has the ".OLD" name; the next line starts a new file
        Failed,  // the rename failed (error code in *error); the log keeps its name
    };

    // The log letter of a message kind ("F", "W", "E", "i", "j", "k", "T").
    static char KindLetter(int kind);

    // The line as it is written: fields joined by TAB, TAB/CR/LF inside a field written
    // as blanks (so every message stays one line of seven fields), ended by CR LF.
    static std::string FormatLine(const CLogLine& line);

    // Appends the line to path. A new file is readable by the user only. limitKB > 0
    // asks whether the length after the write, in whole units of 1000 bytes, exceeds it.
    // errno is left as the caller had it.
    static EWrite Append(const std::string& path, const CLogLine& line, int limitKB);

    // Replaces path + ".OLD" by the log file (a failure to delete the old one is ignored).
    // errno is left as the caller had it.
    static ERotate Rotate(const std::string& path, int* error = nullptr);

    static std::string OldPath(const std::string& path);
};
