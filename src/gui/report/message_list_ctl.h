#pragma once

// One of the two lists of the main view: a row per message with the kind's icon and
// time and date, the message, source, destination and additional information.

#include <optional>
#include <string>

#include "framework/list_ctl.h"

// The four texts of a row that the file property dialog opens with, and the two paths as
// the bytes they were reported with.
struct CRowProperties
{
    QString source;
    QString destination;
    QString info;
    QString message;
    std::string sourceBytes;
    std::string destinationBytes;
};

class CMessageListCtl final : public CwListCtl
{
    Q_OBJECT
public:
    explicit CMessageListCtl(QWidget* parent = nullptr);

    static constexpr int kColumns = 5;
    std::vector<int> DefaultWidths() const;

    // The fixed columns; widths from the list's section.
    void InitColumns();

    // Without time or date the current one is taken. Empty texts leave their cells empty.
    bool AddRow(int kind, const std::string& message, const std::string& source = {},
                const std::string& destination = {}, const std::string& info = {},
                const std::optional<std::string>& time = std::nullopt,
                const std::optional<std::string>& date = std::nullopt);

    void SetAutoScroll(bool on) { m_autoScroll = on; }
    bool AutoScroll() const { return m_autoScroll; }

    // Opens the property dialog of a row; -1 is the selected row. Nothing without a row.
    void ShowProperties(int row);

signals:
    // Whoever hosts the list shows the row's property dialog.
    void PropertiesRequested(const CRowProperties& properties);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool m_autoScroll = true;
};

Q_DECLARE_METATYPE(CRowProperties)
