#include "kavex/cli/convert_command.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "kavex/formats/file_problem.h"
#include "kavex/formats/qrx6_fields.h"
#include "kavex/formats/qrx6_to_nwf.h"
#include "kavex/formats/text_file.h"
#include "kavex/shell/conversions.h"

namespace kavex::cli {

const char* const kConvertUsage =
    "kavex-cli convert nwf INPUT [-o OUTPUT] [--no-header] [--gon] [--feet] [--scale TEXT]\n"
    "                      [--elevation N] [--fs] [--no-first-bs]\n"
    "    QRX-6 blocks (.qr6) to NWF lines\n"
    "kavex-cli convert hk INPUT [-o OUTPUT]\n"
    "    HK-100 level data (.hk1) to the level-book text report\n"
    "kavex-cli convert coords INPUT [-o OUTPUT]\n"
    "kavex-cli convert codes INPUT [-o OUTPUT]\n"
    "    A points file (.pts) or point-code file (.cod) to QRX-6 blocks\n"
    "kavex-cli convert qrx6 INPUT [-o OUTPUT] [--gon] [--feet] [--k 0|0.14|0.2]\n"
    "    NWF lines (.qr7) to QRX-6 blocks\n"
    "kavex-cli convert dxf INPUT [-o OUTPUT]\n"
    "    QRX-6 coordinate data (.qr6) to a DXF drawing";

namespace {

int Usage(const std::string& problem) {
  std::fprintf(stderr, "kavex-cli convert: %s\nUsage:\n%s\n", problem.c_str(), kConvertUsage);
  return kExitUsage;
}

int Failure(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  return kExitFailure;
}

// The message, then the file and the system's reason on a line of their own.
int FileFailure(const std::string& message, const std::string& path, bool forWriting) {
  const std::string why = FileProblem(path, forWriting);
  std::fprintf(stderr, "%s\n%s: %s\n", message.c_str(), path.c_str(),
               why.empty() ? "the file could not be written in full" : why.c_str());
  return kExitFailure;
}

// Input that the QRX-6 conversion would read nothing from is worth a word: the NWF
// lines written are then only the header.
bool HoldsQrx6Blocks(const std::string& path) {
  std::string text;
  if (!ReadTextFile(path, text)) return true;
  bool found = false;
  ForEachTextLine(text, [&](std::string_view line, bool lf) {
    found = found || (!line.empty() && line[0] == '\x02' &&
                      line.size() + (lf ? 1 : 0) >= Qrx6FieldReader::kBlockMinimum);
  });
  return found;
}

// The bytes Save writes for the lines: each followed by CR LF.
int Deliver(const std::vector<std::string>& lines, const std::optional<std::string>& output) {
  const std::string text = JoinLines(lines);
  if (output) {
    if (std::string why; !WriteTextFile(*output, text, why)) {
      std::fprintf(stderr, "%s\n%s: %s\n", kSavingAbortedMessage, output->c_str(), why.c_str());
      return kExitFailure;
    }
    return kExitOk;
  }
  const std::string bytes = ToDiskText(text);
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
      std::fflush(stdout) != 0) {
    return Failure(kSavingAbortedMessage);
  }
  return kExitOk;
}

// A drawing is far larger than its input: its lines go to the file (or standard output) as
// they are made, never held whole. The file is only begun once the input has read through
// once, so an input refused then leaves no file behind.
int StreamTo(const Conversion& conversion, const std::string& input,
             const ConversionSettings& settings, const std::optional<std::string>& output) {
  std::optional<TextFileWriter> file;
  std::string why;
  bool failed = false;
  const FileConversion done =
      conversion.run(input, settings,
                     [&](const std::string& line) {
                       if (failed) return;
                       if (output) {
                         if (!file && !file.emplace(*output).Open(why)) {
                           failed = true;
                           return;
                         }
                         file->Write(line);
                         file->Write("\n");
                       } else if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() ||
                                  std::fwrite("\r\n", 1, 2, stdout) != 2) {
                         failed = true;
                       }
                     },
                     {});
  if (done.status != FileConversion::kDone) return Failure(done.message);
  if (output) {
    if (!failed && !file && !file.emplace(*output).Open(why)) failed = true;
    if (failed || !file->Commit(why)) {
      std::fprintf(stderr, "%s\n%s: %s\n", kSavingAbortedMessage, output->c_str(), why.c_str());
      return kExitFailure;
    }
    return kExitOk;
  }
  if (failed || std::fflush(stdout) != 0) return Failure(kSavingAbortedMessage);
  return kExitOk;
}

}  // namespace

