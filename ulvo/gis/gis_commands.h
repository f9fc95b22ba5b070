#pragma once

#include <filesystem>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "ulvo/convert/plan_points.h"
#include "ulvo/engine/format_definition.h"
#include "ulvo/gis/coordinate_system.h"
#include "ulvo/gis/gis_formats.h"

namespace ulvo {

// The job's coordinate system as last chosen: "conversion/gis@crs" below the settings
// element; empty when none was.
std::string ReadGisCrs(pugi::xml_node settings);
void WriteGisCrs(pugi::xml_node settings, const std::string& crs);

// A system PROJ knows that a job's northings and eastings can be in (a map grid).
std::optional<CoordinateSystem> ResolveJobSystem(const std::string& text, Message& message);

struct GisOutcome {
  bool ok = false;
  Message message{kGisNoPoints, {}};  // the result, or why not
  std::vector<Message> notes;         // said beside it
};

struct GisExportRequest {
  std::string formatName;  // the format the input is read with
  std::filesystem::path input;
  std::filesystem::path output;
  GisFormat format = GisFormat::kGeoPackage;
  std::string crs;
  bool layerByCode = false;
  // The elements holding the values; the plan view's choice for the format when not given.
  std::optional<PlanElements> elements;
};
// The points of a file, read with one of the program's formats, to a GIS file.
GisOutcome ExportFileToGis(FormatList& formats, pugi::xml_node settings,
                           const GisExportRequest& request);

struct GisImportRequest {
  std::filesystem::path input;  // any file GDAL reads
  std::string crs;              // the job's: the points are reprojected to it
  std::string targetFormat;     // written with this format, its plan elements holding them
  std::filesystem::path output;
  std::optional<PlanElements> elements;
};
// The points of a GIS file as an instrument data document, written with the target format.
GisOutcome ImportGisToFile(FormatList& formats, pugi::xml_node settings,
                           const GisImportRequest& request);

// What the window's "to GIS..." and "from GIS..." dialog asks.
struct GisDialogOptions {
  GisFormat format = GisFormat::kGeoPackage;  // export only
  std::string path;
  std::string crs;           // a code or a name from PROJ's list
  bool layerByCode = false;  // export only
};

// The dialog and the messages as the two commands see them.
class GisPrompts {
 public:
  virtual ~GisPrompts() = default;
  // Shown with options, which it changes; false on Cancel.
  virtual bool Ask(GisDialogOptions& options, bool importing) = 0;
  virtual void ShowMessage(const Message& message, bool failure) = 0;
  virtual bool AskReplace(const Message& question) = 0;
  // Around the reading and writing, which takes seconds for a large file.
  virtual void SetBusy(bool) {}
};

// "to GIS...": the points of one side of a conversion. Asks until the user cancels or gives
// a system PROJ knows and a file; the system is kept in the settings as soon as it resolves
// and proposed next time. False when nothing was written.
bool ExportToGisAsked(FormatList& formats, pugi::xml_node settings, const std::string& formatName,
                      const std::filesystem::path& input, GisPrompts& prompts);
// "from GIS...": a GIS file's points written as the target of a conversion.
bool ImportFromGisAsked(FormatList& formats, pugi::xml_node settings,
                        const std::string& targetFormat, const std::filesystem::path& output,
                        GisPrompts& prompts);

// The message in its default text, with the detail after it: how ulvo-cli says it.
std::string GisMessageLine(const Message& message);

}  // namespace ulvo
