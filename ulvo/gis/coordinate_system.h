#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ulvo/gis/gis_messages.h"

namespace ulvo {

// A code as the user types it: "EPSG:28992", "epsg:28992", "28992", or a horizontal system
// with a vertical one, "EPSG:28992+5709". Nothing else (names go through the search).
struct CrsCode {
  int horizontal = 0;
  int vertical = 0;  // 0: none
};
std::optional<CrsCode> ParseCrsCode(std::string_view text);

// One entry of PROJ's list of coordinate systems.
struct CrsEntry {
  std::string code;  // "EPSG:28992"
  std::string name;  // "Amersfoort / RD New"
  std::string kind;  // "projected", "geographic 2D", "compound", "vertical", ...
  bool deprecated = false;
};
// The EPSG systems whose name holds every word of words (any case, any order), those in
// use before the deprecated ones, shorter names first, at most limit of them. A code finds
// its own entry.
std::vector<CrsEntry> SearchCoordinateSystems(std::string_view words, size_t limit = 200);

// A coordinate system PROJ knows, kept as its WKT so that it can be copied freely.
class CoordinateSystem {
 public:
  // A code (see ParseCrsCode; a horizontal and a vertical system become the compound system
  // PROJ's list has for the two, or one made of them), or a name that PROJ's list holds
  // exactly or alone. Nothing, and message says why, otherwise.
  static std::optional<CoordinateSystem> Resolve(std::string_view text, Message& message);
  // A system a GIS file gives as WKT or PROJJSON.
  static std::optional<CoordinateSystem> FromDefinition(const std::string& definition);
  static CoordinateSystem Wgs84();

  // "EPSG:7415", or "EPSG:28992+5709" for a compound system PROJ has no code for; empty for
  // one a file gives without a code.
  const std::string& Code() const { return code_; }
  const std::string& Name() const { return name_; }
  const std::string& Wkt() const { return wkt_; }
  // The code, else the name: how messages name it.
  std::string Label() const { return code_.empty() ? name_ : code_; }
  // A map grid (projected, alone or with a vertical system): what a job's X and Y can be.
  bool Planar() const { return planar_; }
  bool operator==(const CoordinateSystem& other) const { return wkt_ == other.wkt_; }

 private:
  friend struct CrsAccess;
  std::string code_;
  std::string name_;
  std::string wkt_;
  bool planar_ = false;
};

// East (or longitude) first, then north (or latitude), then height.
using GroundPoint = std::array<double, 3>;

// The transformation between two systems that PROJ rates best for the points around the
// given samples. Refused (nullptr, message) when that transformation needs a grid PROJ does
// not have (the grid named), or when PROJ has nothing better than a ballpark guess: a
// surveyor's points are never moved by a less accurate road without a word.
class Reprojection {
 public:
  static std::unique_ptr<Reprojection> Make(const CoordinateSystem& from,
                                            const CoordinateSystem& to,
                                            const std::vector<GroundPoint>& samples,
                                            Message& message);
  ~Reprojection();
  Reprojection(const Reprojection&) = delete;
  Reprojection& operator=(const Reprojection&) = delete;

  // False when PROJ cannot transform the point (out of the system's domain).
  bool Apply(GroundPoint& point) const;
  // The transformation's name, "" when the two systems are the same.
  const std::string& Name() const { return name_; }

 private:
  Reprojection() = default;
  struct Proj;
  std::unique_ptr<Proj> proj_;
  std::string name_;
};

}  // namespace ulvo
