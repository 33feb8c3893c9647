#include "shared/global_api.h"

// Transport not yet part of this build: every request fails.
int ZemoraHttpUtils::Get(const std::wstring&, std::string& body, int* status, std::string*, int,
                         const void*) {
  body.clear();
  if (status) *status = 0;
  return -1;
}
