#include "platform/path_value.h"

#include "platform/expand_path.h"

void CPathValue::Assign(std::string rawText)
{
    raw = std::move(rawText);
    expanded = ExpandPath(raw);
}
