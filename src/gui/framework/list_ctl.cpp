#include "framework/list_ctl.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "framework/profile.h"
#include "report/format_text.h"

namespace {

// Ten times a second: new rows appear without a noticeable delay.
constexpr int kRefreshIntervalMs = 100;

// Grid lines between the cells, as the report list has always shown them.
class CGridDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Midlight));
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }
};

} // namespace

void CwListModel::SetColumns(const QStringList& headers)
{
    beginResetModel();
    m_headers = headers;
    m_rows.clear();
    m_firstNumber = m_publishedFirst = 0;
    m_publishedCount = 0;
    endResetModel();
}

void CwListModel::SetIcons(std::vector<QIcon> icons)
{
    m_icons = std::move(icons);
}

void CwListModel::AppendRow(CwListRow row)
{
    m_rows.push_back(std::move(row));
}

void CwListModel::RemoveFirstRow()
{
    if (m_rows.empty())
        return;
    m_rows.pop_front();
    ++m_firstNumber;
}

bool CwListModel::HasUnpublished() const
{
    return m_publishedFirst != m_firstNumber || m_publishedCount != Count();
}

void CwListModel::Publish()
{
    const long long gone = std::min<long long>(m_firstNumber - m_publishedFirst, m_publishedCount);
    if (gone > 0) {
        beginRemoveRows(QModelIndex(), 0, static_cast<int>(gone) - 1);
        m_publishedFirst += gone;
        m_publishedCount -= static_cast<int>(gone);
        endRemoveRows();
    }
    // Rows added and trimmed again in between were never shown.
    m_publishedFirst = m_firstNumber;
    if (Count() > m_publishedCount) {
        beginInsertRows(QModelIndex(), m_publishedCount, Count() - 1);
        m_publishedCount = Count();
        endInsertRows();
    }
}

void CwListModel::RemoveRow(int row)
{
    if (row < 0 || row >= Count())
        return;
    Publish();
    beginRemoveRows(QModelIndex(), row, row);
    if (row == 0) {
        m_rows.pop_front();
        ++m_firstNumber;
        ++m_publishedFirst;
    } else {
        m_rows.erase(m_rows.begin() + row);
    }
    --m_publishedCount;
    endRemoveRows();
}

void CwListModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    m_firstNumber = m_publishedFirst = 0;
    m_publishedCount = 0;
    endResetModel();
}

QString CwListModel::Cell(int row, int column) const
{
    if (row < 0 || row >= Count() || column < 0)
        return {};
    const QStringList& cells = m_rows[static_cast<std::size_t>(row)].cells;
    return column < cells.size() ? cells[column] : QString();
}

int CwListModel::ListRow(int viewRow) const
{
    if (viewRow < 0 || viewRow >= m_publishedCount)
        return -1;
    const long long row = m_publishedFirst + viewRow - m_firstNumber;
    return row >= 0 && row < Count() ? static_cast<int>(row) : -1;
}

int CwListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_publishedCount;
}

int CwListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant CwListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = ListRow(index.row());
    if (row < 0)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
        const QString text = Cell(row, index.column());
        if (role == Qt::ToolTipRole && text.isEmpty())
            return {};
        return text;
    }
    case Qt::DecorationRole:
        if (index.column() == 0) {
            const int icon = m_rows[static_cast<std::size_t>(row)].icon;
            if (icon >= 0 && static_cast<std::size_t>(icon) < m_icons.size())
                return m_icons[static_cast<std::size_t>(icon)];
        }
        return {};
    default:
        return {};
    }
}

QVariant CwListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < m_headers.size())
        return m_headers[section];
    return {};
}

CwListCtl::CwListCtl(QWidget* parent) : QTreeView(parent)
{
    setModel(&m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSortingEnabled(false);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new CGridDelegate(this));
    setMouseTracking(true); // hot-tracked rows
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(0);
    header()->setSectionResizeMode(QHeaderView::Interactive);

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(kRefreshIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CwListCtl::Refresh);
}

CwListCtl::~CwListCtl()
{
    SaveColumnWidths();
}

void CwListCtl::SetupColumns(std::vector<QIcon> icons, const QStringList& headers,
                             const std::vector<int>& defaultWidths)
{
    m_model.SetIcons(std::move(icons));
    m_model.SetColumns(headers);
    for (int column = 0; column < headers.size(); ++column) {
        int width = CwProfile::GetProfileInt(m_section, FormatText(ListKey::kWidthFormat, column), -1);
        if (width < 0)
            width = static_cast<std::size_t>(column) < defaultWidths.size()
                        ? defaultWidths[static_cast<std::size_t>(column)]
                        : header()->defaultSectionSize();
        header()->resizeSection(column, width);
    }
    m_columnsSetUp = true;
}

void CwListCtl::SaveColumnWidths()
{
    if (!m_columnsSetUp)
        return;
    CwProfile::CBatch batch;
    for (int column = 0; column < header()->count(); ++column) {
        int width = header()->sectionSize(column);
        if (width == 0)
            width = -1;
        CwProfile::WriteProfileInt(m_section, FormatText(ListKey::kWidthFormat, column), width);
    }
}

int CwListCtl::SelectedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : m_model.ListRow(rows.first().row());
}

int CwListCtl::RowAtY(int y) const
{
    // Just inside the first column's right edge: the row counts wherever across it the
    // point lies, even right of the last column.
    const int x = std::max(columnViewportPosition(0), columnViewportPosition(0) + columnWidth(0) - 5);
    return m_model.ListRow(indexAt(QPoint(x, y)).row());
}

std::string CwListCtl::CellBytes(int row, int column) const
{
    const std::vector<std::string>& bytes = m_model.Row(row).bytes;
    if (column >= 0 && static_cast<std::size_t>(column) < bytes.size()
        && !bytes[static_cast<std::size_t>(column)].empty())
        return bytes[static_cast<std::size_t>(column)];
    return CellText(row, column).toStdString();
}

void CwListCtl::AppendRow(CwListRow row, bool scrollToNew)
{
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start();
    m_scrollPending = m_scrollPending || scrollToNew;
    m_model.AppendRow(std::move(row));
    if (LastRowIndex() >= m_rowLimit)
        m_model.RemoveFirstRow();
}

void CwListCtl::Refresh()
{
    m_refreshTimer.stop();
    m_model.Publish();
    if (m_scrollPending) {
        m_scrollPending = false;
        scrollToBottom();
    }
}

void CwListCtl::DeleteRow(int row)
{
    m_model.RemoveRow(row);
}

void CwListCtl::DeleteAllRows()
{
    m_model.Clear();
}
