#include "property/compare_window.h"

#include <QBrush>
#include <QButtonGroup>
#include <QColor>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <cerrno>
#include <fstream>
#include <sys/stat.h>

#include "framework/control_id.h"
#include "platform/path.h"
#include "property/property_texts.h"
#include "report/format_text.h"

namespace {

constexpr std::streamsize kChunk = 64 * 1024;

struct CReadFile
{
    std::ifstream stream;
    unsigned long long size = 0;
    int error = 0;
};

bool OpenForReading(const std::string& path, CReadFile& file)
{
    // Only regular files have contents to compare (a folder opens, but reads nothing).
    struct stat status
    {
    };
    errno = 0;
    if (stat(path.c_str(), &status) != 0) {
        file.error = errno != 0 ? errno : ENOENT;
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        file.error = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    errno = 0;
    file.stream.open(path, std::ios::binary | std::ios::ate);
    if (!file.stream) {
        file.error = errno != 0 ? errno : ENOENT;
        return false;
    }
    file.size = static_cast<unsigned long long>(file.stream.tellg());
    file.stream.seekg(0);
    return true;
}

// The first offset at which the two streams differ; the shorter size when one is the
// head of the other; -1 when they are equal.
long long FirstDifferentByte(CReadFile& left, CReadFile& right)
{
    std::vector<char> a(static_cast<std::size_t>(kChunk));
    std::vector<char> b(static_cast<std::size_t>(kChunk));
    unsigned long long offset = 0;
    for (;;) {
        left.stream.read(a.data(), kChunk);
        right.stream.read(b.data(), kChunk);
        const std::streamsize gotA = left.stream.gcount();
        const std::streamsize gotB = right.stream.gcount();
        const std::streamsize common = std::min(gotA, gotB);
        for (std::streamsize i = 0; i < common; ++i)
            if (a[static_cast<std::size_t>(i)] != b[static_cast<std::size_t>(i)])
                return static_cast<long long>(offset + static_cast<unsigned long long>(i));
        offset += static_cast<unsigned long long>(common);
        if (gotA != gotB)
            return static_cast<long long>(offset);
        if (gotA < kChunk)
            return -1;
    }
}

QByteArray ReadAll(CReadFile& file)
{
    QByteArray data(static_cast<qsizetype>(file.size), Qt::Uninitialized);
    file.stream.read(data.data(), static_cast<std::streamsize>(file.size));
    data.truncate(static_cast<qsizetype>(file.stream.gcount()));
    return data;
}

// A file's lines without their line feeds; a final line feed ends the last line rather
// than beginning an empty one.
QByteArrayList SplitLines(const QByteArray& data)
{
    QByteArrayList lines = data.split('\n');
    if (!data.isEmpty() && data.endsWith('\n'))
        lines.removeLast();
    if (data.isEmpty())
        lines.clear();
    return lines;
}

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

CCompareResult CompareFiles(const std::string& left, const std::string& right)
{
    CCompareResult result;
    CReadFile a;
    CReadFile b;
    if (!OpenForReading(left, a) || !OpenForReading(right, b)) {
        result.unreadable = a.error != 0 ? left : right;
        result.error = SystemErrorSuffixOf(a.error != 0 ? a.error : b.error);
        return result;
    }
    result.leftSize = a.size;
    result.rightSize = b.size;
    const auto limit = static_cast<unsigned long long>(CompareLimit::kTextBytes);
    if (a.size <= limit && b.size <= limit) {
        const QByteArray dataA = ReadAll(a);
        const QByteArray dataB = ReadAll(b);
        if (!dataA.contains('\0') && !dataB.contains('\0')) {
            result.kind = CCompareResult::Text;
            result.identical = dataA == dataB;
            result.leftLines = SplitLines(dataA);
            result.rightLines = SplitLines(dataB);
            if (result.identical)
                return result;
            if (auto lines = DiffLines(result.leftLines, result.rightLines, CompareLimit::kEdits)) {
                result.lines = std::move(*lines);
            } else {
                result.tooLarge = true;
                result.firstLeft = result.firstRight =
                    FirstDifferentLine(result.leftLines, result.rightLines);
            }
            return result;
        }
        a.stream.clear();
        b.stream.clear();
        a.stream.seekg(0);
        b.stream.seekg(0);
        result.kind = CCompareResult::Binary;
    } else {
        result.kind = CCompareResult::Binary;
        result.tooLarge = true;
    }
    const long long offset = FirstDifferentByte(a, b);
    result.identical = offset < 0;
    result.offset = offset < 0 ? 0 : static_cast<unsigned long long>(offset);
    return result;
}

void CCompareModel::SetResult(const CCompareResult* result, Layout layout)
{
    beginResetModel();
    m_result = result;
    m_layout = layout;
    m_rows.clear();
    if (result && result->kind == CCompareResult::Text) {
        const std::vector<CDiffLine>& lines = result->lines;
        if (result->identical) {
            for (int i = 0; i < result->leftLines.size(); ++i)
                m_rows.push_back({i, i, ' '});
        }
        // A run of removed and added lines between equal ones is one change: side by side
        // its lines pair up, listed as one its removed lines come before its added ones.
        std::size_t i = 0;
        while (i < lines.size()) {
            if (lines[i].kind == CDiffLine::Same) {
                m_rows.push_back({lines[i].left, lines[i].right, ' '});
                ++i;
                continue;
            }
            std::vector<int> removed;
            std::vector<int> added;
            for (; i < lines.size() && lines[i].kind != CDiffLine::Same; ++i)
                (lines[i].kind == CDiffLine::Removed ? removed : added)
                    .push_back(lines[i].kind == CDiffLine::Removed ? lines[i].left : lines[i].right);
            if (layout == SideBySide) {
                for (std::size_t k = 0; k < std::max(removed.size(), added.size()); ++k) {
                    const int l = k < removed.size() ? removed[k] : -1;
                    const int r = k < added.size() ? added[k] : -1;
                    m_rows.push_back({l, r, l >= 0 && r >= 0 ? '|' : (l >= 0 ? '<' : '>')});
                }
            } else {
                for (int l : removed)
                    m_rows.push_back({l, -1, '-'});
                for (int r : added)
                    m_rows.push_back({-1, r, '+'});
            }
        }
    }
    endResetModel();
}

int CCompareModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CCompareModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : (m_layout == SideBySide ? 5 : 4);
}

QString CCompareModel::LineText(bool leftSide, int line) const
{
    if (!m_result || line < 0)
        return {};
    const QByteArray& bytes = (leftSide ? m_result->leftLines : m_result->rightLines)[line];
    QString text = QString::fromUtf8(bytes.endsWith('\r') ? bytes.chopped(1) : bytes);
    return text.replace(QLatin1Char('\t'), QStringLiteral("    "));
}

QVariant CCompareModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size()))
        return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    auto number = [](int line) { return line < 0 ? QString() : QString::number(line + 1); };
    if (role == Qt::DisplayRole) {
        if (m_layout == SideBySide) {
            switch (column) {
            case 0:
                return number(row.left);
            case 1:
                return LineText(true, row.left);
            case 2:
                return row.mark == ' ' ? QString() : QString(QLatin1Char(row.mark));
            case 3:
                return number(row.right);
            default:
                return LineText(false, row.right);
            }
        }
        switch (column) {
        case 0:
            return number(row.left);
        case 1:
            return number(row.right);
        case 2:
            return QString(QLatin1Char(row.mark));
        default:
            return row.left >= 0 ? LineText(true, row.left) : LineText(false, row.right);
        }
    }
    if (role == Qt::BackgroundRole && row.mark != ' ') {
        // Removed lines red, added ones green, the two sides of a changed line yellow.
        const bool leftCell = m_layout == SideBySide ? column < 2 : row.left >= 0;
        if (m_layout == SideBySide && column == 2)
            return QBrush(QColor(255, 236, 160));
        if (row.mark == '|')
            return QBrush(QColor(255, 236, 160));
        if (m_layout == SideBySide && (leftCell ? row.left < 0 : row.right < 0))
            return QBrush(QColor(232, 232, 232));
        return QBrush(leftCell ? QColor(255, 205, 205) : QColor(205, 245, 205));
    }
    if (role == Qt::TextAlignmentRole
        && (column == 0 || (m_layout == SideBySide ? column == 3 : column == 1)))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant CCompareModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    const QString line = QString::fromUtf8(CompareText::kLineHeader);
    const QString leftName = QString::fromUtf8(CompareText::kLeftHeader);
    const QString rightName = QString::fromUtf8(CompareText::kRightHeader);
    if (m_layout == SideBySide) {
        const QString headers[] = {line, leftName, QString(), line, rightName};
        return section < 5 ? headers[section] : QVariant();
    }
    const QString headers[] = {leftName, rightName, QString(), QString::fromUtf8(CompareText::kTextHeader)};
    return section < 4 ? headers[section] : QVariant();
}

