#include "ulvo/engine/format_definition.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>
#include <optional>
#include <sstream>
#include <system_error>

#include "ulvo/engine/data_document.h"
#include "ulvo/engine/definition_file.h"
#include "ulvo/engine/field_parsers.h"
#include "ulvo/engine/record_writer.h"
#include "ulvo/engine/replace_file.h"
#include "ulvo/engine/text_codec.h"

namespace ulvo {
namespace {

// Processing instructions and the document type are kept, so saving writes them back.
constexpr unsigned kDefinitionParseOptions = pugi::parse_default | pugi::parse_declaration |
                                             pugi::parse_comments | pugi::parse_pi |
                                             pugi::parse_doctype;

std::string TooLarge(const std::filesystem::path& input) {
  return input.string() + ": the file is larger than 64 MiB";
}

const char* EncodingName(pugi::xml_encoding encoding) {
  switch (encoding) {
    case pugi::encoding_utf16_le:
    case pugi::encoding_utf16_be:
      return "UTF-16";
    case pugi::encoding_utf32_le:
    case pugi::encoding_utf32_be:
      return "UTF-32";
    case pugi::encoding_latin1:
      return "Latin-1";
    default:
      return "UTF-8";
  }
}

bool IsTrue(pugi::xml_node node, const char* attribute) {
  return std::strcmp(node.attribute(attribute).value(), "true") == 0;
}

bool ApplyFormatting(pugi::xml_node node, FormatParser& field) {
  if (pugi::xml_attribute a = node.attribute("width")) {
    const int width = ReadInt(a.value());
    if (width > kMaxFieldWidth) return false;
    field.SetWidth(width);
  }
  if (pugi::xml_attribute a = node.attribute("align")) {
    field.SetAlignRight(std::strcmp(a.value(), "right") == 0);
  }
  if (pugi::xml_attribute a = node.attribute("fill"); a && *a.value()) {
    field.SetFill(TextToBytes(a.value())[0]);
  }
  if (pugi::xml_attribute a = node.attribute("sign")) field.SetSign(IsTrue(node, "sign"));
  if (pugi::xml_attribute a = node.attribute("offset")) field.SetOffset(ReadDouble(a.value()));
  if (pugi::xml_attribute a = node.attribute("factor")) field.SetFactor(ReadDouble(a.value()));
  if (pugi::xml_attribute a = node.attribute("precision")) {
    const int precision = ReadInt(a.value());
    if (precision > kMaxPrecision) return false;
    field.SetPrecision(precision);
  }
  return true;
}

std::string LiteralText(pugi::xml_node node) {
  pugi::xml_node text =
      node.find_child([](pugi::xml_node n) { return n.type() == pugi::node_pcdata; });
  return text.value();
}

std::unique_ptr<MultiParser> NewContainer(const char* tag, pugi::xml_node node) {
  if (std::strcmp(tag, "multi") == 0) return std::make_unique<MultiParser>();
  if (std::strcmp(tag, "node") == 0) return std::make_unique<NodeParser>();
  if (std::strcmp(tag, "radio") == 0) return std::make_unique<RadioParser>();
  if (std::strcmp(tag, "repeat") == 0) return std::make_unique<RepeatParser>();
  if (std::strcmp(tag, "optional") == 0) return std::make_unique<OptionalParser>();
  if (std::strcmp(tag, "terminated") == 0) return std::make_unique<TerminatedParser>();
  if (std::strcmp(tag, "group") == 0) {
    return std::make_unique<GroupParser>(node.attribute("id").value());
  }
  return nullptr;
}

bool BuildChildren(pugi::xml_node element, MultiParser& container, int depth) {
  if (depth > kMaxDefinitionDepth) return false;
  for (pugi::xml_node node = element.first_child(); node; node = node.next_sibling()) {
    if (node.type() != pugi::node_element) continue;
    const char* tag = node.name();
    std::unique_ptr<Parser> built;
    if (std::strcmp(tag, "literal") == 0) {
      built = std::make_unique<LiteralParser>(LiteralText(node), IsTrue(node, "hex"));
    } else if (std::strcmp(tag, "element") == 0) {
      auto field = std::make_unique<ElementParser>(node.attribute("id").value());
      if (!ApplyFormatting(node, *field)) return false;
      built = std::move(field);
    } else if (std::strcmp(tag, "count") == 0) {
      if (!node.attribute("id")) return false;
      auto field = std::make_unique<CountParser>(node.attribute("id").value());
      if (!ApplyFormatting(node, *field)) return false;
      built = std::move(field);
    } else if (auto inner = NewContainer(tag, node)) {
      if (!BuildChildren(node, *inner, depth + 1)) return false;
      built = std::move(inner);
    } else {
      return false;
    }
    container.Append(std::move(built));
  }
  return true;
}

}  // namespace

FormatDefinition::FormatDefinition(std::filesystem::path path)
    : path_(std::move(path)), document_(std::make_unique<pugi::xml_document>()) {
  pugi::xml_node declaration = document_->append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  document_->append_child(pugi::node_comment).set_value("ULVO File Format Definition");
  pugi::xml_node format = document_->append_child("format");
  format.append_attribute("simple") = "true";
  radio_ = format.append_child("repeat").append_child("node").append_child("radio");
}

FormatDefinition::~FormatDefinition() {
  // Groups refer to the document, so they go first.
  groups_.clear();
  root_.reset();
}

void FormatDefinition::Clear() {
  groups_.clear();
  root_.reset();
  radio_ = pugi::xml_node();
  simple_ = false;
  document_ = std::make_unique<pugi::xml_document>();
  encoding_ = FileEncoding{};
  layout_.Clear();
}

bool FormatDefinition::Load() {
  Clear();
  loadError_.clear();
  loadWarnings_.clear();
  std::string bytes;
  if (!ReadFileBytes(path_, bytes)) {
    loadError_ = path_.string() + ": " + FileReason(path_, false);
    return false;
  }
  if (!LoadBytes(bytes)) {
    loadError_ = path_.string() + ": " + loadError_;
    return false;
  }
  return true;
}

bool FormatDefinition::LoadBytes(const std::string& bytes) {
  loadWarnings_.clear();
  try {
    const pugi::xml_parse_result parsed = document_->load_buffer(
        bytes.data(), bytes.size(), kDefinitionParseOptions, pugi::encoding_auto);
    if (!parsed) {
      uint64_t line = 1, column = 1;
      LineAndColumn(bytes, static_cast<uint64_t>(std::max<ptrdiff_t>(parsed.offset, 0)), line,
                    column);
      loadError_ = std::string(parsed.description()) + " at line " + std::to_string(line) +
                   ", column " + std::to_string(column);
      return false;
    }
    if (!IsWellFormedXml(bytes)) {
      loadError_ =
          "not well-formed XML (a second root element, text outside the root, an "
          "undeclared entity or a repeated attribute)";
      document_->reset();
      return false;
    }
    encoding_ = DetectFileEncoding(bytes, parsed.encoding);
    // Read again from the UTF-8 text, so that positions in the document are positions in the
    // text the layout keeps.
    std::string text = DecodeDocumentText(bytes, encoding_);
    if (text != bytes && !document_->load_buffer(text.data(), text.size(), kDefinitionParseOptions,
                                                 pugi::encoding_utf8)) {
      loadError_ = "the text cannot be read as " + std::string(EncodingName(encoding_.encoding));
      return false;
    }
    pugi::xml_node format = document_->document_element();
    if (std::strcmp(format.name(), "format") != 0) {
      loadError_ = std::string("the root element is <") + format.name() + ">, not <format>";
      return false;
    }
    type_ = format.attribute("type").value();
    name_ = format.attribute("name").value();
    simple_ = IsTrue(format, "simple");
    if (std::string problem = CheckDefinitionTree(format, text, &loadWarnings_); !problem.empty()) {
      loadError_ = problem;
      return false;
    }
    root_ = std::make_unique<MultiParser>();
    if (!BuildChildren(format, *root_, 1)) {
      loadError_ = "the parser tree cannot be built";
      return false;
    }
    if (simple_) {
      radio_ = document_->first_element_by_path("/format/repeat/node/radio");
      for (pugi::xml_node group = radio_.child("group"); group;
           group = group.next_sibling("group")) {
        groups_.push_back(std::make_unique<GroupDefinition>(group));
      }
    }
    // Without positions the definition is still saved, only not in its own layout.
    layout_.Record(*document_, std::move(text));
  } catch (const std::bad_alloc&) {
    // Out of memory is no property of the file: the caller says so, naming it.
    throw;
  } catch (const std::exception& e) {
    loadError_ = e.what();
    return false;
  }
  modified_ = false;
  return true;
}

bool FormatDefinition::Save(std::string* reason, const ChunkWriter& write) {
  std::string ignored;
  std::string& why = reason ? *reason : ignored;
  why.clear();
  try {
    for (const auto& group : groups_) {
      if (!group->IsModified()) continue;
      group->Rewrite();
      // The document now holds the edit: a failed write must leave the format to be saved.
      modified_ = true;
    }
    std::string text;
    if (layout_.Recorded()) {
      text = layout_.Write(*document_);
    } else {
      std::ostringstream out;
      WriteDocument(*document_, out);
      text = out.str();
    }
    const std::string bytes = EncodeDocumentText(text, encoding_);
    // Nothing that would not load again reaches the file.
    FormatDefinition check(path_);
    if (!check.LoadBytes(bytes)) {
      why = path_.string() + ": the definition would not load again: " + check.loadError_;
      return false;
    }
    std::string system;
    if (!ReplaceFile(path_, bytes, &system, write)) {
      why = path_.string() + ": " + system;
      return false;
    }
  } catch (const std::exception& e) {
    why = path_.string() + ": " + e.what();
    return false;
  }
  modified_ = false;
  return true;
}

bool FormatDefinition::ParseFile(const std::filesystem::path& input, pugi::xml_node target,
                                 ParseFailure* failure, RecordSink* sink) {
  ParseFailure ignored;
  ParseFailure& why = failure ? *failure : ignored;
  why = ParseFailure{};
  if (!root_) {
    why.reason = "the format has no parser tree";
    why.unread = true;
    return false;
  }
  ByteBlock bytes;
  std::optional<InputBuffer> in;
  // The sink's shared memory holds the input and keeps it for the next parse.
  struct GiveBack {
    ByteBlock* shared;
    ByteBlock& bytes;
    std::optional<InputBuffer>& in;
    ~GiveBack() {
      if (shared) *shared = in ? in->TakeBytes() : std::move(bytes);
    }
  } giveBack{sink ? sink->SharedMemory() : nullptr, bytes, in};
  if (giveBack.shared) bytes = std::move(*giveBack.shared);
  bool started = false;
  // Whatever ends the run, the items complete by then go to the sink; a sink keeps its own
  // failures, so one here cannot replace the reason the run ended.
  const auto settle = [&] {
    try {
      if (started) sink->Completed(target);
    } catch (const std::exception&) {
    }
  };
  try {
    why.reason = InputProblem(input);
    if (why.reason.empty() && !ReadFileBytes(input, bytes))
      why.reason = input.string() + ": " + FileReason(input, false);
    if (why.reason.empty() && bytes.Size() > kMaxDataBytes) why.reason = TooLarge(input);
    if (!why.reason.empty()) {
      why.unread = true;
      return false;
    }
    const auto length = static_cast<uint32_t>(bytes.Size());
    in.emplace(std::move(bytes));
    in->SetStepBudget(kParseStepsBase + kParseStepsPerByte * length);
    if (sink) {
      in->SetSink(sink);
      in->SetLayout(sink->KeepsLayout());
      sink->Start(target);
      started = true;
    }
    const bool parsed = root_->Parse(*in, length, target);
    settle();
    if (parsed && in->Position() == length) return true;
    const uint64_t reached = std::max(in->FurthestFailure(), parsed ? in->Position() : 0);
    why.offset = reached;
    in->Seek(0);
    LineAndColumn(in->Peek(reached), reached, why.line, why.column);
    why.records = sink ? sink->Elements() : 0;
    for (pugi::xml_node n = target.first_child(); n; n = n.next_sibling())
      if (n.type() == pugi::node_element) ++why.records;
    return false;
  } catch (const std::bad_alloc&) {
    // Out of memory is no property of the file: the caller says so, naming it.
    throw;
  } catch (const std::length_error&) {
    why.reason = "the format tries too many ways to read this input; parsing was stopped";
    settle();
    return false;
  } catch (const std::exception& e) {
    why.reason = e.what();
    settle();
    return false;
  }
}

std::string InputProblem(const std::filesystem::path& input) {
  std::error_code ec;
  if (const uintmax_t size = std::filesystem::file_size(input, ec); !ec && size > kMaxDataBytes)
    return TooLarge(input);
  const std::string why = FileReason(input, false);
  return why.empty() ? why : input.string() + ": " + why;
}

bool FormatDefinition::WriteFile(pugi::xml_node source, const std::filesystem::path& output,
                                 std::string* reason, std::vector<FieldOverflow>* overflows) {
  RecordWriter writer(root_.get(), output, source, false);
  const bool ok = writer.Finish(reason);
  if (overflows) *overflows = writer.Overflows();
  return ok;
}

void FormatDefinition::SetType(const std::string& type) {
  pugi::xml_node format = document_->document_element();
  if (!format) throw DocumentError("definition has no root");
  pugi::xml_attribute a = format.attribute("type");
  if (!a) a = format.append_attribute("type");
  a.set_value(type.c_str());
  type_ = type;
  modified_ = true;
}

void FormatDefinition::SetName(const std::string& name) {
  pugi::xml_node format = document_->document_element();
  if (!format) throw DocumentError("definition has no root");
  pugi::xml_attribute a = format.attribute("name");
  if (!a) a = format.append_attribute("name");
  a.set_value(name.c_str());
  name_ = name;
  modified_ = true;
}

GroupDefinition* FormatDefinition::AddGroup() {
  if (!radio_) throw DocumentError("definition has no choice node");
  pugi::xml_node element = radio_.append_child("group");
  if (!element) throw DocumentError("cannot add group");
  groups_.push_back(std::make_unique<GroupDefinition>(element));
  modified_ = true;
  return groups_.back().get();
}

void FormatDefinition::RemoveGroup(GroupDefinition* group) {
  auto it = std::find_if(groups_.begin(), groups_.end(),
                         [group](const auto& g) { return g.get() == group; });
  if (it == groups_.end()) return;
  radio_.remove_child((*it)->Element());
  groups_.erase(it);
  modified_ = true;
}

bool FormatDefinition::IsModified() const {
  if (modified_) return true;
  return std::any_of(groups_.begin(), groups_.end(), [](const auto& g) { return g->IsModified(); });
}

void FormatList::Refresh(const std::filesystem::path& programFolder) {
  formats_.clear();
  failures_.clear();
  std::vector<std::filesystem::path> entries;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(programFolder / "Formats", ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    // A save cut short leaves its temporary file: never a second copy of the format.
    if (!IsReplaceTemporary(it->path())) entries.push_back(it->path());
  }
  std::sort(entries.begin(), entries.end());
  for (const auto& entry : entries) {
    auto format = std::make_unique<FormatDefinition>(entry);
    if (format->Load()) {
      formats_.push_back(std::move(format));
    } else {
      failures_.emplace_back(entry, format->LoadError());
    }
  }
}

FormatDefinition* FormatList::Find(const std::string& name) const {
  for (const auto& format : formats_) {
    if (format->Name() == name) return format.get();
  }
  return nullptr;
}

FormatDefinition* FormatList::AddNew() {
  formats_.push_back(std::make_unique<FormatDefinition>());
  return formats_.back().get();
}

void FormatList::Remove(FormatDefinition* format) {
  auto it = std::find_if(formats_.begin(), formats_.end(),
                         [format](const auto& f) { return f.get() == format; });
  if (it != formats_.end()) formats_.erase(it);
}

std::string SafeFileName(const std::string& name) {
  std::string safe;
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    const bool refused = c < 0x20 || c == 0x7F || std::strchr("/\\:*?\"<>|", ch) != nullptr;
    safe.push_back(refused ? '_' : ch);
  }
  // ".." never names a parent; a leading dot would hide the file.
  for (size_t at = safe.find(".."); at != std::string::npos; at = safe.find("..")) {
    safe.replace(at, 2, "__");
  }
  if (!safe.empty() && safe[0] == '.') safe[0] = '_';
  // Room for a number and ".xml" within the usual 255-byte limit, cut at a character start.
  constexpr size_t kMaxBytes = 200;
  if (safe.size() > kMaxBytes) {
    size_t cut = kMaxBytes;
    while (cut > 0 && (static_cast<unsigned char>(safe[cut]) & 0xC0) == 0x80) --cut;
    safe.resize(cut);
  }
  if (safe.empty()) safe = "Format";
  return safe;
}

std::filesystem::path NewFormatFilePath(const std::filesystem::path& programFolder,
                                        const std::string& name) {
  const std::filesystem::path folder = programFolder / "Formats";
  const std::string base = SafeFileName(name);
  std::error_code ec;
  std::filesystem::path candidate = folder / (base + ".xml");
  for (int n = 2; std::filesystem::exists(candidate, ec); ++n) {
    candidate = folder / (base + std::to_string(n) + ".xml");
  }
  return candidate;
}

}  // namespace ulvo
