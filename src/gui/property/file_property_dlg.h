#pragma once

// The properties of the source file and the backup file behind one row of the lists (or
// of the backup state window), side by side with the row's message: name, type, place,
// size, times and attributes of each, and what can be done with them: open them, show
// their folders, copy the source over the backup, recycle the backup, compare both.

#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

class CApplicationCore;
class CCompareWindow;
class CDesktopShell;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Ui {
class FilePropertyDlg;
}

// What the dialog shows: the row's two files (full paths), its message and its
// additional information.
struct CFileProperties
{
    std::string source;
    std::string destination;
    std::string message;
    std::string info;
};

namespace PropertyId {
inline constexpr int kSourceCopy = 1062;
inline constexpr int kDestinationDelete = 1054;
inline constexpr int kCompare = 1056;
inline constexpr int kMessage = 1079;
inline constexpr int kInfo = 1078;

// The controls of one side.
struct CSideIds
{
    int icon, name, type, location, size, created, modified, accessed;
    int readOnly, hidden, archive, system;
    int editor, association, folder, fileManager;
};
inline constexpr CSideIds kSource{1043, 1036, 1044, 1047, 1037, 1038, 1039, 1040,
                                  1041, 1042, 1045, 1046, 1051, 1049, 1048, 1050};
inline constexpr CSideIds kDestination{1064, 1065, 1067, 1068, 1070, 1071, 1072, 1073,
                                       1074, 1075, 1076, 1077, 1052, 1066, 1069, 1055};
} // namespace PropertyId

class CFilePropertyDlg final : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplateId = 157;

    // The main window's manual copy of one file (it asks and reports).
    using ManualCopy = std::function<void(const std::string& source, const std::string& destination)>;

    CFilePropertyDlg(CApplicationCore& core, CDesktopShell& shell, ManualCopy manualCopy,
                     const CFileProperties& properties, QWidget* parent = nullptr);
    ~CFilePropertyDlg() override;

    const CFileProperties& Properties() const { return m_properties; }
    // Both sides again from the file system.
    void FillSides();
    // The compare window of the last compare, when it is still open.
    CCompareWindow* CompareWindow() const;

    void OnEditor(bool source);
    void OnAssociation(bool source);
    void OnFolder(bool source);
    void OnFileManager(bool source);
    void OnCopy();
    void OnDelete();
    void OnCompare();

private:
    struct CSide;
    void FillSide(CSide& side, const std::string& path);
    void ShowSide(const CSide& side, const PropertyId::CSideIds& ids);
    void CannotOpen();
    QWidget* Control(int id) const;
    QPushButton* Button(int id) const;

    CApplicationCore& m_core;
    CDesktopShell& m_shell;
    ManualCopy m_manualCopy;
    CFileProperties m_properties;
    std::unique_ptr<Ui::FilePropertyDlg> m_ui;
    std::unique_ptr<CSide> m_source;
    std::unique_ptr<CSide> m_destination;
    QPointer<CCompareWindow> m_compareWindow;
};

// Opens the dialog modally for a pair of files.
void ShowFileProperties(CApplicationCore& core, CDesktopShell& shell, CFilePropertyDlg::ManualCopy manualCopy,
                        const CFileProperties& properties, QWidget* parent);