CCompareWindow::CCompareWindow(const std::string& left, const std::string& right, QWidget* parent)
    : QDialog(parent), m_result(CompareFiles(left, right))
{
    setWindowTitle(QString::fromUtf8(CompareText::kTitle) + QStringLiteral(" - ") + Text(FileNameOf(left)));
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);

    auto* paths = new QLabel(QString::fromUtf8(CompareText::kLeftHeader) + QStringLiteral(": ") + Text(left)
                                 + QLatin1Char('\n') + QString::fromUtf8(CompareText::kRightHeader)
                                 + QStringLiteral(": ") + Text(right),
                             this);
    paths->setTextInteractionFlags(Qt::TextSelectableByMouse);
    paths->setTextFormat(Qt::PlainText);
    layout->addWidget(paths);

    m_summary = new QLabel(Summary(), this);
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setWordWrap(true);
    SetControlId(m_summary, CompareId::kSummary);
    layout->addWidget(m_summary);

    auto* modes = new QHBoxLayout;
    m_sideBySide = new QRadioButton(QString::fromUtf8(CompareText::kSideBySide), this);
    m_unified = new QRadioButton(QString::fromUtf8(CompareText::kUnified), this);
    SetControlId(m_sideBySide, CompareId::kSideBySide);
    SetControlId(m_unified, CompareId::kUnified);
    m_sideBySide->setChecked(true);
    modes->addWidget(m_sideBySide);
    modes->addWidget(m_unified);
    modes->addStretch();
    layout->addLayout(modes);

    m_view = new QTreeView(this);
    SetControlId(m_view, CompareId::kLines);
    m_view->setAccessibleName(QString::fromUtf8(CompareText::kTitle));
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_view->setModel(&m_model);
    layout->addWidget(m_view, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    // Only text files that were diffed have lines to show.
    const bool lines = m_result.kind == CCompareResult::Text && !m_result.tooLarge;
    m_view->setVisible(lines);
    m_sideBySide->setVisible(lines);
    m_unified->setVisible(lines);
    connect(m_sideBySide, &QRadioButton::toggled, this,
            [this](bool on) { SetLayout(on ? CCompareModel::SideBySide : CCompareModel::Unified); });
    SetLayout(CCompareModel::SideBySide);
    resize(lines ? QSize(900, 600) : QSize(560, 180));
}

