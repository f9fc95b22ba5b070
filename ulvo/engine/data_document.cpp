#include "ulvo/engine/data_document.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <system_error>

namespace ulvo {
namespace {

constexpr unsigned kDataParseOptions =
    (pugi::parse_default | pugi::parse_declaration | pugi::parse_comments) & ~pugi::parse_eol;

// pugixml hands its text over in pieces of a few kilobytes, and a file stream sends every
// piece of a kilobyte or more to the system at once; collecting them makes few large writes.
class ChunkedWriter : public pugi::xml_writer {
 public:
  explicit ChunkedWriter(std::ostream& out) : out_(out) { buffer_.reserve(kChunk); }
  ChunkedWriter(const ChunkedWriter&) = delete;
  ChunkedWriter& operator=(const ChunkedWriter&) = delete;
  ~ChunkedWriter() override { Flush(); }

  void write(const void* data, size_t size) override {
    if (buffer_.size() + size > kChunk) Flush();
    if (size >= kChunk) {
      out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    } else {
      buffer_.append(static_cast<const char*>(data), size);
    }
  }

  void Flush() {
    out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
  }

 private:
  static constexpr size_t kChunk = size_t{1} << 20;
  std::ostream& out_;
  std::string buffer_;
};

}  // namespace

DataDocumentFile::DataDocumentFile(const std::filesystem::path& path)
    : file_(path, std::ios::binary | std::ios::trunc),
      writer_(std::make_unique<ChunkedWriter>(file_)) {}

DataDocumentFile::~DataDocumentFile() = default;

void DataDocumentFile::Begin(pugi::xml_node data) {
  for (pugi::xml_node node = data.root().first_child(); node && node != data;
       node = node.next_sibling()) {
    node.print(*writer_, "", pugi::format_raw);
    writer_->write("\r\n", 2);
  }
  const std::string name = data.name();
  const std::string start = "<" + name + ">";
  writer_->write(start.data(), start.size());
  for (pugi::xml_node item = data.first_child(); item; item = item.next_sibling()) Append(item);
  end_ = "</" + name + ">\r\n";
}

void DataDocumentFile::Append(pugi::xml_node item) {
  item.print(*writer_, "", pugi::format_raw);
}

bool DataDocumentFile::Finish() {
  if (!writer_) return static_cast<bool>(file_);
  writer_->write(end_.data(), end_.size());
  writer_.reset();  // hands over what it still holds
  file_.flush();
  return static_cast<bool>(file_);
}

pugi::xml_node NewDataDocument(pugi::xml_document& doc) {
  doc.reset();
  pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  doc.append_child(pugi::node_comment).set_value("ULVO Instrument Data");
  pugi::xml_node data = doc.append_child("data");
  data.append_child(pugi::node_pcdata).set_value("\r\n");
  return data;
}

void WriteDocument(const pugi::xml_document& doc, std::ostream& out) {
  ChunkedWriter writer(out);
  for (pugi::xml_node node = doc.first_child(); node; node = node.next_sibling()) {
    node.print(writer, "", pugi::format_raw);
    writer.write("\r\n", 2);
  }
}

bool SaveDocument(const pugi::xml_document& doc, const std::filesystem::path& path) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  WriteDocument(doc, file);
  file.flush();
  return static_cast<bool>(file);
}

bool LoadDataDocument(pugi::xml_document& doc, const std::filesystem::path& path) {
  // The old document goes first, so it is never in memory together with the new one.
  doc.reset();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::ifstream file(path, std::ios::binary);
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (!file || ec || size > SIZE_MAX / 2) return false;
  // Read straight into a buffer the document takes over and parses in place, instead of
  // reading it and having the parser copy it.
  const size_t length = static_cast<size_t>(size);
  char* buffer = static_cast<char*>(pugi::get_memory_allocation_function()(length + 1));
  if (!buffer) return false;
  file.read(buffer, static_cast<std::streamsize>(length));
  const auto got = static_cast<size_t>(file.gcount());
  if (file.bad() || file.peek() != std::char_traits<char>::eof()) {
    // Changed while being read: take it as it is now.
    pugi::get_memory_deallocation_function()(buffer);
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) return false;
    return LoadDataDocumentFromText(doc, bytes);
  }
  return static_cast<bool>(
      doc.load_buffer_inplace_own(buffer, got, kDataParseOptions, pugi::encoding_auto));
}

namespace {

// Reads straight into the result at the size the file has now; one that grows meanwhile is
// read on in pieces, one that shrinks is cut where its bytes end.
template <typename Bytes, typename Resize>
bool ReadInto(const std::filesystem::path& path, Bytes& bytes, const Resize& resize) {
  resize(bytes, 0);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  size_t have = 0;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  size_t want = !ec && size < SIZE_MAX / 2 ? static_cast<size_t>(size) : 0;
  for (;;) {
    if (want == 0) {
      // Only a file that grew has more: room for it is made once it shows.
      if (file.peek() == std::char_traits<char>::eof()) return !file.bad();
      want = 1 << 16;
    }
    resize(bytes, have + want);
    file.read(bytes.data() + have, static_cast<std::streamsize>(want));
    have += static_cast<size_t>(file.gcount());
    resize(bytes, have);
    if (file.bad()) return false;
    if (!file) return true;
    want = 0;
  }
}

}  // namespace

bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes) {
  return ReadInto(path, bytes, [](std::string& b, size_t n) { b.resize(n); });
}

bool ReadFileBytes(const std::filesystem::path& path, ByteBlock& bytes) {
  struct View {
    ByteBlock& block;
    char* data() { return block.Data(); }
  } view{bytes};
  return ReadInto(path, view, [](View& v, size_t n) { v.block.Resize(n); });
}

bool LoadDataDocumentFromText(pugi::xml_document& doc, const std::string& text) {
  return static_cast<bool>(
      doc.load_buffer(text.data(), text.size(), kDataParseOptions, pugi::encoding_auto));
}

}  // namespace ulvo
