// Extracts a 7z archive file into a folder the way the updater does: the file
// is mapped read-only and the extractor reads it from memory. Prints the
// extractor's status and the process's peak working set.
#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "archive/seven_zip_extract.h"
#include "base/handles.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  zemora::UniqueFile file(CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 3;
  DWORD size = GetFileSize(file.get(), nullptr);
  zemora::UniqueHandle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping) return 3;
  zemora::UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
  if (!view.get()) return 3;

  I7zExtract* extractor = Create7zExtractor();
  if (!extractor) return 4;
  HRESULT status = extractor->ExtractToFolder(view.get(), size, argv[2]);
  extractor->Release();

  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  std::printf("status=%ld peak_working_set_mib=%.1f\n", static_cast<long>(status),
              counters.PeakWorkingSetSize / 1048576.0);
  return status == S_OK ? 0 : 1;
}
