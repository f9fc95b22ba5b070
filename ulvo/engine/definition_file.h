#pragma once

#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace ulvo {

// How a definition file was stored, so that saving writes it back the same way.
struct FileEncoding {
  pugi::xml_encoding encoding = pugi::encoding_utf8;
  bool byteOrderMark = false;
};

// The encoding the XML reader found for bytes, and whether they start with a byte order mark.
FileEncoding DetectFileEncoding(std::string_view bytes, pugi::xml_encoding found);

// The XML reader accepts some documents that are not well-formed (a second root element, text
// beside the root, undeclared entities, repeated attributes); those are refused here.
bool IsWellFormedXml(std::string_view bytes);

// The document's UTF-8 text in the given encoding. Characters that Latin-1 cannot hold are
// written as character references, which only attribute values and text can hold anyway.
std::string EncodeDocumentText(std::string_view utf8, const FileEncoding& encoding);

// The UTF-8 text of bytes read in the given encoding, without the byte order mark; the
// reverse of EncodeDocumentText.
std::string DecodeDocumentText(std::string_view bytes, const FileEncoding& encoding);

}  // namespace ulvo
