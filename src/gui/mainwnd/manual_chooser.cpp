#include "mainwnd/manual_chooser.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>
#include <QVBoxLayout>

#include "engine/backup_processor.h"
#include "framework/control_id.h"
#include "mainwnd/frame_texts.h"
#include "version.h"

CManualChooser::CManualChooser(CSettingsModel& model, int mode, QWidget* parent)
    : QDialog(parent), m_model(model), m_mode(mode)
{
    setWindowTitle(QString::fromUtf8(kApplicationName));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QString::fromUtf8(FrameText::kChooserList), this);
    m_list = new QListWidget(this);
    label->setBuddy(m_list);
    m_list->setAccessibleName(label->text());
    SetControlId(m_list, ManualChooserId::kList);
    // The backup state is shown for one setting at a time.
    m_list->setSelectionMode(mode == ProcessorMode::kBackupState ? QAbstractItemView::SingleSelection
                                                                 : QAbstractItemView::ExtendedSelection);
    for (int index = 0; index < model.Files && index < kMaxFileSettings; ++index) {
        const CFileSetting& setting = model.files[static_cast<std::size_t>(index)];
        auto* item = new QListWidgetItem(QString::fromStdString(setting.No.expanded), m_list);
        item->setData(Qt::UserRole, index);
    }
    layout->addWidget(label);
    layout->addWidget(m_list);

    if (mode == ProcessorMode::kBackup) {
        m_compare = new QCheckBox(QString::fromUtf8(FrameText::kChooserCompare), this);
        m_test = new QCheckBox(QString::fromUtf8(FrameText::kChooserTest), this);
        SetControlId(m_compare, ManualChooserId::kCompare);
        SetControlId(m_test, ManualChooserId::kTest);
        layout->addWidget(m_compare);
        layout->addWidget(m_test);
    } else if (mode == ProcessorMode::kDeleteGenerations) {
        auto* form = new QFormLayout;
        m_generations = new QSpinBox(this);
        m_generations->setRange(0, 999);
        SetControlId(m_generations, ManualChooserId::kGenerations);
        form->addRow(QString::fromUtf8(FrameText::kChooserGenerations), m_generations);
        m_generations->setAccessibleName(QString::fromUtf8(FrameText::kChooserGenerations));
        m_test = new QCheckBox(QString::fromUtf8(FrameText::kChooserTest), this);
        SetControlId(m_test, ManualChooserId::kTest);
        layout->addLayout(form);
        layout->addWidget(m_test);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

bool CManualChooser::Run(CManualChoices& choices)
{
    if (exec() != QDialog::Accepted || m_list->selectedItems().isEmpty())
        return false;
    for (QListWidgetItem* item : m_list->selectedItems())
        m_model.files[static_cast<std::size_t>(item->data(Qt::UserRole).toInt())].changeMark =
            ChangeMark::kRequested;
    choices.contentCompare = m_compare && m_compare->isChecked() ? 1 : 0;
    choices.testMode = m_test && m_test->isChecked() ? 1 : 0;
    choices.generationsToKeep = m_generations ? m_generations->value() : 0;
    return true;
}
