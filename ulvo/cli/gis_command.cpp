// ulvo-cli export and import: the points of a file read with one of the program's formats to
// a GIS file, and a GIS file's points to a file of one of the program's formats.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <optional>

#include "ulvo/cli/commands.h"
#include "ulvo/gis/gis_commands.h"
#include "ulvo/shell/settings_document.h"

namespace ulvo::cli {
namespace {

int Usage(const char* command, const std::string& problem) {
  std::fprintf(stderr, "ulvo-cli %s: %s (see ulvo-cli --help)\n", command, problem.c_str());
  return kExitUsage;
}

struct GisArgs {
  std::string format, input, output, crs;
  bool layerByCode = false;
  bool force = false;
  std::optional<std::string> chosen[5];  // northing, easting, height, name, code
};

// The options of both commands; nothing when they are wrong (the usage message printed).
std::optional<GisArgs> ParseGisArgs(const char* command, const Args& args, bool exporting,
                                    int& status) {
  const char* const elementOptions[] = {"--northing", "--easting", "--height", "--name", "--code"};
  GisArgs parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto option = std::find(std::begin(elementOptions), std::end(elementOptions), a);
    if (option != std::end(elementOptions) || a == "-o" || a == "--output" || a == "--crs" ||
        a == "--format") {
      if (i + 1 >= args.size()) {
        status = Usage(command, a + " needs a value");
        return std::nullopt;
      }
      const std::string& v = args[++i];
      if (option != std::end(elementOptions)) {
        parsed.chosen[option - std::begin(elementOptions)] = v;
      } else if (a == "--crs") {
        parsed.crs = v;
      } else if (a == "--format") {
        parsed.format = v;
      } else {
        parsed.output = v;
      }
    } else if (a == "--layer-by-code" && exporting) {
      parsed.layerByCode = true;
    } else if (a == "--force") {
      parsed.force = true;
    } else if (a.size() > 1 && a[0] == '-') {
      status = Usage(command, "unknown option '" + a + "'");
      return std::nullopt;
    } else if (!parsed.input.empty()) {
      status = Usage(command, "more than one input file");
      return std::nullopt;
    } else {
      parsed.input = a;
    }
  }
  const char* missing = parsed.format.empty()   ? "missing --format NAME"
                        : parsed.input.empty()  ? "missing FILE"
                        : parsed.output.empty() ? "missing -o OUTPUT"
                        : parsed.crs.empty()
                            ? "missing --crs (the job's coordinate system, e.g. EPSG:28992)"
                            : nullptr;
  if (missing) {
    status = Usage(command, missing);
    return std::nullopt;
  }
  return parsed;
}

// The elements the format's plan choice names, with those given on the command line.
PlanElements Elements(const GisArgs& parsed, pugi::xml_node settings) {
  PlanElements elements = ReadPlanElements(settings, parsed.format);
  std::string* members[] = {&elements.northing, &elements.easting, &elements.height, &elements.name,
                            &elements.code};
  for (size_t i = 0; i < 5; ++i)
    if (parsed.chosen[i]) *members[i] = *parsed.chosen[i];
  return elements;
}

// As convert: an existing OUTPUT is replaced only when --force says so.
bool Refused(const char* command, const GisArgs& parsed) {
  std::error_code ec;
  if (parsed.force || !std::filesystem::exists(parsed.output, ec)) return false;
  std::fprintf(stderr, "ulvo-cli %s: %s (--force replaces it)\n", command,
               DefaultText(Message{kAlreadyExistsMsg, parsed.output}).c_str());
  return true;
}

int Report(const char* command, const GisOutcome& outcome) {
  for (const Message& note : outcome.notes)
    std::fprintf(stderr, "ulvo-cli: warning: %s\n", GisMessageLine(note).c_str());
  if (!outcome.ok) {
    std::fprintf(stderr, "ulvo-cli %s: %s\n", command, GisMessageLine(outcome.message).c_str());
    return kExitFailure;
  }
  std::printf("%s\n", GisMessageLine(outcome.message).c_str());
  return kExitOk;
}

int RunExport(const Context& context, const Args& args) {
  int status = kExitOk;
  const std::optional<GisArgs> parsed = ParseGisArgs("export", args, true, status);
  if (!parsed) return status;
  const GisFormatRow* type = GisFormatForPath(parsed->output);
  if (!type)
    return Usage("export", DefaultText(Message{kGisUnknownFormat, parsed->output}) + " (use " +
                               GisExtensionList() + ")");
  if (Refused("export", *parsed)) return kExitFailure;
  FormatList formats;
  formats.Refresh(context.home);
  SettingsDocument settings;
  settings.Load(SettingsFilePath(context.home));
  GisExportRequest request;
  request.formatName = parsed->format;
  request.input = parsed->input;
  request.output = parsed->output;
  request.format = type->format;
  request.crs = parsed->crs;
  request.layerByCode = parsed->layerByCode;
  request.elements = Elements(*parsed, settings.Root());
  return Report("export", ExportFileToGis(formats, settings.Root(), request));
}

int RunImport(const Context& context, const Args& args) {
  int status = kExitOk;
  const std::optional<GisArgs> parsed = ParseGisArgs("import", args, false, status);
  if (!parsed) return status;
  if (Refused("import", *parsed)) return kExitFailure;
  FormatList formats;
  formats.Refresh(context.home);
  SettingsDocument settings;
  settings.Load(SettingsFilePath(context.home));
  GisImportRequest request;
  request.input = parsed->input;
  request.crs = parsed->crs;
  request.targetFormat = parsed->format;
  request.output = parsed->output;
  request.elements = Elements(*parsed, settings.Root());
  return Report("import", ImportGisToFile(formats, settings.Root(), request));
}

}  // namespace

extern const Command kExportCommand = {
    "export",
    "ulvo-cli [--home DIR] export --format NAME FILE -o OUTPUT --crs CRS [--layer-by-code]\n"
    "         [--force] [--northing ID] [--easting ID] [--height ID] [--name ID] [--code ID]\n"
    "    writes the points of FILE, read with the format NAME, as a GIS file, its format by\n"
    "    the extension of OUTPUT: .gpkg GeoPackage, .geojson GeoJSON, .kml KML (reprojected\n"
    "    to WGS 84), .shp Shapefile, .csv CSV with WKT; easting first. CRS is the job's\n"
    "    coordinate system: EPSG:N, EPSG:N+M with a vertical one, or a name from PROJ's list\n"
    "    (\"RD New\"). The elements are those chosen for the format in the Plan window\n"
    "    (default N, E, Z, NR, D) unless given here. --layer-by-code: a layer per code",
    RunExport};

extern const Command kImportCommand = {
    "import",
    "ulvo-cli [--home DIR] import FILE --crs CRS --format NAME -o OUTPUT [--force]\n"
    "         [--northing ID] [--easting ID] [--height ID] [--name ID] [--code ID]\n"
    "    writes the points of any file GDAL reads (GeoPackage, GeoJSON, KML, Shapefile, DXF,\n"
    "    CSV with coordinates), reprojected to the job's coordinate system CRS, with the\n"
    "    format NAME: each point a record holding the format's name, northing, easting,\n"
    "    height and code elements; lines and polygons give their vertices (NAME-1, NAME-2,\n"
    "    ...). A value wider than its field, or a point the format cannot write, is refused\n"
    "    and named, never cut",
    RunImport};

}  // namespace ulvo::cli
