#include "ulvo/convert/identify.h"

#include <algorithm>
#include <system_error>
#include <tuple>

#include "ulvo/engine/byte_stream.h"
#include "ulvo/engine/data_document.h"

namespace ulvo {
namespace {

// Counts what a parse reads without keeping it: no node is built.
class CountingSink : public RecordSink {
 public:
  size_t values = 0;
  size_t valueBytes = 0;

 protected:
  bool KeepsLayout() const override { return false; }
  bool TakesValues() const override { return true; }
  bool TakesNodes() const override { return false; }
  void TakeValues(std::string_view, const std::vector<FlatValue>& record) override {
    values += record.size();
    for (const FlatValue& v : record) valueBytes += v.text.size();
  }
};

std::string Number(size_t n) {
  return std::to_string(n);
}

}  // namespace

std::string FillArguments(std::string_view text, const std::vector<std::string>& arguments) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
      const size_t n = static_cast<size_t>(text[i + 1] - '1');
      if (n < arguments.size()) {
        out += arguments[n];
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

Identification IdentifyFile(const FormatList& formats, const std::filesystem::path& input) {
  Identification result;
  result.problem = InputProblem(input);
  if (!result.problem.empty()) return result;
  // Every format with a repeat at its top reads nothing whole: that tells nothing.
  std::error_code ec;
  if (std::filesystem::file_size(input, ec) == 0 && !ec) {
    result.problem = input.string() + ": the file is empty";
    return result;
  }
  ByteBlock memory;
  for (size_t i = 0; i < formats.Count(); ++i) {
    FormatDefinition& format = *formats.At(i);
    CountingSink sink;
    sink.ShareMemory(&memory);
    pugi::xml_document document;
    FormatTry t;
    t.name = format.Name();
    t.type = format.Type();
    t.whole = format.ParseFile(input, NewDataDocument(document), &t.failure, &sink);
    if (!t.whole && t.failure.unread) {
      // The file went away or became unreadable between the formats: it is the file's
      // problem, not the format's.
      result = Identification{};
      result.problem = t.failure.reason;
      return result;
    }
    t.records = sink.Elements();
    t.values = sink.values;
    t.valueBytes = sink.valueBytes;
    (t.whole ? result.whole : result.stopped).push_back(std::move(t));
  }
  std::stable_sort(result.whole.begin(), result.whole.end(),
                   [](const FormatTry& a, const FormatTry& b) {
                     return std::make_tuple(b.values, a.valueBytes, a.name) <
                            std::make_tuple(a.values, b.valueBytes, b.name);
                   });
  std::stable_sort(result.stopped.begin(), result.stopped.end(),
                   [](const FormatTry& a, const FormatTry& b) {
                     return std::make_tuple(b.failure.offset, b.records, a.name) <
                            std::make_tuple(a.failure.offset, a.records, b.name);
                   });
  return result;
}

std::vector<std::string> DescribeIdentification(
    const Identification& identification, const std::filesystem::path& input,
    const std::function<std::string(const TextId&)>& text) {
  const auto t = [&text](const TextId& id) {
    return text ? text(id) : std::string(id.defaultText);
  };
  const std::string file = input.string();
  std::vector<std::string> lines;
  if (!identification.problem.empty()) {
    lines.push_back(FillArguments(t(kIdentifyUnread), {identification.problem}));
    return lines;
  }
  if (identification.whole.empty() && identification.stopped.empty()) {
    lines.push_back(t(kIdentifyNoFormats));
    return lines;
  }
  if (identification.whole.empty()) {
    lines.push_back(FillArguments(t(kIdentifyNone), {file}));
  } else {
    lines.push_back(FillArguments(t(kIdentifyReadHead), {file}));
    for (const FormatTry& f : identification.whole)
      lines.push_back("  " + FillArguments(t(kIdentifyRead),
                                           {f.name, f.type, Number(f.records), Number(f.values)}));
  }
  if (!identification.stopped.empty()) {
    lines.push_back(t(kIdentifyStopsHead));
    for (const FormatTry& f : identification.stopped) {
      const ParseFailure& why = f.failure;
      lines.push_back(
          "  " + (why.reason.empty()
                      ? FillArguments(t(kIdentifyStops), {f.name, Number(why.line),
                                                          Number(why.column), Number(why.records)})
                      : FillArguments(t(kIdentifyStopsWhy), {f.name, why.reason})));
    }
  }
  return lines;
}

}  // namespace ulvo
