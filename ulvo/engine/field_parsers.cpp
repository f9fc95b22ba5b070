#include "ulvo/engine/field_parsers.h"

#include <cmath>
#include <cstring>

#include "ulvo/engine/text_codec.h"

namespace ulvo {
namespace {

// The literal compares as zero-terminated strings: bytes behind a zero take no part.
bool SameUpToZero(std::string_view a, std::string_view b) {
  for (size_t i = 0;; ++i) {
    const char ca = i < a.size() ? a[i] : '\0';
    const char cb = i < b.size() ? b[i] : '\0';
    if (ca != cb) return false;
    if (ca == '\0') return true;
  }
}

int DecimalsAfterPoint(const std::string& s) {
  const size_t point = s.find('.');
  if (point == std::string::npos) return 0;
  const size_t count = s.size() - point - 1;
  return count > 0x7FFFFFF ? 0x7FFFFFF : static_cast<int>(count);
}

bool StartsWithSign(const std::string& s) {
  return !s.empty() && (s[0] == '+' || s[0] == '-');
}

// A plain decimal ("-12.345") without a leading zero before its integer digits and with
// at most 15 digits: a double holds it exactly enough that printing it again with its own
// decimals gives the same text, so reading it needs no round trip through a double.
bool PrintsAsItself(const std::string& s) {
  size_t i = !s.empty() && s[0] == '-' ? 1 : 0;
  const size_t first = i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  const size_t integer = i - first;
  if (integer == 0 || (integer > 1 && s[first] == '0')) return false;
  size_t digits = integer;
  if (i < s.size()) {
    if (s[i] != '.' || i + 1 == s.size()) return false;
    for (++i; i < s.size(); ++i, ++digits)
      if (s[i] < '0' || s[i] > '9') return false;
  }
  return digits <= 15;
}

// The top-level record source belongs to, and the field's name as the conversion check
// names values ("GROUP/ELEMENT" inside a nested record).
void LocateField(pugi::xml_node source, const void* records, FieldOverflow& note) {
  if (source.internal_object() == records) return;  // a value outside every record
  pugi::xml_node record = source;
  while (record.parent() && record.parent().internal_object() != records) {
    note.element = std::string(record.name()) + "/" + note.element;
    record = record.parent();
  }
  if (record.parent()) note.record = record.internal_object();
}

}  // namespace

LiteralParser::LiteralParser(const std::string& definitionText, bool hex)
    : text_(hex ? HexToBytes(definitionText) : TextToBytes(definitionText)) {}

bool LiteralParser::Parse(InputBuffer& in, uint32_t avail, pugi::xml_node) {
  in.Step();
  if (text_.size() > avail) return false;
  const uint64_t start = in.Position();
  const std::string_view got = in.Read(text_.size());
  if (got.size() < text_.size() || !SameUpToZero(got, text_)) {
    in.Seek(start);
    return false;
  }
  return true;
}

bool LiteralParser::Write(pugi::xml_node, OutputBuffer& out) {
  out.Write(text_);
  return true;
}

bool FormatParser::Parse(InputBuffer& in, uint32_t avail, pugi::xml_node target) {
  in.Step();
  if (avail == 0) return false;
  uint32_t n = avail;
  if (width_ > 0) {
    if (static_cast<uint32_t>(width_) > avail) return false;
    n = static_cast<uint32_t>(width_);
  }
  const uint64_t start = in.Position();
  const std::string_view got = in.Read(n);
  if (got.size() < n) {
    in.Seek(start);
    return false;
  }
  // The fill goes before the text is copied: one copy of what stays.
  std::string s;
  if (alignRight_) {
    const size_t i = !got.empty() && (got[0] == '+' || got[0] == '-') ? 1 : 0;
    size_t removed = 0;
    while (i + removed < got.size() && i < got.size() - removed - 1 && got[i + removed] == fill_) {
      ++removed;
    }
    s.reserve(got.size() - removed);
    s.append(got.data(), i);
    s.append(got.data() + i + removed, got.size() - i - removed);
  } else {
    size_t keep = got.size();
    while (keep > 0 && got[keep - 1] == fill_) --keep;
    s.assign(got.data(), keep);
  }

  if (sign_) {
    if (!StartsWithSign(s)) {
      in.Seek(start);
      return false;
    }
    if (s[0] == '+') s.erase(0, 1);
  }

  if (Numeric()) {
    int decimals = DecimalsAfterPoint(s);
    if (precision_ >= 0 && decimals != precision_) {
      in.Seek(start);
      return false;
    }
    // Subtracting an offset of -0 turns -0 into 0: only a true zero leaves the text as it is.
    if (offset_ != 0.0 || std::signbit(offset_) || factor_ != 0.0 || !PrintsAsItself(s)) {
      double value = ReadDouble(s) - offset_;
      if (factor_ != 0.0) {
        value /= factor_;
        const double correction = std::trunc(std::log10(std::fabs(factor_)) + 0.5);
        // An infinite or absurd factor must not overflow the count: it prints the default.
        if (std::isfinite(correction) && std::fabs(correction) <= 400) {
          decimals += static_cast<int>(correction);
        } else {
          decimals = -1;
        }
      }
      s = FormatFixed(value, decimals);
    }
  }

  RecordSink* sink = in.Sink();
  if (sink && sink->ValuesOnly()) {
    TakeValue(s, *sink);
    return true;
  }
  if (!StoreValue(s, target, in.Layout())) {
    in.Seek(start);
    return false;
  }
  if (sink) {
    if (sink->NotesValues()) TakeValue(s, *sink);
    sink->Completed(target);
  }
  return true;
}

bool FormatParser::Write(pugi::xml_node source, OutputBuffer& out) {
  std::string s;
  if (!FetchValue(source, s)) return false;

  if (Numeric()) {
    const int decimals = precision_ >= 0 ? precision_ : DecimalsAfterPoint(s);
    // Without factor or offset a plain decimal is rounded on its text; the result is the same.
    const bool plain = factor_ == 0.0 && offset_ == 0.0 && !std::signbit(offset_);
    if (!plain || !RoundDecimalText(s, decimals)) {
      double value = ReadDouble(s);
      if (factor_ != 0.0) value *= factor_;
      value += offset_;
      s = FormatFixed(value, decimals);
    }
  }

  if (sign_ && !StartsWithSign(s)) s.insert(s.begin(), '+');

  if (width_ > 0 && s.size() > static_cast<size_t>(width_)) {
    // Written in full as the layout says, but the fields after it move: say which value.
    FieldOverflow note{nullptr, FieldName(), s, width_, out.Length()};
    LocateField(source, out.Records(), note);
    out.NoteOverflow(std::move(note));
  } else if (width_ > 0 && static_cast<size_t>(width_) > s.size()) {
    const size_t pad = static_cast<size_t>(width_) - s.size();
    if (alignRight_) {
      const bool afterSign = StartsWithSign(s) && fillSet_ && (fill_ == '0' || fill_ == ' ');
      s.insert(afterSign ? 1 : 0, pad, fill_);
    } else {
      s.append(pad, fill_);
    }
  }
  out.Write(s);
  return true;
}

ElementParser::ElementParser(std::string id) : id_(std::move(id)), validName_(IsXmlName(id_)) {}

bool ElementParser::StoreValue(const std::string& value, pugi::xml_node target, bool layout) {
  if (id_.empty()) return true;
  if (!target) throw DocumentError("no target node");
  if (!validName_) throw DocumentError("invalid element name: " + id_);
  if (layout) AppendText(target, "\t\t");
  pugi::xml_node element = target.append_child(id_.c_str());
  if (!element) throw DocumentError("cannot append value");
  pugi::xml_node text = element.append_child(pugi::node_pcdata);
  if (!text) throw DocumentError("cannot append value text");
  text.set_value(BytesToText(value).c_str());
  if (layout) AppendText(target, "\r\n");
  return true;
}

void ElementParser::TakeValue(const std::string& value, RecordSink& sink) {
  if (id_.empty()) return;
  if (!validName_) throw DocumentError("invalid element name: " + id_);
  sink.AddValue(id_, value);
}

bool ElementParser::FetchValue(pugi::xml_node source, std::string& value) {
  if (id_.empty()) return false;
  for (pugi::xml_node child = source.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element || std::strcmp(id_.c_str(), child.name()) != 0) continue;
    for (pugi::xml_node text = child.first_child(); text; text = text.next_sibling()) {
      if (text.type() == pugi::node_pcdata) {
        value = TextToBytes(text.value());
        return true;
      }
    }
  }
  return false;
}

CountParser::CountParser(std::string id) : id_(std::move(id)) {
  try {
    query_ = std::make_unique<pugi::xpath_query>(("./" + id_).c_str());
  } catch (const pugi::xpath_exception&) {
    query_.reset();
  }
}

CountParser::~CountParser() = default;

bool CountParser::StoreValue(const std::string&, pugi::xml_node, bool) {
  return true;
}

bool CountParser::FetchValue(pugi::xml_node source, std::string& value) {
  if (!query_) return false;
  size_t count = 0;
  try {
    count = query_->evaluate_node_set(source).size();
  } catch (const pugi::xpath_exception&) {
    return false;  // a path whose result is not a set of nodes ("./1+1")
  }
  value = std::to_string(static_cast<long>(count));
  return true;
}

}  // namespace ulvo
