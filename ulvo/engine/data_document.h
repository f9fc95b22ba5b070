#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <pugixml.hpp>

#include "ulvo/engine/byte_stream.h"

namespace ulvo {

// Makes doc a new instrument data document (declaration, comment "ULVO Instrument Data",
// root `data` holding "\r\n") and returns its root.
pugi::xml_node NewDataDocument(pugi::xml_document& doc);

// Writes a document as the program keeps its files: no added indentation, each top-level
// node on a line of its own, ended by CR LF.
void WriteDocument(const pugi::xml_document& doc, std::ostream& out);
bool SaveDocument(const pugi::xml_document& doc, const std::filesystem::path& path);

// Saves an instrument data document while it is being filled: its top-level items are
// written as they complete, so it is never held whole. The file gets the bytes SaveDocument
// gives the complete document.
class DataDocumentFile {
 public:
  explicit DataDocumentFile(const std::filesystem::path& path);
  ~DataDocumentFile();
  DataDocumentFile(const DataDocumentFile&) = delete;
  DataDocumentFile& operator=(const DataDocumentFile&) = delete;

  // What comes before the items of data: the nodes before it, its start tag and what it
  // holds now.
  void Begin(pugi::xml_node data);
  void Append(pugi::xml_node item);
  // Ends data and the file; false when the file could not be written in full.
  bool Finish();

 private:
  std::ofstream file_;
  std::unique_ptr<pugi::xml_writer> writer_;
  std::string end_;
};

// Loads a saved document; text nodes of white space only are not kept. Carriage returns
// inside values are kept, so data bytes survive the scratch file.
bool LoadDataDocument(pugi::xml_document& doc, const std::filesystem::path& path);
bool LoadDataDocumentFromText(pugi::xml_document& doc, const std::string& text);

// The whole content of a regular file; false when it cannot be read (a folder, say).
bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes);
bool ReadFileBytes(const std::filesystem::path& path, ByteBlock& bytes);

}  // namespace ulvo
