#pragma once

#include <memory>
#include <string>

#include "ulvo/engine/parser.h"

namespace ulvo {

// Fixed bytes: a separator, a line end, a header word.
class LiteralParser : public Parser {
 public:
  // definitionText is the literal as the definition holds it: the bytes themselves, or
  // hexadecimal pairs when hex is set.
  LiteralParser(const std::string& definitionText, bool hex);
  const std::string& Text() const { return text_; }

  bool Parse(InputBuffer& in, uint32_t avail, pugi::xml_node target) override;
  bool Write(pugi::xml_node source, OutputBuffer& out) override;

 private:
  std::string text_;
};

// The formatting rules shared by element and count fields: width, fill, alignment, sign,
// offset, factor and precision.
class FormatParser : public Parser {
 public:
  void SetWidth(int width) { width_ = width; }
  void SetFill(char fill) {
    fill_ = fill;
    fillSet_ = true;
  }
  void SetAlignRight(bool on) { alignRight_ = on; }
  void SetSign(bool on) { sign_ = on; }
  void SetOffset(double offset) { offset_ = offset; }
  void SetFactor(double factor) { factor_ = factor; }
  void SetPrecision(int precision) { precision_ = precision; }

  bool Parse(InputBuffer& in, uint32_t avail, pugi::xml_node target) override;
  bool Write(pugi::xml_node source, OutputBuffer& out) override;

  // Values are data bytes here; the document side converts them to and from text. layout:
  // whether the value goes between layout text as the data document lays it out.
  virtual bool StoreValue(const std::string& value, pugi::xml_node target, bool layout) = 0;
  virtual bool FetchValue(pugi::xml_node source, std::string& value) = 0;
  // The same for a parse that hands values to a sink instead of storing them.
  virtual void TakeValue(const std::string& value, RecordSink& sink) = 0;
  // How a value too wide for the field names it.
  virtual std::string FieldName() const = 0;

 private:
  bool Numeric() const { return offset_ != 0.0 || factor_ != 0.0 || precision_ >= 0; }

  bool fillSet_ = false;
  int width_ = 0;
  char fill_ = ' ';
  bool alignRight_ = false;
  bool sign_ = false;
  double offset_ = 0.0;
  double factor_ = 0.0;
  int precision_ = -1;
};

// A value stored as an element named id of the instrument data document; with an empty id
// the bytes are read and dropped.
class ElementParser : public FormatParser {
 public:
  explicit ElementParser(std::string id);
  const std::string& Id() const { return id_; }

  bool StoreValue(const std::string& value, pugi::xml_node target, bool layout) override;
  bool FetchValue(pugi::xml_node source, std::string& value) override;
  void TakeValue(const std::string& value, RecordSink& sink) override;
  std::string FieldName() const override { return id_; }

 private:
  std::string id_;
  bool validName_;
};

// Writes how many nodes the path "./id" selects below the source (the records named id); a
// count read from input is checked by the formatting rules and dropped.
class CountParser : public FormatParser {
 public:
  explicit CountParser(std::string id);
  ~CountParser() override;

  bool StoreValue(const std::string& value, pugi::xml_node target, bool layout) override;
  bool FetchValue(pugi::xml_node source, std::string& value) override;
  void TakeValue(const std::string&, RecordSink&) override {}
  std::string FieldName() const override { return "count of " + id_; }

 private:
  std::string id_;
  // Null when the path does not compile; the field then fails.
  std::unique_ptr<pugi::xpath_query> query_;
};

}  // namespace ulvo
