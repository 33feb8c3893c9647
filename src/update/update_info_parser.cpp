// The update info reply: the increment, the discarded flag and the full
// package, read from the XML text into the download agent's fields.
#include <tinyxml.h>

#include <cstdint>
#include <cstring>

#include "app/status_codes.h"
#include "base/text.h"
#include "log/log.h"
#include "update/downloader.h"
#include "update/updater_version.h"
#include "update/xml_nesting.h"

namespace {

// Replies are a few levels deep; far deeper ones are hostile.
const size_t kNestingLimit = 256;

// The element's text when its first child is a text node, else null.
const char* TextOf(const TiXmlElement* element) {
  return element ? element->GetText() : nullptr;
}

bool HasNonEmptyText(const TiXmlElement* element) {
  const char* text = TextOf(element);
  return text && *text;
}

// Read as the C library reads an integer (leading blanks, a sign, digits up
// to the first other character; 0 when no number begins), clamped to 32 bits
// instead of overflowing.
int32_t ReadDecimal(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  const int64_t kBeyond = static_cast<int64_t>(INT32_MAX) + 1;
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > kBeyond) value = kBeyond;
  }
  if (negative) return static_cast<int32_t>(-value);
  return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

bool IsWord(const char* text, const char* word) {
  return text && zemora::EqualsIgnoreCase(std::string(text), std::string(word));
}

}  // namespace

int32_t CDownloader::ParseUpdateInfo(const std::string& text) {
  // TinyXML can step a few bytes past the end of a cut UTF-8 sequence; let
  // it find more terminators there.
  std::string padded = text + std::string(4, '\0');
  TiXmlDocument document;
  const TiXmlElement* root = nullptr;
  if (ElementNestingUpperBound(padded.c_str(), kNestingLimit) > kNestingLimit) {
    Log(Error, "update info nested deeper than %d levels", static_cast<int>(kNestingLimit));
  } else {
    document.Parse(padded.c_str(), nullptr, TIXML_DEFAULT_ENCODING);
    root = document.RootElement();
  }
  if (!root) {
    Log(Error, "no root element found in update info");
    return 0;
  }

  useFullPackage = 1;
  ParseIncrement(*root);
  if (IsWord(TextOf(root->FirstChildElement("discarded")), "true")) {
    run.Notify(status::kDiscarded, 0);
  }
  return ParseFullPackage(*root);
}

void CDownloader::ParseIncrement(const TiXmlElement& root) {
  const TiXmlElement* increment = root.FirstChildElement("increment");
  if (!increment) {
    Log(Error, "no increment element found");
    return;
  }
  const char* name = TextOf(increment->FirstChildElement("version_name"));
  if (name && std::strcmp(name, kUpdaterVersionName) != 0) {
    Log(Error, "version_name under increment not match: %s vs %s", name, kUpdaterVersionName);
    return;
  }
  const char* code = TextOf(increment->FirstChildElement("version_code"));
  if (code) {
    int32_t number = ReadDecimal(code);
    if (!run.UpdateInfoGiven() && number <= kUpdaterVersionCode) {
      Log(Error, "version_code under increment not match: %d <= %d", number, kUpdaterVersionCode);
      return;
    }
    versionCode = number;
  }
  const TiXmlElement* url = increment->FirstChildElement("url");
  if (!HasNonEmptyText(url)) {
    Log(Error, "url element under increment not found or invalid");
    return;
  }
  appIncremental.url = zemora::Utf8ToWide(url->GetText());
  const TiXmlElement* md5 = increment->FirstChildElement("md5");
  if (!HasNonEmptyText(md5)) {
    Log(Error, "md5 element under increment not found or invalid");
    appIncremental.url.clear();
    return;
  }
  appIncremental.md5 = zemora::Utf8ToWide(md5->GetText());
  const TiXmlElement* checksum = increment->FirstChildElement("checksum");
  if (!checksum) {
    Log(Error, "checksum element under increment not found");
    appIncremental = UpdateItem();
    return;
  }
  if (TakeChecksums(*checksum) && !checksums.empty()) {
    appAvailable = 1;
    useFullPackage = 0;
  } else {
    appIncremental = UpdateItem();
  }
}

bool CDownloader::TakeChecksums(const TiXmlElement& checksum) {
  checksums.clear();
  for (const TiXmlElement* file = checksum.FirstChildElement(); file;
       file = file->NextSiblingElement()) {
    const char* path = file->Attribute("path");
    const char* sum = file->Attribute("checksum");
    if (!path || !sum) {
      Log(Error, "path or checksum attribute invalid under checksum node");
      checksums.clear();
      return false;
    }
    checksums.push_back({zemora::Utf8ToWide(path), zemora::Utf8ToWide(sum)});
  }
  return true;
}

int32_t CDownloader::ParseFullPackage(const TiXmlElement& root) {
  const TiXmlElement* updatable = root.FirstChildElement("updatable");
  if (!updatable) {
    Log(Error, "no updatable element found");
    return 1;
  }
  if (IsWord(TextOf(updatable), "false")) {
    Log(Error, "updatable is false");
    return 1;
  }
  const TiXmlElement* url = root.FirstChildElement("url");
  if (!url) {
    Log(Error, "no url element found");
    return appAvailable;
  }
  if (!HasNonEmptyText(url)) {
    Log(Error, "url element is invalid");
    return appAvailable;
  }
  appFull.url = zemora::Utf8ToWide(url->GetText());
  const TiXmlElement* md5 = root.FirstChildElement("md5");
  if (!HasNonEmptyText(md5)) {
    Log(Error, md5 ? "md5 element is invalid" : "no md5 element found");
    appFull.url.clear();
    return appAvailable;
  }
  appFull.md5 = zemora::Utf8ToWide(md5->GetText());
  const char* code = TextOf(root.FirstChildElement("version_code"));
  if (code) {
    int32_t number = ReadDecimal(code);
    if (!run.UpdateInfoGiven() && number <= kUpdaterVersionCode) {
      Log(Error, "update version_code is smaller than current version");
      return 1;
    }
    versionCode = number;
  }
  appAvailable = 1;
  return 1;
}
