#pragma once

// Report rows as the decision tests compare them, with paths written as tokens.

#include <QtTest>

#include <string>
#include <vector>

#include "helpers/fake_services.h"
#include "report/message_kinds.h"
#include "report/report_texts.h"

struct CRow
{
    int kind = 0;
    std::string message;
    std::string source;
    std::string destination;
    std::string info;
    bool operator==(const CRow&) const = default;
};

// A row as the report list shows it: warnings and errors carry their prefix.
inline CRow Row(int kind, const std::string& text, const std::string& source = {},
                const std::string& destination = {}, const std::string& info = {})
{
    std::string shown = text;
    if (kind == MessageKind::kError)
        shown = ReportText::kErrorPrefix + text;
    else if (kind == MessageKind::kWarning)
        shown = ReportText::kWarningPrefix + text;
    return CRow{kind, shown, source, destination, info};
}

// The recorded rows, without the details (folders created, generations rotated) and
// the walk's folder notes.
inline std::vector<CRow> DecisionRows(const CRecordingSink& sink, const char* folderNote)
{
    std::vector<CRow> rows;
    for (const CMessageRow& row : sink.reportRows) {
        if (row.kind != MessageKind::kDetail && row.message != folderNote)
            rows.push_back(CRow{row.kind, row.message, row.source, row.destination, row.info});
    }
    return rows;
}

inline void ReplaceAll(std::string& text, const std::string& token, const std::string& value)
{
    for (auto at = text.find(token); at != std::string::npos; at = text.find(token, at + value.size()))
        text.replace(at, token.size(), value);
}

Q_DECLARE_METATYPE(CRow)
Q_DECLARE_METATYPE(std::vector<CRow>)
Q_DECLARE_METATYPE(std::string)

namespace QTest {
template <> inline char* toString(const std::vector<CRow>& rows)
{
    QString text;
    for (const CRow& row : rows)
        text += QString::asprintf("\n    {%d, %s, %s, %s, %s}", row.kind, row.message.c_str(),
                                  row.source.c_str(), row.destination.c_str(), row.info.c_str());
    return qstrdup(text.toUtf8().constData());
}
} // namespace QTest
