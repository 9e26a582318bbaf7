#pragma once

// The framework's report-style list: rows of text cells with an icon in the first cell,
// a row limit, column widths kept in the list's profile section ("W0", "W1", ...) and
// tooltips that show a cell's full text. The rows live in a model over a double-ended
// queue, so adding a row at the end and dropping the oldest one cost the same with ten
// rows or ten thousand.

#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>
#include <QTimer>
#include <QTreeView>
#include <deque>
#include <string>
#include <vector>

struct CwListRow
{
    int icon = -1;
    QStringList cells;
};

class CwListModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetColumns(const QStringList& headers);
    void SetIcons(std::vector<QIcon> icons);

    void AppendRow(CwListRow row);
    void RemoveRow(int row);
    void Clear();
    const CwListRow& Row(int row) const { return m_rows[static_cast<std::size_t>(row)]; }
    QString Cell(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QStringList m_headers;
    std::vector<QIcon> m_icons;
    std::deque<CwListRow> m_rows;
};

namespace ListKey {
inline constexpr const char* kDefaultSection = "CwListCtl";
inline constexpr const char* kWidthFormat = "W%d";
} // namespace ListKey

class CwListCtl : public QTreeView
{
    Q_OBJECT
public:
    explicit CwListCtl(QWidget* parent = nullptr);
    ~CwListCtl() override;

    void SetSection(std::string section) { m_section = std::move(section); }
    const std::string& Section() const { return m_section; }

    // Clears the list and sets its columns; each width comes from "W<column>" of the
    // section, or from defaultWidths when none is stored (or a negative one is).
    void SetupColumns(std::vector<QIcon> icons, const QStringList& headers, const std::vector<int>& defaultWidths);
    // A width of 0 (a column dragged shut) is stored as -1, so it comes back at its
    // default width. Called when the list is destroyed.
    void SaveColumnWidths();

    int RowLimit() const { return m_rowLimit; }
    void SetRowLimit(int limit) { m_rowLimit = limit; }
    int LastRowIndex() const { return m_model.rowCount() - 1; }
    int RowCount() const { return m_model.rowCount(); }
    QString CellText(int row, int column) const { return m_model.Cell(row, column); }
    int RowIcon(int row) const { return m_model.Row(row).icon; }
    // The selected row, or -1.
    int SelectedRow() const;
    // The row at the height y of the viewport, wherever across the row the point lies.
    int RowAtY(int y) const;

    // Appends a row; once the list holds the row limit or more, the oldest row goes, one
    // per added row (a lowered limit does not shrink a longer list at once).
    void AppendRow(CwListRow row, bool scrollToNew);
    void DeleteRow(int row);
    void DeleteAllRows();

    CwListModel& Model() { return m_model; }

private:
    CwListModel m_model;
    std::string m_section = ListKey::kDefaultSection;
    int m_rowLimit = 1000;
    bool m_columnsSetUp = false;
    // Scrolling lays out every row; many rows a second scroll once per event-loop turn.
    QTimer m_scrollTimer;
};
