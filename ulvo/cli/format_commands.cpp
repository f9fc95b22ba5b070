#include "ulvo/cli/format_commands.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "ulvo/convert/conversion.h"
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

bool LoadDefinition(FormatDefinition& format) {
  if (format.Load()) return true;
  const std::string name = format.Name().empty() ? format.Path().string() : format.Name();
  PrintMessage(stderr, Message{kFormatLoadErr, name});
  return false;
}

// The command line answers the replace question: --force says yes, otherwise the question
// is printed and the answer is no.
class CliPrompts : public ConversionPrompts {
 public:
  explicit CliPrompts(bool force) : force_(force) {}
  void ShowMessage(const Message& message) override {
    const bool good = std::strcmp(message.text.key, kCnvSuccessMsg.key) == 0;
    PrintMessage(good ? stdout : stderr, message);
  }
  bool AskReplace(const Message& question) override {
    if (force_) return true;
    PrintMessage(stderr, question);
    return false;
  }

 private:
  bool force_;
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
  const bool ok = format.ParseFile(positional[1], data);
  if (documentPath.empty()) {
    WriteDocument(document, std::cout);
    std::cout.flush();
  } else if (!SaveDocument(document, documentPath)) {
    std::fprintf(stderr, "ulvo-cli: cannot write %s\n", documentPath.c_str());
    return kExitFailure;
  }
  if (!ok) std::fprintf(stderr, "ulvo-cli: %s does not match the format\n", positional[1].c_str());
  return ok ? kExitOk : kExitFailure;
}

int RunWriteCommand(const Context&, const Args& args) {
  if (args.size() != 3) return Usage(kWriteUsage);
  FormatDefinition format(args[0]);
  if (!LoadDefinition(format)) return kExitFailure;
  pugi::xml_document document;
  if (!LoadDataDocument(document, args[1])) {
    std::fprintf(stderr, "ulvo-cli: cannot read the document %s\n", args[1].c_str());
    return kExitFailure;
  }
  pugi::xml_node root = document.document_element();
  if (std::strcmp(root.name(), "data") != 0) {
    std::fprintf(stderr, "ulvo-cli: %s is not an instrument data document\n", args[1].c_str());
    return kExitFailure;
  }
  if (!format.WriteFile(root, args[2])) {
    std::fprintf(stderr, "ulvo-cli: the document could not be written in full to %s\n",
                 args[2].c_str());
    return kExitFailure;
  }
  return kExitOk;
}

int RunFormatsCommand(const Context& context, const Args& args) {
  if (!args.empty()) return Usage(kFormatsUsage);
  FormatList formats;
  formats.Refresh(context.home);
  for (size_t i = 0; i < formats.Count(); ++i) {
    std::printf("%s\t%s\n", formats.At(i)->Name().c_str(), formats.At(i)->Type().c_str());
  }
  return kExitOk;
}

int RunConvertCommand(const Context& context, const Args& args) {
  std::string from, to, editor;
  bool force = false;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--from" || a == "--to" || a == "--editor") {
      if (i + 1 >= args.size()) return Usage(kConvertUsage);
      (a == "--from" ? from : a == "--to" ? to : editor) = args[++i];
    } else if (a == "--force") {
      force = true;
    } else {
      positional.push_back(a);
    }
  }
  if (from.empty() || to.empty() || positional.size() != 2) return Usage(kConvertUsage);
  FormatList formats;
  formats.Refresh(context.home);
  CliPrompts prompts(force);
  QtProcessRunner runner;
  ConversionSetup setup;
  setup.programFolder = context.home;
  setup.editorCommand = editor;
  setup.runner = &runner;
  setup.prompts = &prompts;
  std::error_code ec;
  std::filesystem::create_directories(context.home, ec);
  const bool ok = ConvertFiles(formats, from, positional[0], to, positional[1], setup);
  return ok ? kExitOk : kExitFailure;
}

}  // namespace ulvo::cli
