#include "ulvo/convert/conversion_check.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "ulvo/engine/data_document.h"

namespace ulvo {
namespace {

// Text of white space only: the layout a parse puts between values, which the scratch file
// does not keep, so the written records never hold it either.
bool Layout(const char* text) {
  for (; *text; ++text)
    if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n') return false;
  return true;
}

// What an element holds, in one pass over its children: whether it holds elements (then it
// is a nested record) and otherwise its first text that is not layout.
struct Content {
  bool nested = false;
  const char* text = nullptr;
};

Content ContentOf(pugi::xml_node element) {
  Content content;
  for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling()) {
    const pugi::xml_node_type type = c.type();
    if (type == pugi::node_element) {
      content.nested = true;
      return content;
    }
    if (content.text) continue;
    if (type == pugi::node_cdata || (type == pugi::node_pcdata && !Layout(c.value())))
      content.text = c.value();
  }
  return content;
}

// Calls emit(path, text) for every value of a top-level element: its elements with text,
// "GROUP/ELEMENT" inside nested records; an element of text only is a value of its own.
// path holds the groups above parent, each followed by '/'.
template <typename Emit>
void FlattenValues(pugi::xml_node parent, std::string& path, const Emit& emit) {
  const size_t base = path.size();
  for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element) continue;
    const Content content = ContentOf(c);
    if (!content.nested && !content.text) continue;
    path.resize(base);
    path += c.name();
    if (content.nested) {
      path += '/';
      FlattenValues(c, path, emit);
    } else {
      emit(std::string_view(path), std::string_view(content.text));
    }
  }
  path.resize(base);
}

template <typename Emit>
void FlattenRecord(pugi::xml_node record, std::string& path, const Emit& emit) {
  path.clear();
  const Content content = ContentOf(record);
  if (content.nested) {
    FlattenValues(record, path, emit);
  } else if (content.text) {
    path = record.name();
    emit(std::string_view(path), std::string_view(content.text));
  }
}

// A decimal number as the fields write them (sign, digits, one point), its value the
// nearest double and `decimals` the places after its point; false for any other text.
// Up to 15 digits with a digit on each side of any point, the digits as an integer are
// exact and so is a power of ten up to 10^22: one division rounds as reading the text does.
bool ReadNumber(std::string_view s, double& value, int& decimals) {
  static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const bool negative = !s.empty() && s[0] == '-';
  if (!s.empty() && (s[0] == '+' || negative)) s.remove_prefix(1);
  uint64_t digits = 0;
  size_t i = 0;
  const auto digit = [&s, &i] { return i < s.size() && s[i] >= '0' && s[i] <= '9'; };
  for (; digit(); ++i) digits = digits * 10 + static_cast<uint64_t>(s[i] - '0');
  const size_t before = i;
  const bool point = i < s.size() && s[i] == '.';
  if (point) ++i;
  const size_t fraction = i;
  for (; digit(); ++i) digits = digits * 10 + static_cast<uint64_t>(s[i] - '0');
  if (i != s.size()) return false;
  decimals = static_cast<int>(i - fraction);
  const size_t count = before + (i - fraction);
  if (count == 0) return false;
  if (count <= 15 && before > 0 && (!point || decimals > 0)) {
    value = static_cast<double>(digits) / kPowersOfTen[decimals];
  } else {
    value = 0;
    std::from_chars(s.data(), s.data() + s.size(), value);
  }
  if (negative) value = -value;
  return true;
}

// Half a unit of the last of `decimals` places, as std::pow gives it.
double HalfUnit(int decimals) {
  static const auto kHalves = [] {
    std::array<double, 24> halves{};
    for (size_t i = 0; i < halves.size(); ++i)
      halves[i] = 0.5 * std::pow(10.0, -static_cast<double>(i));
    return halves;
  }();
  return decimals >= 0 && static_cast<size_t>(decimals) < kHalves.size()
             ? kHalves[static_cast<size_t>(decimals)]
             : 0.5 * std::pow(10.0, -decimals);
}

class Collector {
 public:
  explicit Collector(ConversionCheck& check) : check_(check) {}
  void Add(size_t record, std::string_view element, std::string_view written,
           std::string_view readBack) {
    ++check_.count;
    if (check_.first.size() < kMaxReportedDifferences)
      check_.first.push_back(
          {record, std::string(element), std::string(written), std::string(readBack)});
  }

 private:
  ConversionCheck& check_;
};

// One record as flat values; views into the record's own storage.
struct FlatRecord {
  std::string_view name;
  std::vector<FlatValue> values;
};

