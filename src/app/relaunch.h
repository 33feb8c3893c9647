// The command line with which the updater starts its new copy.
#pragma once

#include <string>

// "--parent=P --update_info=Update.xml --update_path="PATH\" [--channel=C]".
// The doubled backslash before the closing quote gives PATH back unchanged
// under the C runtime's splitting rules. "lp" is deliberately not passed on.
std::wstring BuildRelaunchParameters(const std::wstring& parent, const std::wstring& updatePath,
                                     bool hasChannel, const std::wstring& channel);
