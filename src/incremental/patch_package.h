// One incremental package: the container file, where it is unpacked, where the
// application lives, and the manifest it carries.
//
// Container (little-endian): "zzd." | u16 count (>= 2) | u32 L1 | u32 CRC-32 |
// L1 bytes of 7z (the manifest) | u32 L2 | u32 CRC-32 | L2 bytes of 7z (the
// payload). Further sub-packages are ignored.
#pragma once

#include <cstdint>
#include <string>

#include "base/handles.h"
#include "incremental/manifest.h"

struct PatchPackage {
  PatchPackage(std::wstring packagePath, std::wstring workFolder, std::wstring installFolder);

  std::wstring packagePath;
  std::wstring workFolder;     // ends with a backslash when not empty
  std::wstring installFolder;  // ends with a backslash when not empty
  SetupManifest manifest;
  // Open from the load until the install ends.
  zemora::UniqueFile file;
};

// Validates the container, empties the work folder, unpacks both sub-packages
// into it and reads the manifest. False (logged) on any failure.
bool LoadPatchPackage(PatchPackage& package);

// Unpacks a 7z archive held in memory into `folder`.
bool ExtractFromMemory(const uint8_t* data, uint32_t size, const std::wstring& folder);
