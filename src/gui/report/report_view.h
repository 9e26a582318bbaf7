#pragma once

// The report list above the error list, with the draggable boundary between them. The
// view is the desktop program's message sink: report rows, error rows, the status text
// (to whatever shows it) and the notification sounds.

#include <QTimer>
#include <QWidget>

#include "platform/host_services.h"
#include "platform/linux/canberra_sound.h"
#include "report/message_list_ctl.h"

class QAction;
class QLabel;
class QSplitter;

class CReportView final : public QWidget, public IMessageSink
{
    Q_OBJECT
public:
    explicit CReportView(QWidget* parent = nullptr);

    CMessageListCtl* ReportList() const { return m_reportList; }
    CMessageListCtl* ErrorList() const { return m_errorList; }
    QSplitter* Splitter() const { return m_splitter; }

    // Both lists, each time monitoring starts.
    void SetRowLimit(int rows);
    void SetAutoScroll(bool on);
    void SetListFont(const QFont& font);
    // The boundary between the lists, in the view's pixels from its top.
    void LayoutLists(int boundary);
    int Boundary() const;

    // The properties of the selected row of the focused list; nothing when neither list
    // has the focus.
    void ShowSelectedProperties();
    void ClearErrors();

    void SetStatusText(const std::string& text) override;
    void AddReportRow(const CMessageRow& row) override;
    void AddErrorRow(const CMessageRow& row) override;
    bool PlaySoundFile(const std::string& path) override { return m_sound.PlayFile(path); }
    void Beep(EBeep beep) override { m_sound.Beep(beep); }

signals:
    void StatusTextChanged(const QString& text);
    void PropertiesRequested(const CRowProperties& properties);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* MakePane(QLabel*& label, CMessageListCtl*& list, const char* caption, int labelId, int listId,
                      const char* section);

    QSplitter* m_splitter = nullptr;
    QLabel* m_reportLabel = nullptr;
    QLabel* m_errorLabel = nullptr;
    CMessageListCtl* m_reportList = nullptr;
    CMessageListCtl* m_errorList = nullptr;
    CCanberraSound m_sound;
    // A pass changes the status text for every file; it is shown ten times a second,
    // which reads the same and does not lay text out thousands of times a second.
    QTimer m_statusTimer;
    QString m_status;
};
