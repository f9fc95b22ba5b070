#include "ulvo/convert/conversion_check.h"

#include <cmath>
#include <cstdlib>
#include <unordered_map>
#include <unordered_set>

#include "ulvo/engine/data_document.h"

namespace ulvo {
namespace {

const char* TextOf(pugi::xml_node element) {
  for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) return c.value();
  return nullptr;
}

bool HasElementChild(pugi::xml_node element) {
  for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element) return true;
  return false;
}

void FlattenValues(pugi::xml_node parent, const std::string& prefix,
                   std::vector<WrittenRecords::Value>& out) {
  for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element) continue;
    if (HasElementChild(c)) {
      FlattenValues(c, prefix + c.name() + "/", out);
    } else if (const char* text = TextOf(c)) {
      out.push_back({prefix + c.name(), text});
    }
  }
}

// Decimal number as the fields write them: sign, digits, one point.
bool IsNumber(const std::string& s, int& decimals) {
  size_t i = s.empty() || (s[0] != '+' && s[0] != '-') ? 0 : 1;
  size_t digits = 0;
  decimals = 0;
  bool point = false;
  for (; i < s.size(); ++i) {
    if (s[i] == '.' && !point) {
      point = true;
    } else if (s[i] >= '0' && s[i] <= '9') {
      ++digits;
      if (point) ++decimals;
    } else {
      return false;
    }
  }
  return digits > 0;
}

class Collector {
 public:
  explicit Collector(ConversionCheck& check) : check_(check) {}
  void Add(size_t record, std::string element, std::string written, std::string readBack) {
    ++check_.count;
    if (check_.first.size() < kMaxReportedDifferences)
      check_.first.push_back({record, std::move(element), std::move(written), std::move(readBack)});
  }

 private:
  ConversionCheck& check_;
};

void CompareRecord(size_t number, const WrittenRecords::Record& written,
                   const WrittenRecords::Record& read, Collector& out) {
  if (written.name != read.name) out.Add(number, "(record)", written.name, read.name);
  std::vector<bool> used(read.values.size(), false);
  for (const auto& value : written.values) {
    size_t match = read.values.size();
    for (size_t j = 0; j < read.values.size(); ++j) {
      if (!used[j] && read.values[j].path == value.path) {
        match = j;
        break;
      }
    }
    if (match == read.values.size()) {
      out.Add(number, value.path, value.text, kNoValue);
      continue;
    }
    used[match] = true;
    if (!SameValue(value.text, read.values[match].text))
      out.Add(number, value.path, value.text, read.values[match].text);
  }
  for (size_t j = 0; j < read.values.size(); ++j)
    if (!used[j]) out.Add(number, read.values[j].path, kNoValue, read.values[j].text);
}

}  // namespace

bool SameValue(const std::string& written, const std::string& readBack) {
  if (written == readBack) return true;
  int writtenDecimals = 0, readDecimals = 0;
  if (!IsNumber(written, writtenDecimals) || !IsNumber(readBack, readDecimals)) return false;
  const double a = std::strtod(written.c_str(), nullptr);
  const double b = std::strtod(readBack.c_str(), nullptr);
  // Rounding to the decimals the target keeps is its precision, not lost data.
  const double tolerance =
      0.5 * std::pow(10.0, -readDecimals) + 1e-12 * std::max(std::fabs(a), 1.0);
  return std::fabs(a - b) <= tolerance;
}

std::vector<WrittenRecords::Record> WrittenRecords::Flatten(pugi::xml_node data) {
  std::vector<Record> records;
  for (pugi::xml_node r = data.first_child(); r; r = r.next_sibling()) {
    if (r.type() != pugi::node_element) continue;
    Record record;
    record.name = r.name();
    record.node = r.internal_object();
    if (HasElementChild(r)) {
      FlattenValues(r, {}, record.values);
    } else if (const char* text = TextOf(r)) {
      record.values.push_back({r.name(), text});
    }
    records.push_back(std::move(record));
  }
  return records;
}

WrittenRecords::WrittenRecords(pugi::xml_node data) : records_(Flatten(data)) {}

void WrittenRecords::MarkUnwritten(pugi::xml_node data) {
  // Writing only removes nodes, so a node still there is one of the records seen before.
  std::unordered_set<const void*> left;
  for (pugi::xml_node r = data.first_child(); r; r = r.next_sibling())
    if (r.type() == pugi::node_element) left.insert(r.internal_object());
  for (Record& record : records_)
    if (left.count(record.node)) record.written = false;
}

