#pragma once

// The chooser of the file settings a manual run covers, in three modes: back up now (0),
// delete generation files (1) and show the backup state (2). Automatic processing is held
// while it is open. OK marks the chosen settings as requested, but only once every field
// holds what it must, so a refused entry leaves every mark as it was.

#include <memory>
#include <optional>

#include "config/processing_hold.h"
#include "engine/backup_engine.h"
#include "framework/dialog.h"

class CApplication;
class QListWidget;

namespace Ui {
class FolderBackupDlg;
}

class CFolderBackupDlg final : public CwDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplateId = 158;

    CFolderBackupDlg(CApplication& app, int mode, QWidget* parent = nullptr);
    ~CFolderBackupDlg() override;

    int Mode() const { return m_mode; }
    // The run's options as OK read them.
    const CManualChoices& Choices() const { return m_choices; }

    void accept() override;
    void done(int result) override;

private:
    void FillList();
    void ApplyMode();
    void OnSelectAll();

    CApplication& m_app;
    std::unique_ptr<Ui::FolderBackupDlg> m_ui;
    int m_mode;
    CManualChoices m_choices;
    // The next press of the select-all button selects everything when this is 0.
    int m_selectAll = 1;
    // Present from the dialog's opening until it is done.
    std::optional<CProcessingHold> m_hold;
};
