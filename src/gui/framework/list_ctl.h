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
    // Cells as the bytes they were given where their text lost some (empty: the text holds
    // them all). A path that is not valid UTF-8 shows with replacement characters but must
    // still name its file when an action follows the row.
    std::vector<std::string> bytes;
};

// The rows of a list. Rows are added and trimmed without telling the views; Publish tells
// them in one removal at the top and one insertion at the end what changed since the last
// time, so a view lays its rows out once per burst of rows rather than once per row. The
// views see the published rows; the list's own code sees all rows.
class CwListModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetColumns(const QStringList& headers);
    void SetIcons(std::vector<QIcon> icons);

    void AppendRow(CwListRow row);
    void RemoveFirstRow();
    // Publishes first, then removes the row from the views as well.
    void RemoveRow(int row);
    void Clear();
    void Publish();
    bool HasUnpublished() const;

    int Count() const { return static_cast<int>(m_rows.size()); }
    const CwListRow& Row(int row) const { return m_rows[static_cast<std::size_t>(row)]; }
    QString Cell(int row, int column) const;
    // The row of the list shown at a view's row, or -1 when it has been trimmed since.
    int ListRow(int viewRow) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QStringList m_headers;
    std::vector<QIcon> m_icons;
    std::deque<CwListRow> m_rows;
    // Rows are numbered in the order they were added: the first row held has number
    // m_firstNumber, the views' row 0 has number m_publishedFirst.
    long long m_firstNumber = 0;
    long long m_publishedFirst = 0;
    int m_publishedCount = 0;
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
    void SetupColumns(std::vector<QIcon> icons, const QStringList& headers,
                      const std::vector<int>& defaultWidths);
    // A width of 0 (a column dragged shut) is stored as -1, so it comes back at its
    // default width. Called when the list is destroyed.
    void SaveColumnWidths();

    int RowLimit() const { return m_rowLimit; }
    void SetRowLimit(int limit) { m_rowLimit = limit; }
    int LastRowIndex() const { return m_model.Count() - 1; }
    int RowCount() const { return m_model.Count(); }
    QString CellText(int row, int column) const { return m_model.Cell(row, column); }
    // The cell's original bytes: the kept ones, else its text as UTF-8.
    std::string CellBytes(int row, int column) const;
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
    // Shows now what a burst of rows left pending.
    void Refresh();

private:
    CwListModel m_model;
    std::string m_section = ListKey::kDefaultSection;
    int m_rowLimit = 1000;
    bool m_columnsSetUp = false;
    // Thousands of rows a second are shown a few times a second: laying out, painting and
    // scrolling the list once per added row would cost far more than keeping the rows.
    // The first row of a burst starts the timer; when it runs out the rows are published
    // and the list scrolled once.
    QTimer m_refreshTimer;
    bool m_scrollPending = false;
};
