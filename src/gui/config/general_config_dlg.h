#pragma once

// The general configuration: destination, log, sounds, timings, generation naming,
// recycle-bin substitute, watched applications and the start-up options. Automatic
// processing is held while it is open. Every field is checked before anything is
// written, so an invalid entry leaves the settings file and the model as they were.

#include <functional>
#include <memory>
#include <optional>

#include "config/processing_hold.h"
#include "framework/dialog.h"
#include "settings/settings_model.h"

class CApplication;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace Ui {
class GeneralConfigDlg;
}

class CGeneralConfigDlg final : public CwDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplateId = 130;

    // help runs the manual; applyListFont puts a newly chosen list font on the lists.
    CGeneralConfigDlg(CApplication& app, QWidget* parent, std::function<void()> help,
                      std::function<void(const QFont&)> applyListFont);
    ~CGeneralConfigDlg() override;

    void accept() override;
    void reject() override;
    void done(int result) override;

private:
    void LoadControls();
    // False (message shown, focus on the field) at the first field that does not hold
    // what it must; values is then left partly filled and must not be used.
    bool ReadControls(CGeneralSettings& values, CStartupOptions& options);
    bool ReadInteger(int id, int& value);

    void OnLogFile();
    void OnSound(int checkId, int editId);
    void OnRecycle();
    void OnGenStyle();
    void Browse(int buttonId, int editId, bool file, const char* prompt, bool fromField);
    void OnFont();

    CApplication& m_app;
    std::unique_ptr<Ui::GeneralConfigDlg> m_ui;
    std::function<void()> m_help;
    std::function<void(const QFont&)> m_applyListFont;
    // Present from the dialog's opening until it is done.
    std::optional<CProcessingHold> m_hold;
};
