#pragma once

// A dialog that comes back where the user left it. The rectangle lives in the section
// "CwDialog<template id>" (or a section the derived class names) and is used only when it
// still fits: inside the desktop, and of the dialog's own size unless the dialog can be
// resized. Otherwise it is forgotten and the dialog opens at its default place.

#include <QDialog>
#include <QRect>
#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace DialogKey {
inline constexpr const char* kSectionFormat = "CwDialog%d";
inline constexpr const char* kWindowRect = "WindowRect";
} // namespace DialogKey

// Answer of DoModal for a dialog that cannot run modally.
inline constexpr int kDialogModalRefused = 3;

class CwDialog : public QDialog
{
    Q_OBJECT
public:
    CwDialog(int templateId, bool remember, QWidget* parent = nullptr, std::string section = {});
    ~CwDialog() override;

    int TemplateId() const { return m_templateId; }
    const std::string& Section() const { return m_section; }
    // The rectangle that will be stored (empty when none is known).
    const QRect& RememberedRect() const { return m_rect; }

    virtual int DoModal() { return exec(); }

protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Runs once, when the dialog is first shown and has its final size.
    virtual void OnInitDialog();

    // The dialog's controls by their control ids.
    QLineEdit* Edit(int id) const;
    QCheckBox* Check(int id) const;
    QComboBox* Combo(int id) const;
    QPushButton* Button(int id) const;

private:
    bool IsResizable() const;
    void TrackGeometry();

    int m_templateId;
    bool m_remember;
    std::string m_section;
    QRect m_rect;
    bool m_initialised = false;
    // Until the event loop turned once after the first show, the window system is still
    // settling the dialog where it opened: that is no move by the user.
    bool m_settled = false;
};