void CompareRecord(size_t number, const FlatRecord& written, std::string_view readName,
                   const std::vector<FlatValue>& read, std::vector<char>& used, Collector& out) {
  if (written.name != readName) out.Add(number, "(record)", written.name, readName);
  used.assign(read.size(), 0);
  // While every value so far paired with the one at its own place, the first unused value
  // of a path can only be at this place or after it: that place is tried first.
  bool aligned = true;
  for (size_t i = 0; i < written.values.size(); ++i) {
    const FlatValue& value = written.values[i];
    size_t match = read.size();
    if (aligned && i < read.size() && read[i].path == value.path) {
      match = i;
    } else {
      aligned = false;
      for (size_t j = 0; j < read.size(); ++j) {
        if (!used[j] && read[j].path == value.path) {
          match = j;
          break;
        }
      }
    }
    if (match == read.size()) {
      out.Add(number, value.path, value.text, kNoValue);
      continue;
    }
    used[match] = 1;
    if (!SameValue(value.text, read[match].text))
      out.Add(number, value.path, value.text, read[match].text);
  }
  for (size_t j = 0; j < read.size(); ++j)
    if (!used[j]) out.Add(number, read[j].path, kNoValue, read[j].text);
}

}  // namespace

bool SameValue(std::string_view written, std::string_view readBack) {
  if (written == readBack) return true;
  int writtenDecimals = 0, readDecimals = 0;
  double a = 0, b = 0;
  if (!ReadNumber(written, a, writtenDecimals) || !ReadNumber(readBack, b, readDecimals))
    return false;
  // Rounding to the decimals the target keeps is its precision, not lost data.
  const double tolerance = HalfUnit(readDecimals) + 1e-12 * std::max(std::fabs(a), 1.0);
  return std::fabs(a - b) <= tolerance;
}

void WrittenRecords::Add(pugi::xml_node record) {
  std::string path;
  flat_.clear();
  held_.clear();
  // The texts stay where the record holds them; only the paths need keeping.
  std::vector<size_t> ends;
  FlattenRecord(record, path, [&](std::string_view valuePath, std::string_view text) {
    held_ += valuePath;
    ends.push_back(held_.size());
    flat_.push_back({{}, text});
  });
  size_t begin = 0;
  for (size_t i = 0; i < flat_.size(); ++i) {
    flat_[i].path = std::string_view(held_).substr(begin, ends[i] - begin);
    begin = ends[i];
  }
  Add(record.name(), flat_);
}

void WrittenRecords::Add(std::string_view name, const std::vector<FlatValue>& values) {
  const size_t number = unwritten_.size();
  unwritten_.push_back(false);
  for (const FlatValue& value : values) {
    text_.Append(value.text);
    text_.Append('\0');
  }
  // Records mostly come in runs of one shape or alternate among a few (an optional code, say):
  // the shapes met last are compared part by part before one is looked up whole.
  const auto same = [&name, &values](const RecentShape& shape) {
    return name == shape.name && values.size() == shape.paths.size() &&
           std::equal(values.begin(), values.end(), shape.paths.begin(),
                      [](const FlatValue& v, const std::string& path) { return v.path == path; });
  };
  auto recent = std::find_if(recent_.begin(), recent_.end(), same);
  if (recent == recent_.end()) {
    shape_ = name;
    shape_ += '\0';
    for (const FlatValue& value : values) {
      shape_ += value.path;
      shape_ += '\0';
    }
    const auto [at, added] = shapeNumbers_.emplace(shape_, static_cast<uint32_t>(shapes_.size()));
    if (added) shapes_.push_back(shape_);
    if (recent_.size() == kRecentShapes) recent_.pop_back();
    RecentShape shape{std::string(name), {}, at->second};
    for (const FlatValue& value : values) shape.paths.emplace_back(value.path);
    recent_.insert(recent_.begin(), std::move(shape));
    recent = recent_.begin();
  }
  if (runs_.Empty() || recent->number != lastShape_) {
    runs_.PushBack({number, recent->number});
    lastShape_ = recent->number;
  }
}

void WrittenRecords::MarkUnwritten(const std::vector<size_t>& numbers) {
  for (size_t number : numbers)
    if (number >= 1 && number <= unwritten_.size()) unwritten_[number - 1] = true;
}

// Pairs the records read back, as each is read, with the written ones in their order.
class ReadBackComparison {
 public:
  ReadBackComparison(const WrittenRecords& written, ConversionCheck& check,
                     const std::unordered_set<size_t>& spoiled, size_t firstSpoiled)
      : written_(written),
        check_(check),
        out_(check),
        spoiled_(spoiled),
        firstSpoiled_(firstSpoiled) {}

