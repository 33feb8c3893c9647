// The manifest of an incremental package, config\setup.xml: the versions, the
// payload folder and the file operations that turn the base into the new
// version.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class FileOpType : int32_t { Update = 1, New = 2, Delete = 3, Move = 5 };

// One file operation; paths are relative to the application folder.
struct FileOp {
  std::wstring path;
  FileOpType type = FileOpType::Update;
  std::wstring oldChecksum;  // MD5 text of the base file (Update)
  std::wstring newChecksum;  // MD5 text of the resulting file (Update)
  std::wstring oldPath;      // the file to start from when it is not `path`
};

struct SetupManifest {
  std::wstring version;      // "%d.%d.%d.%d", the version the package produces
  std::wstring baseVersion;  // the installed version it applies to
  std::wstring tempSourcePrefix;
  std::wstring installSourcePrefix;  // payload folder inside the unpacked package
  std::vector<FileOp> fileOps;       // document order
  std::wstring channel;
};

// Reads the manifest file at `path` into `manifest`. Returns false, after
// logging why, when the manifest is incomplete or names a path that would
// leave the application folders; `manifest` may then hold part of the values.
bool ParseSetupManifest(SetupManifest& manifest, const std::wstring& path);

// True when `path` stays inside whatever folder it is appended to: not
// absolute, no leading separator, no drive or stream colon, no component made
// only of dots and blanks (such as "..").
bool IsContainedRelativePath(const std::wstring& path);
