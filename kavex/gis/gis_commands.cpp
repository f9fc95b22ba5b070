#include "kavex/gis/gis_commands.h"

#include "kavex/exports/survey_points.h"
#include "kavex/gis/gis_export.h"
#include "kavex/gis/gis_import.h"
#include "kavex/shell/main_logic.h"

namespace kavex {
namespace {

inline constexpr const char* kGisChooseFileMessage = "Choose the file.";

// The system of the dialog, when PROJ knows it and a job's points can be in it; else the
// message is shown.
std::optional<CoordinateSystem> JobSystem(MainLogic& logic, const std::string& text) {
  std::string message;
  std::optional<CoordinateSystem> crs = CoordinateSystem::Resolve(text, message);
  if (crs && !crs->Planar()) {
    message = kCrsNotPlanarMessage + crs->Label() + ".";
    crs.reset();
  }
  if (!crs) logic.ShowMessage(message);
  return crs;
}

// Asks until the user cancels (nothing) or gives a system PROJ knows and a file; the system
// is kept for next time as soon as it resolves.
std::optional<CoordinateSystem> AskJob(MainLogic& logic, GisDialog& dialog,
                                       GisDialogOptions& options, bool import) {
  for (;;) {
    if (!dialog.Ask(options, import)) return std::nullopt;
    std::optional<CoordinateSystem> crs = JobSystem(logic, options.crs);
    if (!crs) continue;
    logic.Settings().gisCrs = crs->Code();
    if (!options.path.empty()) return crs;
    logic.ShowMessage(kGisChooseFileMessage);
  }
}

std::string WithNotes(std::string message, const std::vector<std::string>& notes) {
  for (const std::string& note : notes)
    if (!note.empty()) message += "\n" + note;
  return message;
}

}  // namespace

int ExportCurrentDataToGis(MainLogic& logic, GisDialog& dialog) {
  SurveyPointReader reader;
  for (const std::string& line : logic.View().Lines()) reader.AddLine(line);
  if (reader.Points().empty()) {
    logic.ShowMessage(kGisNoPointsMessage);
    return logic.conversionResult = kConversionNotDone;
  }
  GisDialogOptions options;
  options.crs = logic.Settings().gisCrs;
  const std::filesystem::path data =
      logic.hasFile ? std::filesystem::path(logic.currentPath) : logic.workDir / "points";
  options.path = std::filesystem::path(data).replace_extension(".gpkg").string();
  for (;;) {
    const std::optional<CoordinateSystem> crs = AskJob(logic, dialog, options, false);
    if (!crs) return logic.conversionResult = kConversionCancelled;
    const std::filesystem::path target = logic.Resolve(options.path);
    std::error_code error;
    if (std::filesystem::exists(target, error) &&
        logic.ShowMessage("File exists Overwrite?", kModeConfirmation) != kResultOk)
      continue;
    GisExportOptions run;
    run.target = target;
    run.format = options.format;
    run.crs = *crs;
    run.layerByCode = options.layerByCode;
    run.sourceName =
        logic.hasFile ? std::filesystem::path(logic.currentPath).filename().string() : "";
    logic.EnterBusy();
    const GisResult result = ExportGis(reader.Points(), run);
    logic.LeaveBusy();
    if (!result.ok) {
      logic.ShowMessage(result.message);
      return logic.conversionResult = kConversionFileError;
    }
    logic.ShowMessage(WithNotes(GisWrittenMessage(result), {GisLeftOutNote(reader)}));
    return logic.conversionResult = kConversionSuccess;
  }
}

int ImportGisToCurrentData(MainLogic& logic, GisDialog& dialog) {
  if (logic.View().Modified() &&
      logic.ShowMessage("Current DATA will be lost.", kModeConfirmation) != kResultOk)
    return logic.conversionResult = kConversionCancelled;
  GisDialogOptions options;
  options.crs = logic.Settings().gisCrs;
  {
    const std::optional<CoordinateSystem> crs = AskJob(logic, dialog, options, true);
    if (!crs) return logic.conversionResult = kConversionCancelled;
    const std::string file = logic.Resolve(options.path).string();
    logic.EnterBusy();
    const GisImport import = ImportGis(file, *crs);
    logic.LeaveBusy();
    if (!import.ok) {
      logic.ShowMessage(import.message);
      return logic.conversionResult = kConversionFileError;
    }
    logic.hasFile = false;
    logic.ClearCurrentData();
    logic.View().AppendLines(PointsFileLines(import.points));
    logic.View().SetModified(true);
    logic.ShowMessage(WithNotes(GisReadMessage(import, file), import.notes));
    return logic.conversionResult = kConversionSuccess;
  }
}

}  // namespace kavex
