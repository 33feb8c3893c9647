// What the update run offers to the code that works for it: the options, the
// update path and the status dispatch. The one UpdaterApp implements both.
#pragma once

#include <cstdint>
#include <string>

class IRunContext {
 public:
  virtual ~IRunContext() = default;
  virtual std::wstring GetOption(const std::wstring& name) const = 0;
  virtual std::wstring UpdatePath() const = 0;
  virtual bool UpdateInfoGiven() const = 0;
  virtual void Notify(int32_t code, int32_t parameter) = 0;
};

// What the status thread reads and writes of the update run.
class IStatusHost {
 public:
  virtual ~IStatusHost() = default;
  // The option "lp", empty when not given.
  virtual std::wstring PipeNameOption() const = 0;
  virtual int32_t EngineState() const = 0;
  virtual int32_t AppState() const = 0;
  // Stores a result code from the status thread (2: the pipe cannot be created).
  virtual void StoreResultCode(int32_t code) = 0;
};
