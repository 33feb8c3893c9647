// Times ApplyAllFileOps on a prepared tree.
//   apply_file_ops.exe OPS_FILE PATCH_TOOL BASE STAGING SOURCE WORKERS
// OPS_FILE holds one operation a line: type<TAB>path<TAB>oldPath<TAB>newChecksum
// (type 1 update, 2 new, 3 delete, 5 move). WORKERS is the number of extra
// workers, or "auto" for what SuitableWorkerCount measures (its 2 s sample is
// taken before the clock starts). Prints "workers=N seconds=S ok=0|1".
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "incremental/file_ops.h"
#include "incremental/worker_count.h"

namespace {

bool ReadOps(const std::wstring& path, std::vector<FileOp>& ops) {
  std::ifstream in(zemora::WideToThreadAnsi(path));
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> fields;
    std::stringstream parts(line);
    std::string field;
    while (std::getline(parts, field, '\t')) fields.push_back(field);
    fields.resize(4);
    FileOp op;
    op.type = static_cast<FileOpType>(std::stoi(fields[0]));
    op.path = zemora::Utf8ToWide(fields[1]);
    op.oldPath = zemora::Utf8ToWide(fields[2]);
    op.newChecksum = zemora::Utf8ToWide(fields[3]);
    ops.push_back(op);
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 7) {
    fwprintf(stderr, L"usage: apply_file_ops.exe OPS_FILE PATCH_TOOL BASE STAGING SOURCE WORKERS\n");
    return 2;
  }
  std::vector<FileOp> ops;
  if (!ReadOps(argv[1], ops)) {
    fwprintf(stderr, L"cannot read %ls\n", argv[1]);
    return 2;
  }
  int workers = std::wstring(argv[6]) == L"auto" ? SuitableWorkerCount() : _wtoi(argv[6]);
  volatile LONG counter = -1;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  bool ok = ApplyAllFileOps(ops, argv[2], argv[3], argv[4], argv[5], workers, counter);
  QueryPerformanceCounter(&end);
  double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
  printf("workers=%d seconds=%.3f ok=%d\n", workers, seconds, ok ? 1 : 0);
  return ok ? 0 : 1;
}
