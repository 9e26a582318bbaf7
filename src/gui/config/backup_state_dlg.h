#pragma once

// The backup state of one file setting in a window beside the main window: every file of
// the source and of the backup with its state, size, type, time and the generation copies
// the backup holds. The list is read in slices from a timer, so the window answers while
// a large tree is read; Refresh reads it anew. Several can be open at once; each deletes
// itself when closed.

#include <QTimer>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "engine/backup_state.h"
#include "framework/modeless_dialog.h"

class CApplication;
class CwListCtl;

namespace Ui {
class BackupStateDlg;
}

class CBackupStateDlg final : public CwModelessDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplateId = 159;
    // Entries looked at per slice of the timer.
    static constexpr std::size_t kDefaultSliceEntries = 200;

    // settingIndex: the file setting shown first (-1: none chosen yet).
    CBackupStateDlg(CApplication& app, int settingIndex);
    ~CBackupStateDlg() override;

    int SettingIndex() const { return m_settingIndex; }
    // Shows another file setting and reads its state.
    void ChooseSetting(int settingIndex);
    // Reads the chosen setting's state anew.
    void Refresh();
    // One slice of the reading; false once it is complete (the timer calls it).
    bool ScanSlice();
    bool IsScanning() const { return m_scan != nullptr; }
    void SetSliceEntries(std::size_t entries) { m_sliceEntries = entries; }

    CwListCtl* List() const;
    QString StatusText() const;
    // The full paths behind a row of the list (empty where there is none).
    const CBackupStateRow& RowData(int row) const { return m_rows[static_cast<std::size_t>(row)]; }

signals:
    // A row was double-clicked: the file's source and backup paths, as bytes.
    void RowActivated(const std::string& sourcePath, const std::string& backupPath);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FillSources();
    void UpdateTitle();
    void SetStatus(const QString& text);
    void AddRow(const CBackupStateRow& row);
    void Finish();

    CApplication& m_app;
    std::unique_ptr<Ui::BackupStateDlg> m_ui;
    int m_settingIndex;
    std::unique_ptr<CBackupStateScan> m_scan;
    std::vector<CBackupStateRow> m_rows;
    std::array<int, 5> m_counts{};
    std::size_t m_sliceEntries = kDefaultSliceEntries;
    QTimer m_sliceTimer;
};
