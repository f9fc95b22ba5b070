#include "ulvo/gis/gis_document.h"

#include <algorithm>

#include "ulvo/engine/data_document.h"
#include "ulvo/engine/field_parsers.h"
#include "ulvo/engine/record_writer.h"
#include "ulvo/engine/text_codec.h"

namespace ulvo {
namespace {

// The record's own elements: those of a record nested in it are not its values.
void CollectElements(const Parser* p, std::vector<std::string>& ids) {
  if (const auto* e = dynamic_cast<const ElementParser*>(p)) {
    if (!e->Id().empty() && std::find(ids.begin(), ids.end(), e->Id()) == ids.end())
      ids.push_back(e->Id());
    return;
  }
  const auto* m = dynamic_cast<const MultiParser*>(p);
  if (!m) return;
  if (const auto* g = dynamic_cast<const GroupParser*>(p); g && !g->Id().empty()) return;
  for (size_t i = 0; i < m->Count(); ++i) CollectElements(m->Child(i), ids);
}

std::optional<PointRecordKind> FindIn(const Parser* p, const PlanElements& elements) {
  const auto* m = dynamic_cast<const MultiParser*>(p);
  if (!m) return std::nullopt;
  if (const auto* g = dynamic_cast<const GroupParser*>(p); g && !g->Id().empty()) {
    PointRecordKind kind{g->Id(), {}};
    for (size_t i = 0; i < m->Count(); ++i) CollectElements(m->Child(i), kind.elements);
    const auto has = [&](const std::string& id) {
      return std::find(kind.elements.begin(), kind.elements.end(), id) != kind.elements.end();
    };
    // A record nested in this one is not a top-level item: it is not looked into.
    if (has(elements.northing) && has(elements.easting)) return kind;
    return std::nullopt;
  }
  for (size_t i = 0; i < m->Count(); ++i)
    if (std::optional<PointRecordKind> kind = FindIn(m->Child(i), elements)) return kind;
  return std::nullopt;
}

}  // namespace

std::optional<PointRecordKind> FindPointRecord(const FormatDefinition& format,
                                               const PlanElements& elements) {
  if (elements.northing.empty() || elements.easting.empty()) return std::nullopt;
  return FindIn(format.Root(), elements);
}

void BuildPointDocument(pugi::xml_node data, const PointRecordKind& kind,
                        const PlanElements& elements, const std::vector<GisImportPoint>& points) {
  for (const GisImportPoint& p : points) {
    pugi::xml_node record = data.append_child(kind.group.c_str());
    for (const std::string& id : kind.elements) {
      std::string text;
      if (id == elements.name) {
        text = BytesToText(p.name);
      } else if (id == elements.northing) {
        text = FormatFixed(p.northing, 3);
      } else if (id == elements.easting) {
        text = FormatFixed(p.easting, 3);
      } else if (id == elements.height) {
        // Never empty: a numeric field would write an empty value as 0, a height made up.
        if (!p.height) continue;
        text = FormatFixed(*p.height, 3);
      } else if (id == elements.code) {
        // As a parse leaves a record without one: a format may write an empty one otherwise.
        if (p.code.empty()) continue;
        text = BytesToText(p.code);
      } else {
        continue;
      }
      record.append_child(id.c_str()).text().set(text.c_str());
    }
  }
}

PointsWritten WriteGisPoints(FormatDefinition& format, const PlanElements& elements,
                             const std::vector<GisImportPoint>& points,
                             const std::filesystem::path& output) {
  PointsWritten result;
  const std::optional<PointRecordKind> kind = FindPointRecord(format, elements);
  if (!kind) {
    result.message = Message{kGisNoPointRecord, format.Name()};
    return result;
  }
  const auto name = [&](size_t number) {
    return number >= 1 && number <= points.size() ? points[number - 1].name : std::string("?");
  };
  // A trial without a file first: what the format cannot write, or writes wider than its
  // fields, refuses the points before the user's file is touched.
  {
    pugi::xml_document document;
    pugi::xml_node data = NewDataDocument(document);
    BuildPointDocument(data, *kind, elements, points);
    RecordWriter trial(format.Root(), "/dev/null", data, false);
    std::string reason;
    const bool written = trial.Finish(&reason);
    if (!written && !reason.empty()) {
      result.message = Message{kGisCannotSave, output.string(), reason};
      return result;
    }
    std::vector<std::string> names;
    for (const size_t number : trial.Unwritten()) names.push_back(BytesToText(name(number)));
    if (!written || !names.empty()) {
      result.message = Message{kGisNotWritable, NamedList(names), format.Name()};
      return result;
    }
    for (const FieldOverflow& o : trial.Overflows())
      names.push_back(BytesToText(name(o.number)) + " (" + o.element + ")");
    if (!names.empty()) {
      result.message = Message{kGisTooWide, NamedList(names), format.Name()};
      return result;
    }
  }
  pugi::xml_document document;
  pugi::xml_node data = NewDataDocument(document);
  BuildPointDocument(data, *kind, elements, points);
  std::string reason;
  if (!format.WriteFile(data, output, &reason)) {
    result.message = Message{kGisCannotSave, output.string(),
                             reason.empty() ? "not every record could be written" : reason};
    return result;
  }
  result.ok = true;
  result.message = Message{kGisImported, std::to_string(points.size()), output.string()};
  return result;
}

}  // namespace ulvo
