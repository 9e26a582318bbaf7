#pragma once

// The compare window used when no graphical diff tool is installed: two text files side
// by side or as one list of removed and added lines, with the changed lines marked; for
// binary files the first offset at which they differ and both sizes. Very large files
// are not diffed line by line: the window names the first difference instead, so it
// never keeps the program busy.

#include <QAbstractTableModel>
#include <QDialog>
#include <string>
#include <vector>

#include "property/line_diff.h"

class QLabel;
class QRadioButton;
class QTreeView;

// What comparing two files found.
struct CCompareResult
{
    enum Kind
    {
        Text,
        Binary,
        Unreadable,
    };
    Kind kind = Unreadable;
    bool identical = false;
    // Text files: their lines, and the edit script between them (empty when it was not
    // computed because the files differ too much, see firstLeft / firstRight).
    QByteArrayList leftLines;
    QByteArrayList rightLines;
    std::vector<CDiffLine> lines;
    bool tooLarge = false;
    int firstLeft = -1;
    int firstRight = -1;
    // Binary files (and text files too large to read whole): the first differing offset,
    // the sizes.
    unsigned long long offset = 0;
    unsigned long long leftSize = 0;
    unsigned long long rightSize = 0;
    // Unreadable: the file that could not be read and the error suffix.
    std::string unreadable;
    std::string error;
};

namespace CompareLimit {
// Text files up to this size are read whole and diffed.
inline constexpr long long kTextBytes = 16LL * 1024 * 1024;
// The most removed and added lines the diff looks for (its memory grows with the square).
inline constexpr int kEdits = 2000;
} // namespace CompareLimit

CCompareResult CompareFiles(const std::string& left, const std::string& right);

// The rows of the window's list, in one of its two layouts.
class CCompareModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Layout
    {
        SideBySide, // left number, left text, mark, right number, right text
        Unified,    // left number, right number, mark, text
    };
    struct Row
    {
        int left = -1;
        int right = -1;
        char mark = ' '; // ' ' same, '|' changed, '<' left only, '>' right only; '-' / '+' unified
    };

    void SetResult(const CCompareResult* result, Layout layout);
    const std::vector<Row>& Rows() const { return m_rows; }
    Layout CurrentLayout() const { return m_layout; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString LineText(bool leftSide, int line) const;

    const CCompareResult* m_result = nullptr;
    Layout m_layout = SideBySide;
    std::vector<Row> m_rows;
};

namespace CompareId {
inline constexpr int kSummary = 1001;
inline constexpr int kSideBySide = 1002;
inline constexpr int kUnified = 1003;
inline constexpr int kLines = 1004;
} // namespace CompareId

class CCompareWindow final : public QDialog
{
    Q_OBJECT
public:
    CCompareWindow(const std::string& left, const std::string& right, QWidget* parent = nullptr);

    const CCompareResult& Result() const { return m_result; }
    QString Summary() const;
    CCompareModel& Model() { return m_model; }
    void SetLayout(CCompareModel::Layout layout);

private:
    CCompareResult m_result;
    CCompareModel m_model;
    QLabel* m_summary = nullptr;
    QRadioButton* m_sideBySide = nullptr;
    QRadioButton* m_unified = nullptr;
    QTreeView* m_view = nullptr;
};
