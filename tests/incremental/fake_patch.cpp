// Stands in for patch.exe: `fake_patch.exe -apply OLD PATCH NEW`.
// A patch text "exit N" ends with code N and writes nothing; any other patch
// makes NEW = OLD's bytes followed by the patch's bytes. When
// ZEMORA_FAKE_PATCH_LOG names a file, the command line and the start-up
// window request are appended to it, one line each.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool ReadAll(const wchar_t* path, std::string& out) {
  FILE* file = _wfopen(path, L"rb");
  if (!file) return false;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) out.append(buffer, n);
  fclose(file);
  return true;
}

void Record() {
  wchar_t logPath[MAX_PATH];
  if (!GetEnvironmentVariableW(L"ZEMORA_FAKE_PATCH_LOG", logPath, MAX_PATH)) return;
  STARTUPINFOW startup;
  GetStartupInfoW(&startup);
  FILE* log = _wfopen(logPath, L"ab");
  if (!log) return;
  fprintf(log, "%ls\nshow=%d hidden=%d\n", GetCommandLineW(),
          (startup.dwFlags & STARTF_USESHOWWINDOW) ? 1 : 0,
          startup.wShowWindow == SW_HIDE ? 1 : 0);
  fclose(log);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Record();
  if (argc != 5 || std::wstring(argv[1]) != L"-apply") return 90;
  std::string old, patch;
  if (!ReadAll(argv[2], old)) return 91;
  if (!ReadAll(argv[3], patch)) return 92;
  if (patch.compare(0, 5, "exit ") == 0) return atoi(patch.c_str() + 5);
  FILE* out = _wfopen(argv[4], L"wb");
  if (!out) return 93;
  std::string bytes = old + patch;
  fwrite(bytes.data(), 1, bytes.size(), out);
  fclose(out);
  return 0;
}
