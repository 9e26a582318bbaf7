#pragma once

// Runs a helper program without a shell and waits for it with a time limit, letting the
// caller keep the user interface alive meanwhile.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct CProcessResult
{
    int error = 0;         // errno value when the program could not run or was stopped
    int exitCode = -1;     // when it ended by itself
    std::string errorText; // the first bytes it wrote to its error output
};

// The full path of name found on $PATH, or "" (a name with "/" is taken as it is).
std::string FindProgramOnPath(const std::string& name);

// arguments[0] is the program's path. input is given as its standard input (passwords
// included: it never touches the disk). whileWaiting is called every few milliseconds;
// when it returns false, or the time limit passes, the program is killed (error
// ECANCELED or ETIMEDOUT).
CProcessResult RunProcess(const std::vector<std::string>& arguments, const std::string& input,
                          std::chrono::milliseconds timeLimit,
                          const std::function<bool()>& whileWaiting = {});
