#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kavex/shell/prompts.h"

namespace kavex::testing {

// Answers the core's questions from a queue and records every one. A question the test did
// not expect, or one asked with other words, fails the test; so does an answer left unused.
class ScriptedPrompts : public Prompts {
 public:
  enum class Kind { Message, Open, Save, SaveCurrent, Folder };

  struct Expectation {
    Kind kind;
    std::string text;  // message text, or save-current caption
    int mode = 0;      // message mode
    int answer = kResultOk;
    std::optional<std::string> file;  // open/save answer; save-current name to expect
  };

  ~ScriptedPrompts() override {
    for (const auto& e : queue_) ADD_FAILURE() << "expected question never asked: " << e.text;
  }

  ScriptedPrompts& ExpectMessage(const std::string& text, int mode = kModeMessage,
                                 int answer = kResultOk) {
    queue_.push_back({Kind::Message, text, mode, answer, std::nullopt});
    return *this;
  }
  ScriptedPrompts& ExpectOpen(std::optional<std::string> answer) {
    queue_.push_back({Kind::Open, "open dialog", 0, 0, std::move(answer)});
    return *this;
  }
  ScriptedPrompts& ExpectSave(std::optional<std::string> answer) {
    queue_.push_back({Kind::Save, "save dialog", 0, 0, std::move(answer)});
    return *this;
  }
  ScriptedPrompts& ExpectSaveCurrent(const std::string& caption, const std::string& name, bool ok) {
    queue_.push_back({Kind::SaveCurrent, caption, 0, ok ? kResultOk : kResultCancel, name});
    return *this;
  }

  ScriptedPrompts& ExpectFolder(std::optional<std::string> answer) {
    queue_.push_back({Kind::Folder, "folder dialog", 0, 0, std::move(answer)});
    return *this;
  }

  int MessageBox(const std::string& text, int mode, bool /*beep*/) override {
    log.push_back("message " + std::to_string(mode) + ": " + text);
    auto e = Next(Kind::Message, text);
    if (!e) return kResultCancel;
    EXPECT_EQ(e->mode, mode) << "mode of message \"" << text << '"';
    return e->answer;
  }
  std::optional<std::string> OpenFileName(const FileDialogRequest& request) override {
    log.push_back("open: " + request.title);
    lastRequest = request;
    auto e = Next(Kind::Open, "open dialog");
    return e ? e->file : std::nullopt;
  }
  std::optional<std::string> SaveFileName(const FileDialogRequest& request) override {
    log.push_back("save: " + request.title);
    lastRequest = request;
    auto e = Next(Kind::Save, "save dialog");
    return e ? e->file : std::nullopt;
  }
  bool ConfirmSaveCurrent(const std::string& caption, const std::string& name) override {
    log.push_back("save current: " + caption + " " + name);
    auto e = Next(Kind::SaveCurrent, caption);
    if (!e) return false;
    std::string expected = e->file.value_or("");
    if (!autoNameFolder.empty() && std::filesystem::path(expected).is_relative())
      expected = (autoNameFolder / expected).string();
    EXPECT_EQ(expected, name) << "name offered by \"" << caption << '"';
    return e->answer == kResultOk;
  }
  std::optional<std::string> ChooseFolder(const std::string& current) override {
    log.push_back("folder: " + current);
    auto e = Next(Kind::Folder, "folder dialog");
    return e ? e->file : std::nullopt;
  }
  std::unique_ptr<ProgressSink> ShowProgress(const std::string& caption,
                                             bool cancellable) override {
    log.push_back("progress: " + caption);
    return std::make_unique<RecordingProgress>(*this, cancellable);
  }
  void PumpEvents() override { ++pumps; }
  void SetBusy(bool b) override {
    EXPECT_NE(busy, b) << (b ? "EnterBusy while busy" : "LeaveBusy while not busy");
    busy = b;
  }

  bool Done() const { return queue_.empty(); }

  std::vector<std::string> log;
  // Where automatic names are offered: a relative name expected by ExpectSaveCurrent is
  // expected as its full path in this folder.
  std::filesystem::path autoNameFolder;
  std::vector<int> positions;      // every progress position shown
  std::vector<std::string> texts;  // every progress text shown
  int cancelAfterPolls = -1;       // progress Cancel pressed after this many polls
  int pumps = 0;
  bool busy = false;
  FileDialogRequest lastRequest;

 private:
  class RecordingProgress : public ProgressSink {
   public:
    RecordingProgress(ScriptedPrompts& owner, bool cancellable)
        : owner_(owner), cancellable_(cancellable) {}
    void SetText(const std::string& text) override { owner_.texts.push_back(text); }
    void SetPosition(int percent) override { owner_.positions.push_back(percent); }
    bool CancelRequested() override {
      if (!cancellable_ || owner_.cancelAfterPolls < 0) return false;
      return polls_++ >= owner_.cancelAfterPolls;
    }

   private:
    ScriptedPrompts& owner_;
    bool cancellable_;
    int polls_ = 0;
  };

  std::optional<Expectation> Next(Kind kind, const std::string& text) {
    if (queue_.empty()) {
      ADD_FAILURE() << "unexpected question: " << text;
      return std::nullopt;
    }
    Expectation e = queue_.front();
    queue_.pop_front();
    if (e.kind != kind || (kind == Kind::Message && e.text != text) ||
        (kind == Kind::SaveCurrent && e.text != text)) {
      ADD_FAILURE() << "expected \"" << e.text << "\", asked \"" << text << '"';
      return std::nullopt;
    }
    return e;
  }

  std::deque<Expectation> queue_;
};

}  // namespace kavex::testing
