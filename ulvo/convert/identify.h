#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ulvo/convert/messages.h"
#include "ulvo/engine/diagnostics.h"
#include "ulvo/engine/format_definition.h"

namespace ulvo {

inline constexpr TextId kIdentifyBtn{"IDC_CNV_IDENTIFY_BTN", "&Identify..."};
inline constexpr TextId kIdentifyTitle{"IDS_IDENTIFY_TITLE", "Which format is this file?"};
inline constexpr TextId kIdentifyNoFile{"IDS_IDENTIFY_NO_FILE",
                                        "Enter the source file name first."};
inline constexpr TextId kIdentifyReadHead{"IDS_IDENTIFY_READ_HEAD", "%1 is read whole by:"};
inline constexpr TextId kIdentifyRead{"IDS_IDENTIFY_READ", "%1 (%2): %3 record(s), %4 value(s)"};
inline constexpr TextId kIdentifyNone{"IDS_IDENTIFY_NONE",
                                      "No format of the program folder reads %1 whole."};
inline constexpr TextId kIdentifyStopsHead{"IDS_IDENTIFY_STOPS_HEAD", "Not read whole by:"};
inline constexpr TextId kIdentifyStops{"IDS_IDENTIFY_STOPS",
                                       "%1: stops at line %2, column %3, after %4 record(s)"};
inline constexpr TextId kIdentifyStopsWhy{"IDS_IDENTIFY_STOPS_WHY", "%1: %2"};
inline constexpr TextId kIdentifyUnread{"IDS_IDENTIFY_UNREAD", "The file cannot be read: %1"};
inline constexpr TextId kIdentifyNoFormats{"IDS_IDENTIFY_NO_FORMATS",
                                           "The program folder holds no format that loads."};
inline constexpr TextId kIdentifyUse{"IDS_IDENTIFY_USE", "Use %1"};

// How one format of the list did on the file.
struct FormatTry {
  std::string name;
  std::string type;
  bool whole = false;     // the format read every byte of the file
  size_t records = 0;     // top-level records read (up to the stop when not whole)
  size_t values = 0;      // values in them
  size_t valueBytes = 0;  // bytes of those values; the rest of the file was layout
  ParseFailure failure;   // where and why it stopped, when not whole
};

// Every format of a list tried on one file: those that read it whole, best first (the most
// values, then the most of the file recognised as layout, then by name), and those that stop
// somewhere, the furthest first.
struct Identification {
  std::string problem;  // the file cannot be read at all ("path: reason"); nothing was tried
  std::vector<FormatTry> whole;
  std::vector<FormatTry> stopped;
};

// Parses input with each format of the list, within the parse's own bounds of work and
// memory, building no document; the input is read into one block of memory shared by every
// parse.
Identification IdentifyFile(const FormatList& formats, const std::filesystem::path& input);

// The result as lines: the heading and one line per format that reads the file whole (or the
// line saying none does), then the heading and one line per format that stops. text gives
// each text for its key (the default, or a translation).
std::vector<std::string> DescribeIdentification(
    const Identification& identification, const std::filesystem::path& input,
    const std::function<std::string(const TextId&)>& text = {});

// text with "%1", "%2", ... replaced by the arguments in order.
std::string FillArguments(std::string_view text, const std::vector<std::string>& arguments);

}  // namespace ulvo
