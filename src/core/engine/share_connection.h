#pragma once

#include <string>

class CApplicationCore;

// Connects the share of a network path "//server/share/..." by mounting it through the
// desktop's virtual file system (gio), so that the path resolves to the mount. With the
// start-up option pd the user is asked for a user name and password until the mount
// succeeds or the user cancels; otherwise it tries the password given with pw, then no
// credentials, then the current user with an empty password. True when the share is
// mounted (also when it was already). On failure the last system error says why:
// ENOPKG when no mount helper is installed, ECANCELED when the user cancelled,
// ETIMEDOUT when the helper did not finish in time, ENOTCONN when it refused.
bool ConnectNetworkShare(CApplicationCore& core, const std::string& path);
