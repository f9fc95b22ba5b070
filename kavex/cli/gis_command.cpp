// kavex-cli export and import: points to and from GIS files, with a coordinate system.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "kavex/cli/commands.h"
#include "kavex/formats/text_file.h"
#include "kavex/gis/gis_export.h"
#include "kavex/gis/gis_import.h"
#include "kavex/shell/data_view.h"

namespace kavex::cli {
namespace {

int Usage(const char* command, const std::string& problem) {
  std::fprintf(stderr, "kavex-cli %s: %s (see kavex-cli %s --help)\n", command, problem.c_str(),
               command);
  return kExitUsage;
}

int Failure(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  return kExitFailure;
}

struct GisArgs {
  std::string input;
  std::string output;
  std::string crs;
  bool layerByCode = false;
};

// The common options; nothing when they are wrong (the usage message printed).
std::optional<GisArgs> ParseGisArgs(const char* command, const Args& args, bool exporting,
                                    int& status) {
  GisArgs parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-o" || a == "--output" || a == "--crs") {
      if (i + 1 >= args.size()) {
        status = Usage(command, a + " needs a value");
        return std::nullopt;
      }
      (a == "--crs" ? parsed.crs : parsed.output) = args[++i];
    } else if (exporting && a == "--layer-by-code") {
      parsed.layerByCode = true;
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
  if (parsed.input.empty()) {
    status = Usage(command, "missing FILE");
    return std::nullopt;
  }
  if (parsed.crs.empty()) {
    status = Usage(command, "missing --crs (the job's coordinate system, e.g. EPSG:28992)");
    return std::nullopt;
  }
  return parsed;
}

int RunExport(const Args& args) {
  int status = kExitOk;
  const std::optional<GisArgs> parsed = ParseGisArgs("export", args, true, status);
  if (!parsed) return status;
  if (parsed->output.empty()) return Usage("export", "missing -o OUTPUT");
  const GisFormatRow* format = GisFormatForPath(parsed->output);
  if (!format)
    return Usage("export",
                 kGisUnknownFormatMessage + parsed->output + " (use " + GisExtensionList() + ")");
  std::string message;
  const std::optional<CoordinateSystem> crs = CoordinateSystem::Resolve(parsed->crs, message);
  if (!crs) return Failure(message);

  std::vector<std::string> lines;
  if (ReadDataFileLines(parsed->input, lines) != DataFileRead::kRead)
    return Failure("Fail to open file.\n" + parsed->input);
  SurveyPointReader reader;
  for (const std::string& line : lines) reader.AddLine(line);
  if (const std::string note = GisLeftOutNote(reader); !note.empty())
    std::fprintf(stderr, "kavex-cli: warning: %s\n", note.c_str());

  GisExportOptions options;
  options.target = parsed->output;
  options.format = format->format;
  options.crs = *crs;
  options.layerByCode = parsed->layerByCode;
  options.sourceName = std::filesystem::path(parsed->input).filename().string();
  const GisResult result = ExportGis(reader.Points(), options);
  if (!result.ok) return Failure(result.message);
  return kExitOk;
}

int RunImport(const Args& args) {
  int status = kExitOk;
  const std::optional<GisArgs> parsed = ParseGisArgs("import", args, false, status);
  if (!parsed) return status;
  std::string message;
  const std::optional<CoordinateSystem> crs = CoordinateSystem::Resolve(parsed->crs, message);
  if (!crs) return Failure(message);
  const GisImport import = ImportGis(parsed->input, *crs);
  if (!import.ok) return Failure(import.message);
  for (const std::string& note : import.notes)
    std::fprintf(stderr, "kavex-cli: note: %s\n", note.c_str());
  const std::string text = JoinLines(PointsFileLines(import.points));
  if (!parsed->output.empty()) {
    if (std::string why; !WriteTextFile(parsed->output, text, why))
      return Failure("Saving Aborted.\n" + parsed->output + ": " + why);
    return kExitOk;
  }
  const std::string bytes = ToDiskText(text);
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
      std::fflush(stdout) != 0)
    return Failure("Saving Aborted.");
  return kExitOk;
}

}  // namespace

extern const Command kExportCommand = {
    "export",
    "kavex-cli export FILE -o OUTPUT --crs CRS [--layer-by-code]\n"
    "    The points of Kavex data (QRX-6 coordinate blocks, NWF coordinate lines, a points\n"
    "    file) as a GIS file, its format by the extension of OUTPUT: .gpkg GeoPackage,\n"
    "    .geojson GeoJSON, .kml KML (reprojected to WGS 84), .shp Shapefile, .csv CSV with\n"
    "    WKT. CRS is the job's coordinate system: EPSG:N, EPSG:N+M with a vertical one, or a\n"
    "    name from PROJ's list (\"RD New\"). --layer-by-code: a layer per point code.",
    RunExport};

extern const Command kImportCommand = {
    "import",
    "kavex-cli import FILE --crs CRS [-o OUTPUT.pts]\n"
    "    The points of any file GDAL reads (GeoPackage, GeoJSON, KML, Shapefile, DXF, CSV\n"
    "    with coordinates), reprojected to the job's coordinate system CRS, as a points file\n"
    "    for the coordinate upload; lines and polygons give their vertices (NAME-1, NAME-2,\n"
    "    ...). Names longer than 10 characters are refused, never cut.",
    RunImport};

}  // namespace kavex::cli