int RunConvert(const Args& args) {
  if (args.empty()) return Usage("missing nwf, hk, coords, codes, qrx6 or dxf");
  const Conversion* conversion = ConversionNamed(args[0]);
  if (!conversion) return Usage("unknown conversion '" + args[0] + "'");
  const bool nwf = conversion->kind == ConversionKind::kToNwf;
  const bool qrx6 = conversion->kind == ConversionKind::kToQrx6;

  std::optional<std::string> input;
  std::optional<std::string> output;
  // A fresh process starts the target counter at 0, as the program does at start.
  ConversionSettings settings;
  CvtQ6to7Options& options = settings.toNwf;
  NwfToQrx6Options& qrx6Options = settings.toQrx6;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
    if (a == "-o" || a == "--output") {
      const std::string* v = value();
      if (!v) return Usage(a + " needs a file name");
      output = *v;
    } else if (nwf && a == "--no-header") {
      options.addHeader = false;
    } else if ((nwf || qrx6) && a == "--gon") {
      options.angleDegrees = false;
      qrx6Options.angleUnit = 'G';
    } else if ((nwf || qrx6) && a == "--feet") {
      options.distanceMetres = false;
      qrx6Options.distanceUnit = 'F';
    } else if (qrx6 && a == "--k") {
      // The dialog offers three W-CORRECTION buttons, nothing in between.
      const std::string* v = value();
      if (!v || (*v != "0" && *v != "0.14" && *v != "0.2"))
        return Usage("--k takes 0, 0.14 or 0.2");
      qrx6Options.k = *v == "0" ? 0.0 : *v == "0.14" ? 0.14 : 0.2;
    } else if (nwf && a == "--fs") {
      options.measuredFs = true;
    } else if (nwf && a == "--no-first-bs") {
      options.firstIsBs = false;
    } else if (nwf && a == "--scale") {
      const std::string* v = value();
      if (!v) return Usage("--scale needs a value");
      const std::optional<std::string> accepted = AcceptScaleText(*v);
      if (!accepted) return Failure(kInvalidScaleMessage);
      options.scaleText = *accepted;
    } else if (nwf && a == "--elevation") {
      const std::string* v = value();
      if (!v) return Usage("--elevation needs a value");
      const std::optional<std::string> accepted = AcceptElevationText(*v);
      if (!accepted) return Failure(kInvalidElevationMessage);
      options.elevationText = *accepted;
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option '" + a + "'");
    } else if (input) {
      return Usage("more than one input file");
    } else {
      input = a;
    }
  }
  if (!input) return Usage("missing INPUT");

  if (conversion->check) {
    const FileConversion checked = conversion->check(*input);
    if (checked.status != FileConversion::kDone) return Failure(checked.message);
  }
  if (conversion->largeOutput) return StreamTo(*conversion, *input, settings, output);
  std::vector<std::string> lines;
  const FileConversion done = conversion->run(
      *input, settings, [&](const std::string& line) { lines.push_back(line); }, {});
  if (done.status == FileConversion::kCannotOpen && conversion->namesReason)
    return FileFailure(done.message, *input, false);
  if (done.status != FileConversion::kDone) return Failure(done.message);
  if (nwf && !HoldsQrx6Blocks(*input))
    std::fprintf(stderr, "kavex-cli: warning: no QRX-6 blocks in %s\n", input->c_str());
  return Deliver(lines, output);
}

}  // namespace kavex::cli
