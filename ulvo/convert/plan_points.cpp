#include "ulvo/convert/plan_points.h"

#include <cmath>
#include <cstring>

#include "ulvo/engine/data_document.h"
#include "ulvo/engine/text_codec.h"

namespace ulvo {
namespace {

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A value that is one decimal number and nothing else.
std::optional<double> Number(std::string_view text) {
  const std::string_view t = Trimmed(text);
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  size_t digits = 0;
  bool point = false;
  for (; i < t.size(); ++i) {
    if (t[i] >= '0' && t[i] <= '9') {
      ++digits;
    } else if (t[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0 || i != t.size()) return std::nullopt;
  const double v = ReadDouble(t);
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

pugi::xml_node Value(pugi::xml_node record, const std::string& id) {
  if (id.empty()) return {};
  if (pugi::xml_node own = record.child(id.c_str())) return own;
  return record.find_node(
      [&id](pugi::xml_node n) { return n.type() == pugi::node_element && id == n.name(); });
}

pugi::xml_node Child(pugi::xml_node parent, const char* name) {
  pugi::xml_node n = parent.child(name);
  return n ? n : parent.append_child(name);
}

constexpr const char* kAttributes[] = {"northing", "easting", "height", "point", "code"};

std::string* Members(PlanElements& e, size_t i) {
  std::string* members[] = {&e.northing, &e.easting, &e.height, &e.name, &e.code};
  return members[i];
}

}  // namespace

DocumentPoints ReadDocumentPoints(pugi::xml_node data, const PlanElements& elements) {
  DocumentPoints out;
  for (pugi::xml_node record = data.first_child(); record; record = record.next_sibling()) {
    if (record.type() != pugi::node_element) continue;
    const size_t index = out.records++;
    const pugi::xml_node n = Value(record, elements.northing);
    const pugi::xml_node e = Value(record, elements.easting);
    if (!n || !e) continue;
    const std::optional<double> northing = Number(n.child_value());
    const std::optional<double> easting = Number(e.child_value());
    if (!northing || !easting) {
      ++out.unreadable;
      continue;
    }
    SurveyPoint p;
    p.northing = *northing;
    p.easting = *easting;
    if (const pugi::xml_node z = Value(record, elements.height)) p.height = Number(z.child_value());
    if (const pugi::xml_node name = Value(record, elements.name))
      p.name = TextToBytes(Trimmed(name.child_value()));
    if (const pugi::xml_node code = Value(record, elements.code))
      p.code = TextToBytes(Trimmed(code.child_value()));
    p.sourceLine = index;
    out.points.push_back(std::move(p));
  }
  return out;
}

bool ReadFilePoints(FormatDefinition& format, const std::filesystem::path& input,
                    const PlanElements& elements, DocumentPoints& out, ParseFailure* failure) {
  pugi::xml_document doc;
  const pugi::xml_node data = NewDataDocument(doc);
  const bool ok = format.ParseFile(input, data, failure);
  out = ReadDocumentPoints(data, elements);
  return ok;
}

PlanElements ReadPlanElements(pugi::xml_node settings, const std::string& formatName) {
  PlanElements e;
  const pugi::xml_node format = settings.child("conversion")
                                    .child("plan")
                                    .find_child_by_attribute("format", "name", formatName.c_str());
  for (size_t i = 0; i < std::size(kAttributes); ++i)
    if (const pugi::xml_attribute a = format.attribute(kAttributes[i]); a && *a.value())
      *Members(e, i) = a.value();
  return e;
}

void WritePlanElements(pugi::xml_node settings, const std::string& formatName,
                       const PlanElements& elements) {
  pugi::xml_node plan = Child(Child(settings, "conversion"), "plan");
  pugi::xml_node format = plan.find_child_by_attribute("format", "name", formatName.c_str());
  if (!format) {
    format = plan.append_child("format");
    format.append_attribute("name") = formatName.c_str();
  }
  PlanElements copy = elements;
  for (size_t i = 0; i < std::size(kAttributes); ++i) {
    pugi::xml_attribute a = format.attribute(kAttributes[i]);
    if (!a) a = format.append_attribute(kAttributes[i]);
    a = Members(copy, i)->c_str();
  }
}

}  // namespace ulvo