  // After the read: the written records nothing was read for.
  void Finish(bool whole) {
    for (; next_ < written_.Count(); ++next_) {
      if (written_.unwritten_[next_]) {
        NotWritten();
        continue;
      }
      if (!whole) {
        // Reading back stopped here; the records after it cannot be compared.
        check_.readBackRecord = next_ + 1;
        break;
      }
      Written(next_, record_);
      out_.Add(next_ + 1, "(record)", record_.name, kNoValue);
    }
  }

  // One record read back.
  void Compare(std::string_view name, const std::vector<FlatValue>& values) {
    while (next_ < written_.Count() && written_.unwritten_[next_]) {
      NotWritten();
      ++next_;
    }
    if (next_ == written_.Count()) {
      if (firstSpoiled_ == 0) out_.Add(written_.Count() + 1, "(record)", kNoValue, name);
      return;
    }
    // A value too wide shifts what follows it: that record is reported once, already.
    if (spoiled_.empty() || !spoiled_.count(next_ + 1)) {
      Written(next_, record_);
      CompareRecord(next_ + 1, record_, name, values, used_, out_);
    }
    ++next_;
  }

 private:
  void NotWritten() {
    Written(next_, record_);
    out_.Add(next_ + 1, "(record)", record_.name, "(not written)");
  }

  // The records are asked for in order, each once at most: the walk through the values and
  // through the runs of shapes goes on from the last one asked for.
  void Written(size_t index, FlatRecord& record) {
    const auto next = [](std::string_view& rest) {
      const size_t zero = rest.find('\0');
      const std::string_view part = rest.substr(0, zero);
      rest.remove_prefix(zero + 1);
      return part;
    };
    for (; walked_ <= index; ++walked_) {
      if (run_ + 1 < written_.runs_.Size() && written_.runs_[run_ + 1].first == walked_) ++run_;
      const uint32_t shapeNumber = written_.runs_[run_].shape;
      if (shapeNumber != shapeNumber_) {
        shapeNumber_ = shapeNumber;
        std::string_view shape = written_.shapes_[shapeNumber];
        shapeName_ = next(shape);
        shapePaths_.clear();
        while (!shape.empty()) shapePaths_.push_back(next(shape));
      }
      record.name = shapeName_;
      record.values.clear();
      for (const std::string_view path : shapePaths_) record.values.push_back({path, next(rest_)});
    }
  }

  const WrittenRecords& written_;
  ConversionCheck& check_;
  Collector out_;
  const std::unordered_set<size_t>& spoiled_;
  size_t firstSpoiled_;
  size_t next_ = 0;  // the written record the next one read pairs with
  FlatRecord record_;
  std::vector<char> used_;  // per value read back: paired already
  size_t walked_ = 0;       // the records before it have been walked
  size_t run_ = 0;
  std::string_view rest_{written_.text_.Data(),
                         written_.text_.Size()};  // the values of the records not walked yet
  uint32_t shapeNumber_ = UINT32_MAX;             // the shape split last
  std::string_view shapeName_;
  std::vector<std::string_view> shapePaths_;
};

// The records read back, handed in batches from the thread that parses the target to the one
// that compares them: parsing and comparing, each a good part of the check, go side by side.
// Batches go round a fixed few, so the memory they take stays small and is touched once.
class ReadBackRelay : public RecordSink {
 public:
  // Calls compare(name, values) for each record relayed, in order, until the parse is over.
  template <typename Compare>
  void Drain(const Compare& compare) {
    std::vector<FlatValue> values;
    while (Batch* batch = NextFull()) {
      const std::string_view text(batch->text.Data(), batch->text.Size());
      for (const Record& record : batch->records) {
        values.clear();
        const std::string_view held = text.substr(record.held);
        for (size_t i = record.firstSpan; i < record.firstSpan + record.spanCount; ++i) {
          const Span& s = batch->spans[i];
          values.push_back({s.fixedPath.data() ? s.fixedPath : held.substr(s.path, s.pathLength),
                            held.substr(s.text, s.textLength)});
        }
        compare(record.name, values);
      }
      Recycle(batch);
    }
  }

  // From the parsing thread, once it is done: what is still gathered goes out.
  void Close() {
    if (current_ && !current_->records.empty()) Send();
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
  }

  // Without a second thread: each record goes straight to compare as it is read.
  void CompareDirectly(
      std::function<void(std::string_view, const std::vector<FlatValue>&)> compare) {
    direct_ = std::move(compare);
  }

