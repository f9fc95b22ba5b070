#include "ulvo/gis/gis_commands.h"

#include <system_error>

#include "ulvo/engine/text_codec.h"
#include "ulvo/gis/gis_document.h"
#include "ulvo/gis/gis_export.h"
#include "ulvo/gis/gis_import.h"

namespace ulvo {
namespace {

GisOutcome Failed(Message message) {
  GisOutcome out;
  out.message = std::move(message);
  return out;
}

// The format by name, loaded; nullptr and the message when not.
FormatDefinition* LoadedFormat(FormatList& formats, const std::string& name, GisOutcome& out) {
  FormatDefinition* format = formats.Find(name);
  if (!format) {
    out = Failed(Message{kGisNoFormat, name});
    return nullptr;
  }
  if (!format->Load()) {
    out = Failed(Message{kFormatLoadErr, format->Name(), format->LoadError()});
    return nullptr;
  }
  return format;
}

pugi::xml_node Child(pugi::xml_node parent, const char* name) {
  pugi::xml_node n = parent.child(name);
  return n ? n : parent.append_child(name);
}

}  // namespace

std::string ReadGisCrs(pugi::xml_node settings) {
  return settings.child("conversion").child("gis").attribute("crs").value();
}

void WriteGisCrs(pugi::xml_node settings, const std::string& crs) {
  if (!settings) return;
  pugi::xml_node gis = Child(Child(settings, "conversion"), "gis");
  pugi::xml_attribute a = gis.attribute("crs");
  if (!a) a = gis.append_attribute("crs");
  a = crs.c_str();
}

std::optional<CoordinateSystem> ResolveJobSystem(const std::string& text, Message& message) {
  std::optional<CoordinateSystem> crs = CoordinateSystem::Resolve(text, message);
  if (crs && !crs->Planar()) {
    message = Message{kGisCrsNotPlanar, crs->Label()};
    crs.reset();
  }
  return crs;
}

GisOutcome ExportFileToGis(FormatList& formats, pugi::xml_node settings,
                           const GisExportRequest& request) {
  GisOutcome out;
  FormatDefinition* format = LoadedFormat(formats, request.formatName, out);
  if (!format) return out;
  Message why{kGisCrsMissing, {}};
  const std::optional<CoordinateSystem> crs = ResolveJobSystem(request.crs, why);
  if (!crs) return Failed(why);
  const PlanElements elements =
      request.elements ? *request.elements : ReadPlanElements(settings, format->Name());
  DocumentPoints read;
  ParseFailure failure;
  if (!ReadFilePoints(*format, request.input, elements, read, &failure)) {
    if (failure.unread)
      return Failed(Message{kGisSourceUnread, request.input.string(), failure.reason});
    out.notes.push_back(
        Message{kGisStopsNote, std::to_string(failure.line), request.input.string()});
  }
  if (read.unreadable)
    out.notes.push_back(Message{kGisUnreadableNote, std::to_string(read.unreadable)});
  GisExportOptions options;
  options.target = request.output;
  options.format = request.format;
  options.crs = *crs;
  options.layerByCode = request.layerByCode;
  options.sourceName = request.input.filename().string();
  const GisResult result = ExportGis(read.points, options);
  out.ok = result.ok;
  out.message = result.message;
  if (!out.ok) out.notes.clear();
  return out;
}

GisOutcome ImportGisToFile(FormatList& formats, pugi::xml_node settings,
                           const GisImportRequest& request) {
  GisOutcome out;
  FormatDefinition* format = LoadedFormat(formats, request.targetFormat, out);
  if (!format) return out;
  Message why{kGisCrsMissing, {}};
  const std::optional<CoordinateSystem> crs = ResolveJobSystem(request.crs, why);
  if (!crs) return Failed(why);
  const GisImport import = ImportGis(request.input.string(), *crs);
  if (!import.ok) return Failed(import.message);
  const PlanElements elements =
      request.elements ? *request.elements : ReadPlanElements(settings, format->Name());
  const PointsWritten written = WriteGisPoints(*format, elements, import.points, request.output);
  out.ok = written.ok;
  out.message = written.message;
  if (out.ok) out.notes = import.notes;
  return out;
}

namespace {

// Asks until the user cancels (nothing) or gives a system that resolves and a file.
std::optional<CoordinateSystem> AskJob(pugi::xml_node settings, GisPrompts& prompts,
                                       GisDialogOptions& options, bool importing) {
  for (;;) {
    if (!prompts.Ask(options, importing)) return std::nullopt;
    Message why{kGisCrsMissing, {}};
    std::optional<CoordinateSystem> crs = ResolveJobSystem(options.crs, why);
    if (!crs) {
      prompts.ShowMessage(why, true);
      continue;
    }
    WriteGisCrs(settings, crs->Code().empty() ? options.crs : crs->Code());
    if (!options.path.empty()) {
      // Outside the system's own words for a file: the code, which every field takes.
      if (!crs->Code().empty()) options.crs = crs->Code();
      return crs;
    }
    prompts.ShowMessage(Message{kGisChooseFile, {}}, true);
  }
}

void Say(GisPrompts& prompts, const GisOutcome& outcome) {
  prompts.ShowMessage(outcome.message, !outcome.ok);
  for (const Message& note : outcome.notes) prompts.ShowMessage(note, false);
}

}  // namespace

bool ExportToGisAsked(FormatList& formats, pugi::xml_node settings, const std::string& formatName,
                      const std::filesystem::path& input, GisPrompts& prompts) {
  GisDialogOptions options;
  options.crs = ReadGisCrs(settings);
  options.path = std::filesystem::path(input).replace_extension(".gpkg").string();
  for (;;) {
    if (!AskJob(settings, prompts, options, false)) return false;
    std::error_code ec;
    if (std::filesystem::exists(options.path, ec) &&
        !prompts.AskReplace(Message{kAlreadyExistsMsg, options.path}))
      continue;
    GisExportRequest request;
    request.formatName = formatName;
    request.input = input;
    request.output = options.path;
    request.format = options.format;
    request.crs = options.crs;
    request.layerByCode = options.layerByCode;
    prompts.SetBusy(true);
    const GisOutcome outcome = ExportFileToGis(formats, settings, request);
    prompts.SetBusy(false);
    Say(prompts, outcome);
    return outcome.ok;
  }
}

bool ImportFromGisAsked(FormatList& formats, pugi::xml_node settings,
                        const std::string& targetFormat, const std::filesystem::path& output,
                        GisPrompts& prompts) {
  GisDialogOptions options;
  options.crs = ReadGisCrs(settings);
  if (!AskJob(settings, prompts, options, true)) return false;
  std::error_code ec;
  if (std::filesystem::exists(output, ec) &&
      !prompts.AskReplace(Message{kAlreadyExistsMsg, output.string()}))
    return false;
  GisImportRequest request;
  request.input = options.path;
  request.crs = options.crs;
  request.targetFormat = targetFormat;
  request.output = output;
  prompts.SetBusy(true);
  const GisOutcome outcome = ImportGisToFile(formats, settings, request);
  prompts.SetBusy(false);
  Say(prompts, outcome);
  return outcome.ok;
}

std::string GisMessageLine(const Message& message) {
  std::string line = DefaultText(message);
  if (!message.detail.empty()) line += " (" + message.detail + ")";
  return line;
}

}  // namespace ulvo