void CCompareWindow::SetLayout(CCompareModel::Layout layout)
{
    m_model.SetResult(&m_result, layout);
    QHeaderView* header = m_view->header();
    header->setStretchLastSection(false);
    const int numberWidth = m_view->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 8;
    const int markWidth = m_view->fontMetrics().horizontalAdvance(QStringLiteral("MM")) + 8;
    if (layout == CCompareModel::SideBySide) {
        for (int column : {0, 3})
            m_view->setColumnWidth(column, numberWidth);
        m_view->setColumnWidth(2, markWidth);
        header->setSectionResizeMode(1, QHeaderView::Stretch);
        header->setSectionResizeMode(4, QHeaderView::Stretch);
    } else {
        for (int column : {0, 1})
            m_view->setColumnWidth(column, numberWidth);
        m_view->setColumnWidth(2, markWidth);
        header->setSectionResizeMode(3, QHeaderView::Stretch);
    }
    if (m_sideBySide->isChecked() != (layout == CCompareModel::SideBySide))
        (layout == CCompareModel::SideBySide ? m_sideBySide : m_unified)->setChecked(true);
}

QString CCompareWindow::Summary() const
{
    const CCompareResult& r = m_result;
    switch (r.kind) {
    case CCompareResult::Unreadable:
        return Text(FormatText(CompareText::kCannotReadFormat, r.unreadable.c_str(), r.error.c_str()));
    case CCompareResult::Binary:
        if (r.identical)
            return Text(FormatText(CompareText::kBinaryIdenticalFormat, r.leftSize, r.rightSize));
        return Text(
            FormatText(r.tooLarge ? CompareText::kLargeFilesFormat : CompareText::kBinaryDifferenceFormat,
                       r.offset, r.offset, r.leftSize, r.rightSize));
    case CCompareResult::Text:
        break;
    }
    if (r.identical)
        return QString::fromUtf8(CompareText::kIdentical);
    if (r.tooLarge)
        return Text(FormatText(CompareText::kTooManyDifferencesFormat, r.firstLeft + 1, r.firstRight + 1));
    int changed = 0;
    int removed = 0;
    int added = 0;
    // Counted as they show side by side: a removed line paired with an added one is a change.
    CCompareModel counter;
    counter.SetResult(&r, CCompareModel::SideBySide);
    for (const CCompareModel::Row& row : counter.Rows()) {
        if (row.mark == '|')
            ++changed;
        else if (row.mark == '<')
            ++removed;
        else if (row.mark == '>')
            ++added;
    }
    return Text(FormatText(CompareText::kTextSummaryFormat, changed, removed, added));
}
