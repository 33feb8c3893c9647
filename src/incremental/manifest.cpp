#include "incremental/manifest.h"

#include <tinyxml.h>

#include "base/text.h"
#include "log/log.h"

using zemora::EqualsIgnoreCase;
using zemora::FormatWide;
using zemora::ThreadAnsiToWide;
using zemora::WideToThreadAnsi;

namespace {

const char* const kTodNames[] = {"tod1", "tod2", "tod3", "tod4"};

std::wstring AttributeText(const TiXmlElement* element, const char* name) {
  const char* value = element->Attribute(name);
  return value ? ThreadAnsiToWide(value) : std::wstring();
}

// Reads tod1..tod4 into "a.b.c.d"; on a missing one logs `missingFormat` with
// its name and returns false.
bool ReadVersion(const TiXmlElement* element, const char* missingFormat, std::wstring& version) {
  int parts[4];
  for (int i = 0; i < 4; ++i) {
    parts[i] = 0;  // text that does not start with a number reads as 0
    if (!element->Attribute(kTodNames[i], &parts[i])) {
      Log(Error, missingFormat, kTodNames[i]);
      return false;
    }
  }
  version = FormatWide(L"%d.%d.%d.%d", parts[0], parts[1], parts[2], parts[3]);
  return true;
}

bool ReadReplacePaths(const TiXmlElement* setup, SetupManifest& manifest) {
  const TiXmlElement* replacePath = setup->FirstChildElement("ReplacePath");
  if (!replacePath) return false;
  const TiXmlElement* entry = replacePath->FirstChildElement();
  if (!entry) return false;
  for (; entry; entry = entry->NextSiblingElement()) {
    const char* destination = entry->Attribute("DstPathPre");
    if (!destination) continue;  // names no folder: nothing to map
    std::wstring* target = nullptr;
    if (std::string(destination).find("$INSTDIR") != std::string::npos) {
      target = &manifest.installSourcePrefix;
    } else if (EqualsIgnoreCase(std::string(destination), std::string("$TEMP"))) {
      target = &manifest.tempSourcePrefix;
    } else {
      continue;
    }
    const char* source = entry->Attribute("SrcPathPre");
    if (!source) return false;
    *target = ThreadAnsiToWide(source);
  }
  return true;
}

bool ParseFileOpType(const std::string& word, FileOpType& type) {
  static const struct {
    const char* word;
    FileOpType type;
  } kWords[] = {{"update", FileOpType::Update},
                {"new", FileOpType::New},
                {"delete", FileOpType::Delete},
                {"move", FileOpType::Move}};
  for (const auto& entry : kWords) {
    if (EqualsIgnoreCase(word, std::string(entry.word))) {
      type = entry.type;
      return true;
    }
  }
  return false;
}

bool CheckContained(const std::wstring& path) {
  if (IsContainedRelativePath(path)) return true;
  Log(Error, "path outside its folder in setup.xml: %S", path.c_str());
  return false;
}

bool ReadFileOps(const TiXmlElement* files, std::vector<FileOp>& fileOps) {
  fileOps.clear();
  for (const TiXmlElement* entry = files->FirstChildElement(); entry;
       entry = entry->NextSiblingElement()) {
    const char* typeText = entry->Attribute("type");
    FileOp op;
    if (!typeText || !ParseFileOpType(typeText, op.type)) continue;
    op.path = AttributeText(entry, "path");
    op.oldChecksum = AttributeText(entry, "old_checksum");
    op.newChecksum = AttributeText(entry, "new_checksum");
    op.oldPath = AttributeText(entry, "old_path");
    // Every path is appended to the base, output or payload folder; one that
    // climbs out would read or write outside them.
    if (!CheckContained(op.path)) return false;
    if (!op.oldPath.empty() && !CheckContained(op.oldPath)) return false;
    fileOps.push_back(op);
  }
  return true;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

bool IsContainedRelativePath(const std::wstring& path) {
  if (!path.empty() && IsSeparator(path[0])) return false;
  if (path.find(L':') != std::wstring::npos) return false;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (end > start) {
      // Windows drops trailing dots and blanks, so "..", ". ." and "..." all
      // name a parent or the folder itself.
      bool onlyDots = true;
      for (size_t i = start; i < end; ++i) {
        if (path[i] != L'.' && path[i] != L' ') onlyDots = false;
      }
      if (onlyDots) return false;
    }
    start = end + 1;
  }
  return true;
}

bool ParseSetupManifest(SetupManifest& manifest, const std::wstring& path) {
  TiXmlDocument document;
  if (!document.LoadFile(WideToThreadAnsi(path).c_str(), TIXML_DEFAULT_ENCODING)) {
    Log(Error, "cannot load xml file: %S", path.c_str());
    return false;
  }
  const TiXmlElement* root = document.RootElement();
  if (!root) {
    Log(Error, "no root element found int setup.xml");
    return false;
  }
  const TiXmlElement* setup = root->FirstChildElement("setup");
  if (!setup) {
    Log(Error, "no <setup> element found int setup.xml");
    return false;
  }
  const TiXmlElement* info = setup->FirstChildElement("info");
  if (!info) {
    Log(Error, "no <info> element found int setup.xml");
    return false;
  }
  if (!ReadVersion(info, "attribute %s not found in setup.xml", manifest.version)) return false;
  manifest.channel = AttributeText(info, "channel");

  if (!ReadReplacePaths(setup, manifest)) return false;
  if (!manifest.installSourcePrefix.empty() && !CheckContained(manifest.installSourcePrefix)) {
    return false;
  }

  const TiXmlElement* update = root->FirstChildElement("update");
  if (!update) {
    Log(Error, "no <update> element found int setup.xml");
    return false;
  }
  const TiXmlElement* base = update->FirstChildElement("base");
  if (!base) {
    Log(Error, "no <base> element found int setup.xml");
    return false;
  }
  if (!ReadVersion(base, "attribute %s not found in base element", manifest.baseVersion)) {
    return false;
  }
  const TiXmlElement* files = update->FirstChildElement("files");
  if (!files) {
    Log(Error, "no <files> element found int setup.xml");
    return false;
  }
  return ReadFileOps(files, manifest.fileOps);
}
