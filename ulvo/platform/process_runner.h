#pragma once

#include "ulvo/convert/conversion.h"

namespace ulvo {

// Starts the external XML editor with QProcess: no shell, program plus one argument.
class QtProcessRunner : public ProcessRunner {
 public:
  bool RunAndWait(const std::string& program, const std::string& argument) override;
};

}  // namespace ulvo
