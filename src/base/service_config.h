// Where the services live: compiled-in defaults that environment variables
// override (for tests, the demo and staging).
#pragma once

#include <string>

namespace zemora {

// Scheme, host and optional port, without a trailing slash.
std::wstring UpdateServiceBase();  // ZEMORA_UPDATE_SERVICE
std::wstring StatServiceBase();    // ZEMORA_STAT_SERVICE
std::wstring RomSiteBase();        // ZEMORA_ROM_SITE

}  // namespace zemora
