#pragma once

// Finding and splitting the external programs a user names in the settings (archivers,
// the program run after a backup).

#include <string>
#include <string_view>
#include <vector>

// The path to start for a program named in the settings. A name with "/" is used as it
// is (starting it reports what is wrong with it). A bare name is looked up on $PATH and
// then in the program's own folder, so that helpers shipped beside the program (the ZIP
// adapter) are found both in the build tree and when installed. "" when not found.
std::string FindProgram(const std::string& name);

// Splits a command text into arguments with the shell's quoting rules: blanks separate
// words, '…' is literal, "…" is literal except for \" \\ \$ \` , and a backslash outside
// quotes takes the next character as it is. Nothing is expanded. An unterminated quote
// runs to the end of the text.
std::vector<std::string> SplitShellWords(std::string_view text);
