// The records of the update info: one package offer and one installed file
// that an incremental package expects.
#pragma once

#include <string>

// One package offer: where to fetch it and the MD5 its file must have.
struct UpdateItem {
  std::wstring url;
  std::wstring md5;  // hexadecimal, compared ignoring letter case
};

// An installed file, relative to the update path, with its expected MD5.
struct ChecksumEntry {
  std::wstring path;
  std::wstring checksum;
};
