#pragma once

// The folder and file pickers of the configuration dialogs. Every ".." and "選択" button
// goes through BrowseForFolder; the variants cut the chosen path down to what their
// field holds. Tests answer through SetBrowseHook, so no real chooser opens.

#include <functional>
#include <optional>
#include <string>

class QFileDialog;
class QWidget;

namespace BrowseFlag {
// File-system folders only.
inline constexpr unsigned kFolders = 0x0001;
// Files are shown and can be chosen.
inline constexpr unsigned kIncludeFiles = 0x4000;
} // namespace BrowseFlag

struct CBrowseRequest
{
    std::string prompt;
    std::string initialFolder;
    unsigned flags = 0;
};

// True with result set to the chosen path; false (result untouched) when cancelled.
bool BrowseForFolder(std::string& result, const std::string& prompt, QWidget* owner,
                     const std::string& initialFolder, unsigned flags);

bool PickFolder(std::string& result, const std::string& prompt, QWidget* owner, const std::string& initial);
bool PickFile(std::string& result, const std::string& prompt, QWidget* owner, const std::string& initial);
// Name and extension only.
bool PickFileName(std::string& result, const std::string& prompt, QWidget* owner, const std::string& initial);
// The last folder name only; the root gives an empty name and still counts as chosen.
bool PickFolderName(std::string& result, const std::string& prompt, QWidget* owner,
                    const std::string& initial);

// The pickers can always be offered here.
inline bool PickersAvailable()
{
    return true;
}

// Sets up the chooser as BrowseForFolder runs it: the prompt as caption, the initial
// folder when it exists (else the chooser's default place; a file preselects itself in
// its folder), folders only unless files are included.
void ConfigureBrowseDialog(QFileDialog& dialog, const std::string& prompt, const std::string& initialFolder,
                           unsigned flags);

// Replaces the chooser: the hook answers the chosen path, or nothing for cancel. An empty
// hook brings the real chooser back.
using BrowseHook = std::function<std::optional<std::string>(const CBrowseRequest&)>;
void SetBrowseHook(BrowseHook hook);
