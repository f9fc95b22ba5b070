#pragma once

#include <filesystem>
#include <string>

#include "ulvo/convert/conversion_check.h"
#include "ulvo/convert/messages.h"
#include "ulvo/engine/format_definition.h"

namespace ulvo {

// Starts a program with one argument, without a shell, and waits until it ends.
class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;
  // False when the program could not be started.
  virtual bool RunAndWait(const std::string& program, const std::string& argument) = 0;
};

// What the Convert form offers the run: its messages and the wait cursor.
class ConversionPrompts {
 public:
  virtual ~ConversionPrompts() = default;
  virtual void ShowMessage(const Message& message) = 0;
  virtual void SetBusy(bool) {}
  // Asked before an existing target file is replaced.
  virtual bool AskReplace(const Message& question) = 0;
  // After the success or failure message, when reading the target back found differences.
  virtual void ShowCheck(const ConversionCheck&) {}
};

// What went wrong in a run, with the file and the reason, for front ends that say more
// than the run's messages.
struct ConversionReport {
  std::string sourceLoadError;  // empty when the source format loaded
  std::string targetLoadError;
  std::optional<ParseFailure> parseFailure;  // the input stopped matching the source
  std::string scratchError;                  // temp.xml could not be saved or read back
  std::string writeError;                    // the target could not be written in full
  ConversionCheck check;
};

struct ConversionSetup {
  std::filesystem::path programFolder;  // the scratch file "temp.xml" is written here
  std::string editorCommand;            // empty: no external editor
  ProcessRunner* runner = nullptr;      // needed only with an editor command
  ConversionPrompts* prompts = nullptr;
  // Shown in the load-failure message when a format was not found at all.
  std::string sourceName;
  std::string targetName;
  // Read the target back with its format and compare (see ConversionCheck).
  bool check = true;
  ConversionReport* report = nullptr;  // filled when given
};

// Parses input with the source format into a new instrument data document, saves it as
// temp.xml, lets the external editor change it, reads it back and writes output with the
// target format. A failed parse still writes the target; the result then reports failure.
bool RunConversion(const std::filesystem::path& input, FormatDefinition* source,
                   const std::filesystem::path& output, FormatDefinition* target,
                   const ConversionSetup& setup);

// What went wrong in a failed run, one line each (the file and line/column where a parse
// stopped, a source that cannot be read, the scratch file, the target and why); shown under
// "Error while converting".
std::string DescribeConversionFailure(const ConversionReport& report,
                                      const std::filesystem::path& input);

// The Convert button: finds both formats by name, asks before replacing an existing
// target, runs the conversion and shows the success or failure message. Returns false
// when nothing was run or the run failed.
bool ConvertFiles(FormatList& formats, const std::string& sourceName,
                  const std::filesystem::path& input, const std::string& targetName,
                  const std::filesystem::path& output, ConversionSetup setup);

}  // namespace ulvo
