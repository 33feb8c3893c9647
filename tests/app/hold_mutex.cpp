// Holds the updater's single-instance mutex until the file named by its first
// argument exists (or 60 s pass), after creating the file named by its second.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  HANDLE mutex = CreateMutexW(nullptr, TRUE, L"{DE60A78E-447C-49ff-BC6D-B07158794644}");
  if (!mutex) return 3;
  HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  for (int i = 0; i < 6000 && GetFileAttributesW(argv[1]) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(10);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  return 0;
}
