#pragma once

// What the property dialog asks of the desktop: starting programs, opening files and
// folders with their default applications, showing a file in the file manager. Tests put
// a recording shell in its place, so that no test ever starts a real program.

#include <string>
#include <vector>

class CDesktopShell
{
public:
    virtual ~CDesktopShell() = default;

    // Starts program detached and without a shell; each argument reaches it as it is.
    // False when it could not be started.
    virtual bool Start(const std::string& program, const std::vector<std::string>& arguments);
    // A file or folder with the desktop's default application for it.
    virtual bool Open(const std::string& path);
    // The file selected in the file manager's window of its folder (when the file manager
    // offers that), else the folder opened.
    virtual bool ShowInFileManager(const std::string& path);
    // The desktop's text editor as program and leading arguments (the file comes last);
    // empty when the desktop names none.
    virtual std::vector<std::string> TextEditor();
    // The path of a program on $PATH, "" when there is none.
    virtual std::string FindProgram(const std::string& name);
};

// The desktop's text editor (the default application of plain text) as a command that
// takes the file as its last argument; empty when the desktop names none.
std::string DesktopTextEditor();
