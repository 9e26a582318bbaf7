#pragma once

// The compression details of one file setting (mode, archiver log, password, extra
// options) and the archiver programs and common options of all settings. OK writes the
// details of this setting and the common keys at once; the mode goes only into the
// setting's record, for the file configuration to save or discard.
//
// The password field is masked; a check box shows it for as long as the user wants.

#include <functional>
#include <memory>

#include "framework/dialog.h"

class CApplication;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace Ui {
class CompressConfigDlg;
}

class CCompressConfigDlg final : public CwDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplateId = 148;

    // The common option fields can be edited only when Shift was held as the dialog opened.
    CCompressConfigDlg(CApplication& app, int index, QWidget* parent, bool shiftHeld,
                       std::function<void()> help);
    ~CCompressConfigDlg() override;

    // Runs the dialog for file setting index with the Shift key as it is now.
    static int Run(CApplication& app, int index, QWidget* parent, std::function<void()> help);

    void accept() override;

private:

    void OnMode();
    void OnLog();
    void OnPassword();
    void Browse(int editId);

    CApplication& m_app;
    int m_index;
    std::unique_ptr<Ui::CompressConfigDlg> m_ui;
    std::function<void()> m_help;
};
