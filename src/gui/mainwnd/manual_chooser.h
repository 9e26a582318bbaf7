#pragma once

// A plain chooser of the file settings a manual run covers (back up now, delete
// generation files, show the backup state), with the run's options. It marks the chosen
// settings as requested when the user confirms.

#include <QDialog>

#include "engine/backup_engine.h"
#include "settings/settings_model.h"

class QCheckBox;
class QListWidget;
class QSpinBox;

namespace ManualChooserId {
inline constexpr int kList = 1001;
inline constexpr int kCompare = 1002;
inline constexpr int kTest = 1003;
inline constexpr int kGenerations = 1004;
} // namespace ManualChooserId

class CManualChooser final : public QDialog
{
    Q_OBJECT
public:
    CManualChooser(CSettingsModel& model, int mode, QWidget* parent = nullptr);

    // Shows the dialog; true (choices filled, settings marked) on OK with a choice.
    bool Run(CManualChoices& choices);

private:
    CSettingsModel& m_model;
    int m_mode;
    QListWidget* m_list = nullptr;
    QCheckBox* m_compare = nullptr;
    QCheckBox* m_test = nullptr;
    QSpinBox* m_generations = nullptr;
};
