// Process entry of Update.exe: a windowless program that lets one updater run
// at a time.
#include <windows.h>

#include <cstdlib>

#include "app/collaborators.h"
#include "app/updater_app.h"

namespace {
const wchar_t kSingleInstanceMutex[] = L"{DE60A78E-447C-49ff-BC6D-B07158794644}";
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int exitCode = 0;
  {
    UpdaterApp app(ProductionCollaborators());
    HANDLE mutex = CreateMutexW(nullptr, TRUE, kSingleInstanceMutex);
    bool alreadyRunning = GetLastError() == ERROR_ALREADY_EXISTS;
    app.SetMutex(mutex);
    if (alreadyRunning) {
      // Not ours to release: just let go of the handle.
      app.SetMutex(nullptr);
      if (mutex) CloseHandle(mutex);
      return 0;
    }
    // The C runtime's split of the wide command line, without the program path.
    int count = __argc > 1 ? __argc - 1 : 0;
    const wchar_t* const* arguments = __wargv ? __wargv + 1 : nullptr;
    if (!CheckOptions(app, count, arguments)) {
      exitCode = app.ResultCode();
    } else {
      exitCode = app.Run();
    }
  }
  return exitCode;
}
