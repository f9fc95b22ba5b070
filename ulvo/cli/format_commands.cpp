#include "ulvo/cli/format_commands.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "ulvo/convert/conversion.h"
#include "ulvo/convert/identify.h"
#include "ulvo/engine/data_document.h"
#include "ulvo/engine/format_definition.h"
#include "ulvo/platform/process_runner.h"

namespace ulvo::cli {
namespace {

int Usage(const char* usage) {
  std::fprintf(stderr, "Usage: %s\n", usage);
  return kExitUsage;
}

void PrintMessage(std::FILE* out, const Message& message) {
  std::fprintf(out, "%s\n", DefaultText(message).c_str());
}

void PrintLine(const std::string& line) {
  if (!line.empty()) std::fprintf(stderr, "%s\n", line.c_str());
}

bool LoadDefinition(FormatDefinition& format) {
  if (format.Load()) return true;
  const std::string name = format.Name().empty() ? format.Path().string() : format.Name();
  PrintMessage(stderr, Message{kFormatLoadErr, name});
  PrintLine(format.LoadError());
  return false;
}

// The command line answers the replace question: --force says yes, otherwise the question
// is printed and the answer is no. Each message is followed by what went wrong and where.
class CliPrompts : public ConversionPrompts {
 public:
  explicit CliPrompts(bool force) : force_(force) {}
  void ShowMessage(const Message& message) override {
    const bool good = std::strcmp(message.text.key, kCnvSuccessMsg.key) == 0;
    PrintMessage(good ? stdout : stderr, message);
    PrintLine(message.detail);
  }
  bool AskReplace(const Message& question) override {
    if (force_) return true;
    PrintMessage(stderr, question);
    return false;
  }
  void ShowCheck(const ConversionCheck& check) override { checked_ = &check; }
  const ConversionCheck* Checked() const { return checked_; }

 private:
  bool force_;
  const ConversionCheck* checked_ = nullptr;
};

}  // namespace

int RunParseCommand(const Context&, const Args& args) {
  std::vector<std::string> positional;
  std::string documentPath;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o") {
      if (i + 1 >= args.size()) return Usage(kParseUsage);
      documentPath = args[++i];
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2) return Usage(kParseUsage);
  FormatDefinition format(positional[0]);
  if (!LoadDefinition(format)) return kExitFailure;
  pugi::xml_document document;
  pugi::xml_node data = NewDataDocument(document);
  ParseFailure failure;
  const bool ok = format.ParseFile(positional[1], data, &failure);
  if (documentPath.empty()) {
    WriteDocument(document, std::cout);
    std::cout.flush();
  } else if (!SaveDocument(document, documentPath)) {
    std::fprintf(stderr, "ulvo-cli: cannot write %s\n%s: %s\n", documentPath.c_str(),
                 documentPath.c_str(), FileReason(documentPath, true).c_str());
    return kExitFailure;
  }
  if (!ok) {
    std::fprintf(stderr, "ulvo-cli: %s does not match the format\n", positional[1].c_str());
    PrintLine((failure.reason.empty() ? positional[1] + ": " : std::string()) +
              DescribeParseFailure(failure));
  }
  return ok ? kExitOk : kExitFailure;
}

int RunWriteCommand(const Context&, const Args& args) {
  if (args.size() != 3) return Usage(kWriteUsage);
  FormatDefinition format(args[0]);
  if (!LoadDefinition(format)) return kExitFailure;
  pugi::xml_document document;
  if (!LoadDataDocument(document, args[1])) {
    std::fprintf(stderr, "ulvo-cli: cannot read the document %s\n", args[1].c_str());
    const std::string why = FileReason(args[1], false);
    PrintLine(args[1] + ": " + (why.empty() ? "not an XML document" : why));
    return kExitFailure;
  }
  pugi::xml_node root = document.document_element();
  if (std::strcmp(root.name(), "data") != 0) {
    std::fprintf(stderr, "ulvo-cli: %s is not an instrument data document\n", args[1].c_str());
    return kExitFailure;
  }
  std::string why;
  if (!format.WriteFile(root, args[2], &why)) {
    std::fprintf(stderr, "ulvo-cli: the document could not be written in full to %s\n",
                 args[2].c_str());
    if (!why.empty()) PrintLine(args[2] + ": " + why);
    return kExitFailure;
  }
  return kExitOk;
}

int RunFormatsCommand(const Context& context, const Args& args) {
  if (!args.empty()) return Usage(kFormatsUsage);
  FormatList formats;
  formats.Refresh(context.home);
  for (size_t i = 0; i < formats.Count(); ++i) {
    std::printf("%s\t%s\t%s\n", formats.At(i)->Name().c_str(), formats.At(i)->Type().c_str(),
                formats.At(i)->Path().filename().string().c_str());
    for (const std::string& warning : formats.At(i)->LoadWarnings())
      std::fprintf(stderr, "ulvo-cli: warning: %s: %s\n", formats.At(i)->Path().string().c_str(),
                   warning.c_str());
  }
  for (const auto& [path, why] : formats.Failures()) {
    std::fprintf(stderr, "ulvo-cli: not loaded: %s\n", why.c_str());
  }
  return kExitOk;
}

int RunConvertCommand(const Context& context, const Args& args) {
  std::string from, to, editor;
  bool force = false;
  bool check = true;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--from" || a == "--to" || a == "--editor") {
      if (i + 1 >= args.size()) return Usage(kConvertUsage);
      (a == "--from" ? from : a == "--to" ? to : editor) = args[++i];
    } else if (a == "--force") {
      force = true;
    } else if (a == "--no-check") {
      check = false;
    } else {
      positional.push_back(a);
    }
  }
  if (from.empty() || to.empty() || positional.size() != 2) return Usage(kConvertUsage);
  FormatList formats;
  formats.Refresh(context.home);
  ConversionReport report;
  CliPrompts prompts(force);
  QtProcessRunner runner;
  ConversionSetup setup;
  setup.check = check;
  setup.report = &report;
  setup.programFolder = context.home;
  setup.editorCommand = editor;
  setup.runner = &runner;
  setup.prompts = &prompts;
  std::error_code ec;
  std::filesystem::create_directories(context.home, ec);
  const bool ok = ConvertFiles(formats, from, positional[0], to, positional[1], setup);
  if (const ConversionCheck* checked = prompts.Checked()) {
    for (const std::string& line : DescribeCheck(*checked, positional[1], to)) PrintLine(line);
    if (ok) return kExitCheck;
  }
  return ok ? kExitOk : kExitFailure;
}

int RunIdentifyCommand(const Context& context, const Args& args) {
  if (args.size() != 1 || args[0].starts_with("-")) return Usage(kIdentifyUsage);
  FormatList formats;
  formats.Refresh(context.home);
  for (const auto& [path, why] : formats.Failures())
    std::fprintf(stderr, "ulvo-cli: not loaded: %s\n", why.c_str());
  const Identification found = IdentifyFile(formats, args[0]);
  const bool readable = found.problem.empty();
  for (const std::string& line : DescribeIdentification(found, args[0]))
    std::fprintf(readable ? stdout : stderr, "%s\n", line.c_str());
  return found.whole.empty() ? kExitFailure : kExitOk;
}

}  // namespace ulvo::cli
