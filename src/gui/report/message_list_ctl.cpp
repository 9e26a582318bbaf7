#include "report/message_list_ctl.h"

#include <QDateTime>
#include <QMouseEvent>
#include <algorithm>

#include "report/kind_icons.h"
#include "report/list_texts.h"

namespace {

QString Text(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CMessageListCtl::CMessageListCtl(QWidget* parent) : CwListCtl(parent) {}

std::vector<int> CMessageListCtl::DefaultWidths() const
{
    // The kind icon, the time and the date must fit in the first column in the list's own
    // font; its nominal 100 pixels cut the date off with today's desktop fonts.
    const int iconAndMargins = iconSize().width() > 0 ? iconSize().width() + 16 : 32;
    const int timeAndDate = fontMetrics().horizontalAdvance(QStringLiteral("00:00:00 00/00/00 "));
    return {std::max(100, iconAndMargins + timeAndDate), 300, 150, 150, 500};
}

void CMessageListCtl::InitColumns()
{
    const QStringList headers{
        QString::fromUtf8(ListText::kHeaderKindTimeDate), QString::fromUtf8(ListText::kHeaderMessage),
        QString::fromUtf8(ListText::kHeaderSource), QString::fromUtf8(ListText::kHeaderDestination),
        QString::fromUtf8(ListText::kHeaderInfo)};
    SetupColumns(MessageKindIcons(), headers, DefaultWidths());
}

bool CMessageListCtl::AddRow(int kind, const std::string& message, const std::string& source,
                             const std::string& destination, const std::string& info,
                             const std::optional<std::string>& time, const std::optional<std::string>& date)
{
    QString timeText;
    QString dateText;
    if (!time || !date) {
        const QDateTime now = QDateTime::currentDateTime();
        timeText = time ? Text(*time) : now.toString(QStringLiteral("HH:mm:ss"));
        dateText = date ? Text(*date) : now.toString(QStringLiteral("MM/dd/yy"));
    } else {
        timeText = Text(*time);
        dateText = Text(*date);
    }
    CwListRow row;
    row.icon = kind;
    row.cells = {timeText + QLatin1Char(' ') + dateText, Text(message), Text(source), Text(destination),
                 Text(info)};
    const auto lost = [](const std::string& bytes) { return Text(bytes).toStdString() != bytes; };
    if (lost(source) || lost(destination))
        row.bytes = {{}, {}, source, destination};
    AppendRow(std::move(row), m_autoScroll);
    return true;
}

void CMessageListCtl::ShowProperties(int row)
{
    if (row < 0)
        row = SelectedRow();
    if (row < 0 || row >= RowCount())
        return;
    emit PropertiesRequested({CellText(row, 2), CellText(row, 3), CellText(row, 4), CellText(row, 1),
                              CellBytes(row, 2), CellBytes(row, 3)});
}

void CMessageListCtl::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const int row = RowAtY(event->position().toPoint().y());
        if (row >= 0) {
            ShowProperties(row);
            event->accept();
            return;
        }
    }
    CwListCtl::mouseDoubleClickEvent(event);
}

void CMessageListCtl::mousePressEvent(QMouseEvent* event)
{
    CwListCtl::mousePressEvent(event);
    if (event->button() == Qt::RightButton) {
        const int row = RowAtY(event->position().toPoint().y());
        if (row >= 0)
            ShowProperties(row);
    }
}
