// Writes its arguments (after the program path) as UTF-8 lines to the file
// named by ZEMORA_ARGV_OUT, as the C runtime split them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int wmain(int argc, wchar_t** argv) {
  const wchar_t* out = _wgetenv(L"ZEMORA_ARGV_OUT");
  if (!out) return 2;
  FILE* file = _wfopen(out, L"wb");
  if (!file) return 3;
  for (int i = 1; i < argc; ++i) {
    char buffer[8192];
    int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, buffer, sizeof buffer, nullptr, nullptr);
    if (n > 0) fwrite(buffer, 1, static_cast<size_t>(n - 1), file);
    fputc('\n', file);
  }
  fclose(file);
  return 0;
}
