#include "config/pickers.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "platform/path.h"

namespace {

BrowseHook& Hook()
{
    static BrowseHook hook;
    return hook;
}

std::optional<std::string> RunChooser(const CBrowseRequest& request, QWidget* owner)
{
    if (Hook())
        return Hook()(request);
    QFileDialog dialog(owner);
    ConfigureBrowseDialog(dialog, request.prompt, request.initialFolder, request.flags);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QFile::encodeName(QDir::cleanPath(dialog.selectedFiles().constFirst())).toStdString();
}

} // namespace

void SetBrowseHook(BrowseHook hook)
{
    Hook() = std::move(hook);
}

void ConfigureBrowseDialog(QFileDialog& dialog, const std::string& prompt, const std::string& initialFolder,
                           unsigned flags)
{
    dialog.setWindowTitle(QString::fromStdString(prompt));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const bool files = (flags & BrowseFlag::kIncludeFiles) != 0;
    dialog.setFileMode(files ? QFileDialog::ExistingFile : QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, !files);
    if (initialFolder.empty())
        return;
    const QFileInfo start(QFile::decodeName(QByteArray::fromStdString(initialFolder)));
    if (start.isDir()) {
        dialog.setDirectory(start.absoluteFilePath());
    } else if (start.exists()) {
        dialog.setDirectory(start.absolutePath());
        dialog.selectFile(start.fileName());
    }
}

bool BrowseForFolder(std::string& result, const std::string& prompt, QWidget* owner,
                     const std::string& initialFolder, unsigned flags)
{
    const std::optional<std::string> chosen = RunChooser({prompt, initialFolder, flags}, owner);
    if (!chosen)
        return false;
    result = *chosen;
    return true;
}

bool PickFolder(std::string& result, const std::string& prompt, QWidget* owner, const std::string& initial)
{
    return BrowseForFolder(result, prompt, owner, initial, BrowseFlag::kFolders);
}

bool PickFile(std::string& result, const std::string& prompt, QWidget* owner, const std::string& initial)
{
    return BrowseForFolder(result, prompt, owner, initial, BrowseFlag::kFolders | BrowseFlag::kIncludeFiles);
}

bool PickFileName(std::string& result, const std::string& prompt, QWidget* owner, const std::string& initial)
{
    std::string path;
    if (!PickFile(path, prompt, owner, initial))
        return false;
    result = FileNameOf(path);
    return true;
}

bool PickFolderName(std::string& result, const std::string& prompt, QWidget* owner,
                    const std::string& initial)
{
    std::string path;
    if (!PickFolder(path, prompt, owner, initial))
        return false;
    // A path without any separator names no folder at all.
    if (path.find('/') == std::string::npos) {
        result.clear();
        return false;
    }
    result = FileNameOf(path);
    return true;
}
