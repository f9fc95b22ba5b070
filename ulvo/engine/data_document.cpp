#include "ulvo/engine/data_document.h"

#include <fstream>
#include <system_error>

namespace ulvo {
namespace {

constexpr unsigned kDataParseOptions =
    (pugi::parse_default | pugi::parse_declaration | pugi::parse_comments) & ~pugi::parse_eol;

}  // namespace

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
  for (pugi::xml_node node = doc.first_child(); node; node = node.next_sibling()) {
    node.print(out, "", pugi::format_raw);
    out << "\r\n";
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
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) {
    doc.reset();
    return false;
  }
  return LoadDataDocumentFromText(doc, bytes);
}

bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes) {
  bytes.clear();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  char chunk[1 << 16];
  while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
    bytes.append(chunk, static_cast<size_t>(file.gcount()));
  }
  return !file.bad();
}

bool LoadDataDocumentFromText(pugi::xml_document& doc, const std::string& text) {
  return static_cast<bool>(
      doc.load_buffer(text.data(), text.size(), kDataParseOptions, pugi::encoding_auto));
}

}  // namespace ulvo
