// The parts the update run drives, as the run sees them. The production
// implementations live in their subsystems; tests give doubles.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/run_context.h"

#include "install/install_info.h"

// The status pipe server and its thread.
class IStatusChannel {
 public:
  virtual ~IStatusChannel() = default;
  // Clears the stop flag and starts the status thread.
  virtual void StartThread() = 0;
  // Sets the stop flag, closes the event and the pipe, waits up to 5000 ms for
  // the thread and closes its handle. Safe to call more than once.
  virtual void Stop() = 0;
  // True while a pipe instance exists.
  virtual bool IsOpen() const = 0;
  // 5-byte and 9-byte status packets; false (silently) while no pipe exists.
  virtual bool SendStatus(int32_t code) = 0;
  virtual bool SendStatus(int32_t code, int32_t parameter) = 0;
  // True only when the size word and the whole payload were written.
  virtual bool WritePacket(const void* payload, uint32_t size) = 0;
};

// The download agent with the update info it holds.
class IUpdateCheck {
 public:
  virtual ~IUpdateCheck() = default;
  // 0, or 3, 4 or 6 on failure. Reports every step through IRunContext::Notify.
  virtual int CheckUpdate() = 0;
  virtual bool EngineAvailable() const = 0;
  virtual bool AppAvailable() const = 0;
  virtual bool UseFullPackage() const = 0;
  virtual int32_t VersionCode() const = 0;
  // Path of the verified application package.
  virtual std::wstring AppFile() const = 0;
  // Writes the update-info text to `path`; non-zero on success.
  virtual int WriteUpdateInfoFile(const std::wstring& path) = 0;
};

// The install dispatch.
class IPackageInstaller {
 public:
  virtual ~IPackageInstaller() = default;
  // 0 installed, 21 a new updater must be started, other values failures.
  virtual int InstallPackage(const std::wstring& path, const InstallInfo& info) = 0;
  // The kind test and the install proper, without the two checks.
  virtual int InstallAppPackage(const std::wstring& path, const InstallInfo& info) = 0;
};

// Makes the collaborators, in the order the update run is built.
class ICollaboratorFactory {
 public:
  virtual ~ICollaboratorFactory() = default;
  virtual std::unique_ptr<IStatusChannel> MakeStatusChannel(IStatusHost& host) = 0;
  virtual std::unique_ptr<IUpdateCheck> MakeUpdateCheck(IRunContext& run) = 0;
  virtual InstallInfo MakeInstallInfo() = 0;
  virtual std::unique_ptr<IPackageInstaller> MakeInstaller() = 0;
  // Starts `program` with `parameters` through the shell verb "open" in a
  // hidden window; false with the system error code when it did not start.
  virtual bool StartUpdater(const std::wstring& program, const std::wstring& parameters,
                            unsigned long* error) = 0;
};

// The shipped implementations (see production_collaborators.cpp).
ICollaboratorFactory& ProductionCollaborators();