  // From the comparing thread when it gives up: the parse runs on without relaying.
  void Stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }

 protected:
  // Layout is no value: the read-back parse need not make it, nor any node.
  bool KeepsLayout() const override { return false; }
  bool TakesValues() const override { return true; }
  bool TakesNodes() const override { return false; }

  void TakeValues(std::string_view name, const std::vector<FlatValue>& values) override {
    direct_(name, values);
  }

  // The record goes as the parse holds it: its bytes and where its values stand in them.
  void TakeHeld(std::string_view name, std::string_view held,
                const std::vector<Span>& spans) override {
    if (direct_) {
      RecordSink::TakeHeld(name, held, spans);
      return;
    }
    if (!current_ && !(current_ = NextFree())) return;  // stopped
    Batch& b = *current_;
    b.records.push_back({name, b.text.Size(), b.spans.size(), spans.size()});
    b.text.Append(held);
    b.spans.insert(b.spans.end(), spans.begin(), spans.end());
    if (b.records.size() >= kRecordsPerBatch) Send();
  }

 private:
  static constexpr size_t kBatches = 4;
  static constexpr size_t kRecordsPerBatch = 512;
  struct Record {
    std::string_view name;  // the parser's own
    size_t held, firstSpan, spanCount;
  };
  struct Batch {
    ByteBlock text;
    std::vector<Span> spans;
    std::vector<Record> records;
  };

  void Send() {
    std::lock_guard lock(mutex_);
    full_.push_back(current_);
    current_ = nullptr;
    changed_.notify_all();
  }

  Batch* NextFree() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopped_ || !free_.empty() || made_ < kBatches; });
    if (stopped_) return nullptr;
    if (free_.empty()) {
      batches_[made_] = std::make_unique<Batch>();
      return batches_[made_++].get();
    }
    Batch* batch = free_.back();
    free_.pop_back();
    batch->text.Resize(0);
    batch->spans.clear();
    batch->records.clear();
    return batch;
  }

  Batch* NextFull() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !full_.empty() || closed_; });
    if (full_.empty()) return nullptr;
    Batch* batch = full_.front();
    full_.erase(full_.begin());
    return batch;
  }

  void Recycle(Batch* batch) {
    std::lock_guard lock(mutex_);
    free_.push_back(batch);
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::array<std::unique_ptr<Batch>, kBatches> batches_;
  size_t made_ = 0;
  std::vector<Batch*> free_;
  std::vector<Batch*> full_;  // in the order read
  bool closed_ = false;
  bool stopped_ = false;
  Batch* current_ = nullptr;  // the parsing thread's
  std::function<void(std::string_view, const std::vector<FlatValue>&)> direct_;
};

ConversionCheck WrittenRecords::Check(FormatDefinition& target, const std::filesystem::path& output,
                                      const std::vector<FieldOverflow>& overflows,
                                      ByteBlock* memory) const {
  ConversionCheck check;
  check.ran = true;
  std::unordered_set<size_t> spoiled;
  size_t firstSpoiled = 0;
  for (const FieldOverflow& o : overflows) {
    const size_t record = o.number <= Count() ? o.number : 0;
    ++check.count;
    ++check.tooWideCount;
    if (check.tooWide.size() < kMaxReportedDifferences)
      check.tooWide.push_back({record, o.element, o.value, o.width});
    if (record == 0) continue;
    spoiled.insert(record);
    if (firstSpoiled == 0 || record < firstSpoiled) firstSpoiled = record;
  }
  pugi::xml_document document;
  pugi::xml_node data = NewDataDocument(document);
  ParseFailure failure;
  ReadBackComparison comparison(*this, check, spoiled, firstSpoiled);
  ReadBackRelay relay;
  relay.ShareMemory(memory);

  const auto compare = [&comparison](std::string_view name, const std::vector<FlatValue>& values) {
    comparison.Compare(name, values);
  };
  bool whole = false;
  std::exception_ptr parseError;
  std::thread parser;
  try {
    parser = std::thread([&] {
      try {
        whole = target.ParseFile(output, data, &failure, &relay);
      } catch (...) {
        parseError = std::current_exception();
      }
      relay.Close();
    });
  } catch (const std::system_error&) {
    // No thread to be had: the same work, one record after the other.
    relay.CompareDirectly(compare);
    whole = target.ParseFile(output, data, &failure, &relay);
  }
  if (parser.joinable()) {
    try {
      relay.Drain(compare);
    } catch (...) {
      relay.Stop();
      parser.join();
      throw;
    }
    parser.join();
    if (parseError) std::rethrow_exception(parseError);
  }
  comparison.Finish(whole);
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
