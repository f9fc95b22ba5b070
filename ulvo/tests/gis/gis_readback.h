#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ulvo::testing {

// A feature as GDAL reads it back from a file, for checks independent of the writer.
struct ReadFeature {
  std::string layer;
  double x = 0, y = 0;
  std::optional<double> z;
  std::string name, code, source;
};
struct ReadBack {
  bool opened = false;
  std::vector<ReadFeature> features;
  std::vector<std::string> epsg;  // per layer, "" when GDAL finds no code
};
ReadBack ReadWithGdal(const std::filesystem::path& file);

// PROJ's own command-line answer, through gdaltransform: "E N" lines in, "E N" out.
std::vector<std::pair<double, double>> GdalTransform(
    const std::string& from, const std::string& to,
    const std::vector<std::pair<double, double>>& points);

// GDAL's own command-line reading of the file: what `ogrinfo -ro -al` prints, or with
// summaryOnly what `ogrinfo -ro -so -al` does.
std::string OgrInfo(const std::filesystem::path& file, bool summaryOnly);

}  // namespace ulvo::testing
