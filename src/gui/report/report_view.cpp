#include "report/report_view.h"

#include <QAction>
#include <QLabel>
#include <QSplitter>
#include <QVBoxLayout>

#include "framework/control_id.h"
#include "report/list_texts.h"
#include "version.h"

namespace {

// The boundary band between the lists; the lists sit 6 pixels in from the view's sides.
constexpr int kBoundaryBand = 10;
constexpr int kSideMargin = 6;
constexpr int kStatusIntervalMs = 100;

QString ActionText(const char* menuText)
{
    // The accelerator hint after the tab is the action's shortcut, not part of its text.
    return QString::fromUtf8(menuText).section(QLatin1Char('\t'), 0, 0);
}

} // namespace

CReportView::CReportView(QWidget* parent) : QWidget(parent), m_sound(kApplicationName)
{
    m_splitter = new QSplitter(Qt::Vertical, this);
    // A rubber band while dragging; the lists are placed when the button is released.
    m_splitter->setOpaqueResize(false);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(kBoundaryBand);
    m_splitter->addWidget(MakePane(m_reportLabel, m_reportList, ListText::kReportLabel, ListId::kReportLabel,
                                   ListId::kReportList, ListText::kReportSection));
    m_splitter->addWidget(MakePane(m_errorLabel, m_errorList, ListText::kErrorLabel, ListId::kErrorLabel,
                                   ListId::kErrorList, ListText::kErrorSection));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kSideMargin, 0, kSideMargin, kSideMargin);
    layout->addWidget(m_splitter);

    m_statusTimer.setSingleShot(true);
    m_statusTimer.setInterval(kStatusIntervalMs);
    connect(&m_statusTimer, &QTimer::timeout, this, [this] { emit StatusTextChanged(m_status); });

    auto* properties = new QAction(ActionText(ListText::kPropertiesCommand), this);
    properties->setData(ListId::kPropertiesCommand);
    properties->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    properties->setShortcutContext(Qt::WindowShortcut);
    connect(properties, &QAction::triggered, this, &CReportView::ShowSelectedProperties);
    addAction(properties);

    auto* clearErrors = new QAction(ActionText(ListText::kClearErrorsCommand), this);
    clearErrors->setData(ListId::kClearErrorsCommand);
    connect(clearErrors, &QAction::triggered, this, &CReportView::ClearErrors);
    addAction(clearErrors);
}

QWidget* CReportView::MakePane(QLabel*& label, CMessageListCtl*& list, const char* caption, int labelId,
                               int listId, const char* section)
{
    auto* pane = new QWidget(this);
    label = new QLabel(QString::fromUtf8(caption), pane);
    list = new CMessageListCtl(pane);
    label->setBuddy(list);
    list->setAccessibleName(label->text().remove(QLatin1Char('&')));
    SetControlId(label, labelId);
    SetControlId(list, listId);
    list->SetSection(section);
    list->InitColumns();
    connect(list, &CMessageListCtl::PropertiesRequested, this, &CReportView::PropertiesRequested);

    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(label);
    layout->addWidget(list);
    return pane;
}

void CReportView::SetRowLimit(int rows)
{
    m_reportList->SetRowLimit(rows);
    m_errorList->SetRowLimit(rows);
}

void CReportView::SetAutoScroll(bool on)
{
    m_reportList->SetAutoScroll(on);
    m_errorList->SetAutoScroll(on);
}

void CReportView::SetListFont(const QFont& font)
{
    for (QWidget* widget : {static_cast<QWidget*>(m_reportLabel), static_cast<QWidget*>(m_errorLabel),
                            static_cast<QWidget*>(m_reportList), static_cast<QWidget*>(m_errorList)})
        widget->setFont(font);
}

void CReportView::LayoutLists(int boundary)
{
    const int total = m_splitter->height() - m_splitter->handleWidth();
    const int top = std::clamp(boundary - m_splitter->y(), 0, std::max(0, total));
    m_splitter->setSizes({top, total - top});
}

int CReportView::Boundary() const
{
    return m_splitter->y() + m_splitter->sizes().value(0);
}

void CReportView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The splitter has its new size only once the layout ran.
    layout()->activate();
    LayoutLists(height() / 2);
}

void CReportView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    layout()->activate();
    LayoutLists(height() / 2);
}

void CReportView::ShowSelectedProperties()
{
    for (CMessageListCtl* list : {m_reportList, m_errorList})
        if (list->hasFocus())
            list->ShowProperties(-1);
}

void CReportView::ClearErrors()
{
    m_errorList->DeleteAllRows();
}

void CReportView::SetStatusText(const std::string& text)
{
    m_status = QString::fromStdString(text);
    if (!m_statusTimer.isActive())
        m_statusTimer.start();
}

void CReportView::AddReportRow(const CMessageRow& row)
{
    m_reportList->AddRow(row.kind, row.message, row.source, row.destination, row.info, row.time, row.date);
}

void CReportView::AddErrorRow(const CMessageRow& row)
{
    m_errorList->AddRow(row.kind, row.message, row.source, row.destination, row.info, row.time, row.date);
}
