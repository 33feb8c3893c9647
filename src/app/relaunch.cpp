#include "app/relaunch.h"

#include "base/text.h"

std::wstring BuildRelaunchParameters(const std::wstring& parent, const std::wstring& updatePath,
                                     bool hasChannel, const std::wstring& channel) {
  std::wstring parameters =
      zemora::FormatWide(L"--%s=%s --%s=%s --%s=\"%s\\\"", L"parent", parent.c_str(),
                         L"update_info", L"Update.xml", L"update_path", updatePath.c_str());
  if (hasChannel) parameters += L" --channel=" + channel;
  return parameters;
}
