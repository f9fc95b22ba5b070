#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "kavex/shell/prompts.h"

namespace kavex {

// The prompts of a run without a window (kavex-cli, benchmarks): every message goes to
// standard error and is answered OK; no file is chosen and no automatic save is confirmed.
class ConsolePrompts final : public Prompts {
 public:
  int MessageBox(const std::string& text, int /*mode*/, bool /*beep*/) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    return kResultOk;
  }
  std::optional<std::string> OpenFileName(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> SaveFileName(const FileDialogRequest&) override { return {}; }
  bool ConfirmSaveCurrent(const std::string&, const std::string&) override { return false; }
  std::unique_ptr<ProgressSink> ShowProgress(const std::string&, bool) override { return {}; }
  void PumpEvents() override {}
  void SetBusy(bool) override {}
};

}  // namespace kavex
