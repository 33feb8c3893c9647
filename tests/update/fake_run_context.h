// A stand-in for the update run: options, update path and the status
// reports the download agent makes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/run_context.h"

using Notes = std::vector<std::pair<int32_t, int32_t>>;

class FakeRunContext : public IRunContext {
 public:
  std::wstring GetOption(const std::wstring& name) const override {
    auto found = options.find(name);
    return found == options.end() ? std::wstring() : found->second;
  }
  std::wstring UpdatePath() const override { return updatePath; }
  bool UpdateInfoGiven() const override { return updateInfoGiven; }
  void Notify(int32_t code, int32_t parameter) override { notes.push_back({code, parameter}); }

  std::map<std::wstring, std::wstring> options;
  std::wstring updatePath;
  bool updateInfoGiven = false;
  Notes notes;
};