ConversionCheck WrittenRecords::Check(FormatDefinition& target, const std::filesystem::path& output,
                                      const std::vector<FieldOverflow>& overflows) const {
  ConversionCheck check;
  check.ran = true;
  std::unordered_set<size_t> spoiled;
  size_t firstSpoiled = 0;
  if (!overflows.empty()) {
    std::unordered_map<const void*, size_t> numbers;
    for (size_t i = 0; i < records_.size(); ++i) numbers.emplace(records_[i].node, i + 1);
    for (const FieldOverflow& o : overflows) {
      const auto found = o.record ? numbers.find(o.record) : numbers.end();
      const size_t record = found == numbers.end() ? 0 : found->second;
      ++check.count;
      ++check.tooWideCount;
      if (check.tooWide.size() < kMaxReportedDifferences)
        check.tooWide.push_back({record, o.element, o.value, o.width});
      if (record == 0) continue;
      spoiled.insert(record);
      if (firstSpoiled == 0 || record < firstSpoiled) firstSpoiled = record;
    }
  }
  pugi::xml_document document;
  pugi::xml_node data = NewDataDocument(document);
  ParseFailure failure;
  const bool whole = target.ParseFile(output, data, &failure);
  const std::vector<Record> read = Flatten(data);
  Collector out(check);
  size_t next = 0;
  for (size_t i = 0; i < records_.size(); ++i) {
    const Record& record = records_[i];
    if (!record.written) {
      out.Add(i + 1, "(record)", record.name, "(not written)");
      continue;
    }
    if (next < read.size()) {
      // A value too wide shifts what follows it: that record is reported once, above.
      if (!spoiled.count(i + 1)) CompareRecord(i + 1, record, read[next], out);
      ++next;
    } else if (!whole) {
      // Reading back stopped here; the records after it cannot be compared.
      check.readBackRecord = i + 1;
      break;
    } else {
      out.Add(i + 1, "(record)", record.name, kNoValue);
    }
  }
  if (firstSpoiled == 0)
    for (; next < read.size(); ++next)
      out.Add(records_.size() + 1, "(record)", kNoValue, read[next].name);
  // Reading back that stops where a value too wide shifted the fields says nothing new.
  const bool explained =
      firstSpoiled != 0 && (check.readBackRecord == 0 || check.readBackRecord >= firstSpoiled);
  if (!whole && !explained) {
    check.readBack = failure;
    ++check.count;
  }
  if (!whole && explained) check.readBackRecord = 0;
  return check;
}

std::string DescribeTooWide(const TooWideValue& value) {
  std::string line = value.record ? "record " + std::to_string(value.record) + ", " : "";
  line += "element " + value.element + ": " + value.value + " needs " +
          std::to_string(value.value.size()) + " characters, the field holds " +
          std::to_string(value.width);
  return line;
}

std::vector<std::string> DescribeCheck(const ConversionCheck& check,
                                       const std::filesystem::path& output,
                                       const std::string& targetName) {
  std::vector<std::string> lines;
  if (!check.ran || check.Clean()) return lines;
  lines.push_back("Check: " + std::to_string(check.count) +
                  (check.count == 1 ? " difference" : " differences") + " reading " +
                  output.string() + " back with \"" + targetName + "\":");
  for (const TooWideValue& v : check.tooWide) lines.push_back("  " + DescribeTooWide(v));
  if (check.tooWideCount > check.tooWide.size())
    lines.push_back("  ... and " + std::to_string(check.tooWideCount - check.tooWide.size()) +
                    " more values too wide");
  for (const CheckDifference& d : check.first) {
    std::string line = "  record " + std::to_string(d.record) + ", " + d.element + ": written ";
    line += d.written == kNoValue ? d.written : "\"" + d.written + "\"";
    line += ", read back ";
    line += d.readBack == kNoValue || d.readBack == "(not written)" ? d.readBack
                                                                    : "\"" + d.readBack + "\"";
    lines.push_back(line);
  }
  const size_t shown = check.tooWideCount + check.first.size() + (check.readBack ? 1 : 0);
  if (check.count > shown)
    lines.push_back("  ... and " + std::to_string(check.count - shown) + " more");
  if (check.readBack) {
    std::string line = "  the target does not read back";
    if (check.readBackRecord) line += " from record " + std::to_string(check.readBackRecord);
    line += ": " + DescribeParseFailure(*check.readBack);
    lines.push_back(line);
  }
  return lines;
}

}  // namespace ulvo
