#pragma once

#include <cstddef>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "ulvo/engine/format_definition.h"

namespace ulvo {

// One surveyed point as the plan and the GIS exports take it from an instrument data
// document (the twin of Kavex's SurveyPoint: the programs share no code).
struct SurveyPoint {
  std::string name;  // the name element's value as bytes; may be empty
  std::string code;  // the code element's value as bytes; empty when the record has none
  double northing = 0.0;
  double easting = 0.0;
  std::optional<double> height;  // none when the record has no height element
  size_t sourceLine = 0;         // the record: top-level item of the document, from 0
};

// The elements that hold a point's values in the documents of one format, chosen by the
// user; the shipped identifiers by default.
struct PlanElements {
  std::string northing = "N";
  std::string easting = "E";
  std::string height = "Z";
  std::string name = "NR";
  std::string code = "D";
  bool operator==(const PlanElements&) const = default;
};

struct DocumentPoints {
  std::vector<SurveyPoint> points;
  size_t records = 0;     // top-level items looked at
  size_t unreadable = 0;  // records with northing and easting elements that are not numbers
};

// Every top-level item of data (a record of any group) that holds a northing and an easting
// element (its own child, or the first one below it) whose values are numbers is a point.
DocumentPoints ReadDocumentPoints(pugi::xml_node data, const PlanElements& elements);

// Parses input with format into an instrument data document and takes its points; false
// when the input does not match the format in full (the points of the records read before
// it stopped are still given; failure says where).
bool ReadFilePoints(FormatDefinition& format, const std::filesystem::path& input,
                    const PlanElements& elements, DocumentPoints& out, ParseFailure* failure);

// The choice for a format, "conversion/plan/format[@name]" below the settings element, with
// attributes northing, easting, height, point (the name element) and code; what is missing
// is the default.
PlanElements ReadPlanElements(pugi::xml_node settings, const std::string& formatName);
// Writes the choice back, creating the nodes that are missing.
void WritePlanElements(pugi::xml_node settings, const std::string& formatName,
                       const PlanElements& elements);

}  // namespace ulvo
