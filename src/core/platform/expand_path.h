#pragma once

#include <string>
#include <string_view>

// Replaces every %NAME% by the value of that environment variable, name compared without
// regard to case; an unknown name stays as written. TEMP and TMP, which a Linux session
// rarely sets, fall back to $TMPDIR and then /tmp, so that "%temp%" means the temporary
// folder as it did where these settings come from.
std::string ExpandPath(std::string_view raw);
