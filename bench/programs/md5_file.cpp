// Prints the MD5 of a file as global.dll computes it.
#include <cstdio>

#include "base/text.h"
#include "shared/global_api.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  std::printf("%s\n", zemora::WideToUtf8(CMD5Checksum::GetMD5(argv[1])).c_str());
  return 0;
}
