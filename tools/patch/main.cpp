// patch.exe: rebuilds a file from its old version and a binary patch.
//   patch.exe -apply OLD PATCH NEW
// Exit code 0 only when NEW is complete; 1 on failure (no NEW is written);
// 2 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <string>

#include "apply_patch.h"

namespace {

void PrintUsage() {
  fwprintf(stderr,
           L"usage: patch.exe -apply OLD PATCH NEW\n"
           L"  Rebuilds NEW from OLD and PATCH, a Zstandard frame made with OLD as the\n"
           L"  reference prefix (zstd --patch-from=OLD NEW -o PATCH).\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 5 || std::wstring(argv[1]) != L"-apply") {
    PrintUsage();
    return 2;
  }
  std::wstring error;
  if (!ApplyPatch(argv[2], argv[3], argv[4], error)) {
    fwprintf(stderr, L"patch.exe: %ls\n", error.c_str());
    return 1;
  }
  return 0;
}
