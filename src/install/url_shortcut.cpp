#include "install/url_shortcut.h"

#include <windows.h>
#include <shlobj.h>  // before intshcut.h, which needs the COM declarations
#include <intshcut.h>
#include <wrl/client.h>

#include "base/service_config.h"

using Microsoft::WRL::ComPtr;

std::wstring RomSiteShortcutUrl() { return zemora::RomSiteBase() + L"/?ref=desktop"; }

int CreateUrlShortcut(const std::wstring& shortcutPath, const std::wstring& iconPath) {
  ComPtr<IUniformResourceLocatorW> locator;
  if (FAILED(CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IUniformResourceLocatorW,
                              reinterpret_cast<void**>(locator.GetAddressOf())))) {
    return 0;
  }
  // Some shells' shortcut object has no link interface; the shortcut then
  // shows the browser's icon.
  ComPtr<IShellLinkW> link;
  if (SUCCEEDED(locator.As(&link))) {
    link->SetIconLocation(iconPath.c_str(), 0);
    link.Reset();
  }
  const std::wstring url = RomSiteShortcutUrl();
  if (FAILED(locator->SetURL(url.c_str(), 0))) return 0;
  ComPtr<IPersistFile> file;
  if (FAILED(locator.As(&file))) return 0;
  file->Save(shortcutPath.c_str(), TRUE);
  return 1;
}
