#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "ulvo/transfer/transfer_form.h"

namespace ulvo::test {

// Answers queued by the test; every question and message is recorded, and a question
// without a queued answer fails the test.
class ScriptedTransferPrompts : public TransferFormPrompts {
 public:
  void ShowInfo(const std::string& text) override { shown.push_back(text); }
  bool AskYesNo(const std::string& text) override {
    asked.push_back(text);
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected question: " << text;
      return false;
    }
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  std::deque<bool> answers;
  std::vector<std::string> shown;
  std::vector<std::string> asked;
};

}  // namespace ulvo::test
