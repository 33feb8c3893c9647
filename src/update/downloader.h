// The update run's download agent: asks the update service what to update,
// holds the parsed update info, and fetches and verifies the offered package.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/collaborators.h"
#include "app/run_context.h"
#include "base/handles.h"
#include "shared/global_api.h"
#include "update/update_item.h"

class TiXmlElement;

class CDownloader : public IMsgPumpReciever, public IUpdateCheck {
 public:
  explicit CDownloader(IRunContext& run);
  ~CDownloader() override;
  CDownloader(const CDownloader&) = delete;
  CDownloader& operator=(const CDownloader&) = delete;

  // Obtains the update info (service or Update.xml), parses it and downloads
  // an offered application package. 0, 3 (request failed), 4 (unusable
  // update info) or 6 (download or verification failed).
  int CheckUpdate() override;
  // Fills the update info from `text`. 0 when it has no root element;
  // otherwise 1, or appAvailable where the full part is incomplete.
  int32_t ParseUpdateInfo(const std::string& text);
  // The whole file, or empty when it cannot be opened or read.
  std::string ReadUpdateInfoFile(const std::wstring& path);
  // Writes updateInfoText to `path`; 1 when written whole, else 0.
  int WriteUpdateInfoFile(const std::wstring& path) override;
  // Fetches the chosen package into the work folder's "Update\" folder; 1
  // when a file with the offered MD5 is there (appFile then names it).
  int32_t Download();
  // 1 when every listed installed file has its expected MD5.
  int32_t MatchLocalChecksums();
  // Progress and end of the download under way.
  void OnPumpMessage(const PumpMessage* message) override;
  // The file name part of a package URL: the query cut off, then what
  // follows the last slash.
  static std::wstring GetFileNameFromUrl(const std::wstring& url);

  // IUpdateCheck
  bool EngineAvailable() const override { return engineAvailable != 0; }
  bool AppAvailable() const override { return appAvailable != 0; }
  bool UseFullPackage() const override { return useFullPackage != 0; }
  int32_t VersionCode() const override { return versionCode; }
  std::wstring AppFile() const override { return appFile; }

  std::wstring appFile;
  std::vector<ChecksumEntry> checksums;
  UpdateItem appIncremental;
  UpdateItem appFull;
  int32_t engineAvailable = 0;
  int32_t appAvailable = 0;
  OstrelDownloader downloader;
  zemora::UniqueHandle doneEvent;
  int32_t useFullPackage = 0;
  int32_t versionCode = 0;
  std::string updateInfoText;

 private:
  void ParseIncrement(const TiXmlElement& root);
  int32_t ParseFullPackage(const TiXmlElement& root);
  bool TakeChecksums(const TiXmlElement& checksum);

  IRunContext& run;
};
