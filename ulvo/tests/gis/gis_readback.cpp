#include "ulvo/tests/gis/gis_readback.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cstdio>
#include <fstream>
#include <memory>

namespace ulvo::testing {

ReadBack ReadWithGdal(const std::filesystem::path& file) {
  GDALAllRegister();
  ReadBack back;
  std::unique_ptr<GDALDataset> ds(
      GDALDataset::Open(file.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  if (!ds) return back;
  back.opened = true;
  for (OGRLayer* layer : ds->GetLayers()) {
    std::string code;
    if (const OGRSpatialReference* srs = layer->GetSpatialRef()) {
      OGRSpatialReference copy(*srs);
      copy.AutoIdentifyEPSG();
      if (const char* c = copy.GetAuthorityCode(nullptr)) {
        code = c;
      } else {
        // A .prj in ESRI's words names no code: the system PROJ is sure of.
        int count = 0;
        int* confidence = nullptr;
        OGRSpatialReferenceH* matches = copy.FindMatches(nullptr, &count, &confidence);
        if (count > 0 && confidence[0] >= 90) {
          const char* m = OGRSpatialReference::FromHandle(matches[0])->GetAuthorityCode(nullptr);
          code = m ? m : "";
        }
        OSRFreeSRSArray(matches);
        CPLFree(confidence);
      }
    }
    back.epsg.push_back(code);
    for (const auto& f : *layer) {
      const OGRGeometry* g = f->GetGeometryRef();
      if (!g || wkbFlatten(g->getGeometryType()) != wkbPoint) continue;
      const auto* p = g->toPoint();
      ReadFeature r;
      r.layer = layer->GetName();
      r.x = p->getX();
      r.y = p->getY();
      if (p->Is3D()) r.z = p->getZ();
      const auto field = [&](const char* name) {
        const int i = f->GetFieldIndex(name);
        return i < 0 ? std::string("(none)") : std::string(f->GetFieldAsString(i));
      };
      r.name = field("name");
      r.code = field("code");
      r.source = field("source");
      back.features.push_back(r);
    }
  }
  return back;
}

std::vector<std::pair<double, double>> GdalTransform(
    const std::string& from, const std::string& to,
    const std::vector<std::pair<double, double>>& points) {
  const std::filesystem::path in = std::filesystem::temp_directory_path() / "ulvo-gdaltransform.in";
  {
    std::ofstream out(in);
    out.precision(17);
    for (const auto& [e, n] : points) out << e << ' ' << n << '\n';
  }
  const std::string command =
      "gdaltransform -s_srs " + from + " -t_srs " + to + " -output_xy < " + in.string();
  std::vector<std::pair<double, double>> result;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    double x = 0, y = 0;
    while (std::fscanf(pipe, "%lf %lf", &x, &y) == 2) result.emplace_back(x, y);
    pclose(pipe);
  }
  std::filesystem::remove(in);
  return result;
}

std::string OgrInfo(const std::filesystem::path& file, bool summaryOnly) {
  const std::string command = std::string("ogrinfo -ro ") + (summaryOnly ? "-so " : "") + "-al '" +
                              file.string() + "' 2>/dev/null";
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    pclose(pipe);
  }
  return text;
}

}  // namespace ulvo::testing
