#pragma once

// The list of file settings: add, delete and reorder them, and edit every field of one
// setting at a time. The dialog edits the settings model in place; OK writes the file
// settings and sets monitoring up anew when what is watched changed, Cancel reads them
// back. Automatic processing is held while it is open.
//
// The fields of the shown setting are checked before anything is stored: an invalid
// field keeps its setting selected, the order unchanged and the file untouched. Every
// action that leaves the shown setting (another selection, up, down, add, details, OK)
// stores the fields first, so nothing typed is thrown away. A value the fields cannot
// show exactly (an interval that is no whole number of minutes, a check value other than
// 0 and 1) is kept as stored unless the user changes its field.

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "config/processing_hold.h"
#include "framework/dialog.h"
#include "settings/settings_model.h"

class CApplication;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace Ui {
class FileConfigDlg;
}

class CFileConfigDlg final : public CwDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplateId = 156;
    // The table's last slot is the exchange area of the original file format.
    static constexpr int kMaxSettings = kMaxFileSettings - 1;

    // runDetails runs the compression details for a file-setting index and answers the
    // dialog's result (tests answer it without a nested dialog); empty runs the compression
    // settings dialog.
    CFileConfigDlg(CApplication& app, QWidget* parent, std::function<void()> help,
                   std::function<int(int index)> runDetails = {});
    ~CFileConfigDlg() override;

    int Selection() const { return m_selection; }
    // Appends a setting for folder from the shown one, as a dropped folder does, after the
    // same question. False when nothing was added.
    bool AddFromFolder(const std::string& folder, const std::string& caption);

    void accept() override;
    void reject() override;
    void done(int result) override;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QListWidget* List() const;
    CSettingsModel& Model();
    CFileSetting& Record(int index);

    void LoadControls(int index);
    // Reads the fields into record; false (message shown, focus on the field, record
    // untouched) at the first invalid one.
    bool ReadControls(CFileSetting& record, bool quiet);
    // value holds the stored value and keeps it when the field is switched off.
    bool ReadInteger(int id, int low, int high, bool ranged, int& value, bool quiet);
    bool StoreControls();
    void Refresh(int index);
    void Append(const std::string& folder);
    bool Changed() const;
    // propose: the user changed the choice, so empty fields get their proposals.
    void ApplyAllRules();

    void OnSelectionChanged(int row);
    void OnCompression(bool propose);
    void OnLargeFile();
    void OnMoveAction(int comboId, int editId, bool propose);
    void OnPeriodic();
    void OnAdd();
    void OnDelete();
    void OnMove(int step);
    void OnDetails();
    void BrowseReplace(int editId, bool file);
    void BrowseAppend(int editId, bool file);
    void OnBrowseSource();
    bool Ask(const std::string& text, const std::string& caption, unsigned type, int wanted);
    void Exchange(int a, int b);
    // After a cancel: the compression details written by the details dialog stay with
    // the setting they were written for, at that setting's place in the file.
    void KeepDetailsWithTheirSettings();

    CApplication& m_app;
    std::unique_ptr<Ui::FileConfigDlg> m_ui;
    std::function<void()> m_help;
    std::function<int(int)> m_runDetails;
    CSettingsModel m_snapshot;
    // The setting as the fields showed it when loaded.
    CFileSetting m_loaded;
    // For each setting in the current order, its index when the dialog opened (-1 added).
    std::vector<int> m_origin;
    int m_selection = 0;
    bool m_detailsWritten = false;
    // Present from the dialog's opening until it is done.
    std::optional<CProcessingHold> m_hold;
};
