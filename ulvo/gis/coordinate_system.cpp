#include "ulvo/gis/coordinate_system.h"

#include <proj.h>
#include <proj_experimental.h>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace ulvo {
namespace {

// PROJ keeps its objects per context; every use here makes its own and ends it, so nothing
// is shared between calls. Its log would mix with the program's messages on standard error.
struct Context {
  PJ_CONTEXT* ctx = proj_context_create();
  Context() { proj_log_level(ctx, PJ_LOG_NONE); }
  ~Context() { proj_context_destroy(ctx); }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
};

struct Object {
  PJ* pj = nullptr;
  Object() = default;
  explicit Object(PJ* p) : pj(p) {}
  ~Object() { proj_destroy(pj); }
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  Object(Object&& o) noexcept : pj(o.pj) { o.pj = nullptr; }
  Object& operator=(Object&& o) noexcept {
    std::swap(pj, o.pj);
    return *this;
  }
  explicit operator bool() const { return pj != nullptr; }
};

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lowered(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), Lower);
  return out;
}

// A code of at most nine digits, nothing around it.
std::optional<int> CodeNumber(std::string_view s) {
  if (s.empty() || s.size() > 9) return std::nullopt;
  int value = 0;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (error != std::errc() || end != s.data() + s.size() || value <= 0) return std::nullopt;
  return value;
}

const char* KindText(PJ_TYPE type) {
  switch (type) {
    case PJ_TYPE_PROJECTED_CRS:
      return "projected";
    case PJ_TYPE_GEOGRAPHIC_2D_CRS:
      return "geographic 2D";
    case PJ_TYPE_GEOGRAPHIC_3D_CRS:
      return "geographic 3D";
    case PJ_TYPE_GEOCENTRIC_CRS:
      return "geocentric";
    case PJ_TYPE_VERTICAL_CRS:
      return "vertical";
    case PJ_TYPE_COMPOUND_CRS:
      return "compound";
    default:
      return "other";
  }
}

std::vector<CrsEntry> AllEntries(PJ_CONTEXT* ctx) {
  std::vector<CrsEntry> all;
  int count = 0;
  PROJ_CRS_INFO** list = proj_get_crs_info_list_from_database(ctx, "EPSG", nullptr, &count);
  if (!list) return all;
  all.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const PROJ_CRS_INFO* info = list[i];
    if (!info->code || !info->name) continue;
    all.push_back({std::string("EPSG:") + info->code, info->name, KindText(info->type),
                   info->deprecated != 0});
  }
  proj_crs_info_list_destroy(list);
  return all;
}

Object FromDatabase(PJ_CONTEXT* ctx, int code) {
  const std::string text = std::to_string(code);
  return Object(proj_create_from_database(ctx, "EPSG", text.c_str(), PJ_CATEGORY_CRS, 0, nullptr));
}

}  // namespace

std::optional<CrsCode> ParseCrsCode(std::string_view text) {
  std::string_view t = Trimmed(text);
  if (t.size() > 5 && Lowered(t.substr(0, 5)) == "epsg:") t.remove_prefix(5);
  CrsCode code;
  const size_t plus = t.find('+');
  const std::optional<int> h = CodeNumber(t.substr(0, plus));
  if (!h) return std::nullopt;
  code.horizontal = *h;
  if (plus != std::string_view::npos) {
    std::string_view v = t.substr(plus + 1);
    if (v.size() > 5 && Lowered(v.substr(0, 5)) == "epsg:") v.remove_prefix(5);
    const std::optional<int> vertical = CodeNumber(v);
    if (!vertical) return std::nullopt;
    code.vertical = *vertical;
  }
  return code;
}

std::vector<CrsEntry> SearchCoordinateSystems(std::string_view words, size_t limit) {
  std::vector<std::string> wanted;
  const std::string lowered = Lowered(words);
  for (size_t i = 0; i < lowered.size();) {
    const size_t end = std::min(lowered.find_first_of(" \t", i), lowered.size());
    if (end > i) wanted.push_back(lowered.substr(i, end - i));
    i = end + 1;
  }
  std::vector<CrsEntry> found;
  if (wanted.empty()) return found;
  const std::optional<CrsCode> code = ParseCrsCode(words);
  const std::string codeText =
      code && code->vertical == 0 ? "EPSG:" + std::to_string(code->horizontal) : "";
  Context context;
  std::vector<CrsEntry> deprecated;
  for (CrsEntry& e : AllEntries(context.ctx)) {
    bool match = e.code == codeText;
    if (!match) {
      const std::string name = Lowered(e.name);
      match = std::all_of(wanted.begin(), wanted.end(),
                          [&](const std::string& w) { return name.find(w) != std::string::npos; });
    }
    if (!match) continue;
    (e.deprecated ? deprecated : found).push_back(std::move(e));
  }
  // The closest names first: the system itself before the compounds made with it.
  const auto shorter = [](const CrsEntry& a, const CrsEntry& b) {
    return a.name.size() < b.name.size();
  };
  std::stable_sort(found.begin(), found.end(), shorter);
  std::stable_sort(deprecated.begin(), deprecated.end(), shorter);
  for (CrsEntry& e : deprecated) found.push_back(std::move(e));
  if (found.size() > limit) found.resize(limit);
  return found;
}

// The one place that fills a CoordinateSystem from a PROJ object.
struct CrsAccess {
  static std::optional<CoordinateSystem> Describe(PJ_CONTEXT* ctx, PJ* crs, std::string code);
};

namespace {

std::optional<CoordinateSystem> Describe(PJ_CONTEXT* ctx, PJ* crs, std::string code = {}) {
  return CrsAccess::Describe(ctx, crs, std::move(code));
}

}  // namespace

std::optional<CoordinateSystem> CoordinateSystem::Resolve(std::string_view text, Message& message) {
  const std::string_view t = Trimmed(text);
  if (t.empty()) {
    message = Message{kGisCrsMissing, {}};
    return std::nullopt;
  }
  Context context;
  PJ_CONTEXT* ctx = context.ctx;
  if (const std::optional<CrsCode> code = ParseCrsCode(t)) {
    const Object h = FromDatabase(ctx, code->horizontal);
    if (!h) {
      message = Message{kGisCrsUnknown, "EPSG:" + std::to_string(code->horizontal)};
      return std::nullopt;
    }
    if (code->vertical == 0) return Describe(ctx, h.pj);
    const Object v = FromDatabase(ctx, code->vertical);
    if (!v) {
      message = Message{kGisCrsUnknown, "EPSG:" + std::to_string(code->vertical)};
      return std::nullopt;
    }
    if (proj_get_type(v.pj) != PJ_TYPE_VERTICAL_CRS) {
      message = Message{kGisCrsNoVertical, "EPSG:" + std::to_string(code->vertical)};
      return std::nullopt;
    }
    // PROJ's list names its compound systems "horizontal + vertical".
    const std::string name = std::string(proj_get_name(h.pj)) + " + " + proj_get_name(v.pj);
    for (const CrsEntry& e : AllEntries(ctx)) {
      if (e.kind != "compound" || e.deprecated || e.name != name) continue;
      const Object registered = FromDatabase(ctx, ParseCrsCode(e.code)->horizontal);
      if (registered) return Describe(ctx, registered.pj);
    }
    const Object made(proj_create_compound_crs(ctx, name.c_str(), h.pj, v.pj));
    if (!made) {
      message = Message{kGisCrsUnknown, std::string(t)};
      return std::nullopt;
    }
    return Describe(
        ctx, made.pj,
        "EPSG:" + std::to_string(code->horizontal) + "+" + std::to_string(code->vertical));
  }
  const std::vector<CrsEntry> found = SearchCoordinateSystems(t, 50);
  const std::string wanted = Lowered(t);
  const CrsEntry* chosen = nullptr;
  for (const CrsEntry& e : found) {
    if (Lowered(e.name) == wanted && !e.deprecated) {
      chosen = &e;
      break;
    }
  }
  // "RD New" is the part after "Amersfoort / " of one system alone.
  for (const CrsEntry& e : found) {
    if (chosen) break;
    const size_t slash = e.name.find(" / ");
    if (e.deprecated || e.kind == "compound" || slash == std::string::npos ||
        Lowered(e.name.substr(slash + 3)) != wanted)
      continue;
    const bool alone = std::none_of(found.begin(), found.end(), [&](const CrsEntry& other) {
      const size_t s = other.name.find(" / ");
      return &other != &e && !other.deprecated && other.kind != "compound" &&
             s != std::string::npos && Lowered(other.name.substr(s + 3)) == wanted;
    });
    if (alone) chosen = &e;
  }
  if (!chosen && found.size() == 1) chosen = &found.front();
  if (!chosen) {
    message = Message{found.empty() ? kGisCrsUnknown : kGisCrsAmbiguous, std::string(t)};
    return std::nullopt;
  }
  const Object pj = FromDatabase(ctx, ParseCrsCode(chosen->code)->horizontal);
  if (!pj) {
    message = Message{kGisCrsUnknown, std::string(t)};
    return std::nullopt;
  }
  return Describe(ctx, pj.pj);
}

std::optional<CoordinateSystem> CoordinateSystem::FromDefinition(const std::string& definition) {
  Context context;
  const Object pj(proj_create(context.ctx, definition.c_str()));
  if (!pj || !proj_is_crs(pj.pj)) return std::nullopt;
  return Describe(context.ctx, pj.pj);
}

CoordinateSystem CoordinateSystem::Wgs84() {
  Message message{kGisCrsUnknown, {}};
  return Resolve("EPSG:4326", message).value();
}

std::optional<CoordinateSystem> CrsAccess::Describe(PJ_CONTEXT* ctx, PJ* crs, std::string code) {
  const char* wkt = proj_as_wkt(ctx, crs, PJ_WKT2_2019, nullptr);
  if (!wkt) return std::nullopt;
  if (code.empty()) {
    const char* auth = proj_get_id_auth_name(crs, 0);
    const char* id = proj_get_id_code(crs, 0);
    if (auth && id) {
      code = std::string(auth) + ":" + id;
    } else {
      // A file's definition often comes without its code (a Shapefile's .prj): PROJ tells
      // which EPSG system it is when it is sure.
      int* confidence = nullptr;
      PJ_OBJ_LIST* matches = proj_identify(ctx, crs, "EPSG", nullptr, &confidence);
      if (matches && proj_list_get_count(matches) > 0 && confidence && confidence[0] == 100) {
        const Object match(proj_list_get(ctx, matches, 0));
        if (const char* matchId = match ? proj_get_id_code(match.pj, 0) : nullptr)
          code = std::string("EPSG:") + matchId;
      }
      proj_int_list_destroy(confidence);
      proj_list_destroy(matches);
    }
  }
  CoordinateSystem out;
  out.code_ = std::move(code);
  const char* name = proj_get_name(crs);
  out.name_ = name ? name : "";
  out.wkt_ = wkt;
  PJ_TYPE type = proj_get_type(crs);
  if (type == PJ_TYPE_COMPOUND_CRS) {
    const Object horizontal(proj_crs_get_sub_crs(ctx, crs, 0));
    type = horizontal ? proj_get_type(horizontal.pj) : PJ_TYPE_UNKNOWN;
  }
  out.planar_ = type == PJ_TYPE_PROJECTED_CRS || type == PJ_TYPE_ENGINEERING_CRS;
  return out;
}

struct Reprojection::Proj {
  Context context;
  Object operation;
};

Reprojection::~Reprojection() = default;

std::unique_ptr<Reprojection> Reprojection::Make(const CoordinateSystem& from,
                                                 const CoordinateSystem& to,
                                                 const std::vector<GroundPoint>& samples,
                                                 Message& message) {
  std::unique_ptr<Reprojection> r(new Reprojection);
  if (from == to) return r;
  r->proj_ = std::make_unique<Proj>();
  PJ_CONTEXT* ctx = r->proj_->context.ctx;
  const Object source(proj_create(ctx, from.Wkt().c_str()));
  const Object target(proj_create(ctx, to.Wkt().c_str()));
  const std::string road = from.Label() + " to " + to.Label();
  if (!source || !target) {
    message = Message{kGisCrsNoTransformation, road};
    return nullptr;
  }

  // PROJ rates transformations by the area they serve: that of the points, in degrees.
  PJ_OPERATION_FACTORY_CONTEXT* factory = proj_create_operation_factory_context(ctx, nullptr);
  proj_operation_factory_context_set_grid_availability_use(ctx, factory,
                                                           PROJ_GRID_AVAILABILITY_IGNORED);
  if (!samples.empty()) {
    double minE = samples[0][0], maxE = minE, minN = samples[0][1], maxN = minN;
    for (const GroundPoint& p : samples) {
      minE = std::min(minE, p[0]);
      maxE = std::max(maxE, p[0]);
      minN = std::min(minN, p[1]);
      maxN = std::max(maxN, p[1]);
    }
    const Object geodetic(proj_crs_get_geodetic_crs(ctx, source.pj));
    const Object toDegrees(
        geodetic ? proj_create_crs_to_crs_from_pj(ctx, source.pj, geodetic.pj, nullptr, nullptr)
                 : nullptr);
    const Object normal(toDegrees ? proj_normalize_for_visualization(ctx, toDegrees.pj) : nullptr);
    if (normal) {
      double west = 180, south = 90, east = -180, north = -90;
      bool any = false;
      for (const auto& [e, n] : {std::pair{minE, minN}, {minE, maxN}, {maxE, minN}, {maxE, maxN}}) {
        const PJ_COORD c = proj_trans(normal.pj, PJ_FWD, proj_coord(e, n, 0, 0));
        if (!std::isfinite(c.xy.x) || !std::isfinite(c.xy.y) || std::abs(c.xy.x) > 180 ||
            std::abs(c.xy.y) > 90)
          continue;
        any = true;
        west = std::min(west, c.xy.x);
        east = std::max(east, c.xy.x);
        south = std::min(south, c.xy.y);
        north = std::max(north, c.xy.y);
      }
      // PROJ finds no transformation whose area holds a box of no size: a single point
      // is given a few metres around it.
      constexpr double kPad = 1e-4;
      if (any)
        proj_operation_factory_context_set_area_of_interest(
            ctx, factory, std::max(-180.0, west - kPad), std::max(-90.0, south - kPad),
            std::min(180.0, east + kPad), std::min(90.0, north + kPad));
    }
  }
  PJ_OBJ_LIST* operations = proj_create_operations(ctx, source.pj, target.pj, factory);
  proj_operation_factory_context_destroy(factory);
  Object best(operations && proj_list_get_count(operations) > 0 ? proj_list_get(ctx, operations, 0)
                                                                : nullptr);
  proj_list_destroy(operations);
  if (!best || proj_coordoperation_has_ballpark_transformation(ctx, best.pj)) {
    message = Message{kGisCrsNoTransformation, road};
    return nullptr;
  }
  if (!proj_coordoperation_is_instantiable(ctx, best.pj)) {
    std::string grids;
    const int count = proj_coordoperation_get_grid_used_count(ctx, best.pj);
    for (int i = 0; i < count; ++i) {
      const char *shortName = nullptr, *fullName = nullptr, *packageName = nullptr, *url = nullptr;
      int direct = 0, open = 0, available = 0;
      if (proj_coordoperation_get_grid_used(ctx, best.pj, i, &shortName, &fullName, &packageName,
                                            &url, &direct, &open, &available) &&
          !available && shortName)
        grids += (grids.empty() ? "" : ", ") + std::string(shortName);
    }
    message = Message{kGisCrsMissingGrid, grids.empty() ? std::string("?") : grids, road};
    return nullptr;
  }
  r->proj_->operation = Object(proj_normalize_for_visualization(ctx, best.pj));
  if (!r->proj_->operation) {
    message = Message{kGisCrsNoTransformation, road};
    return nullptr;
  }
  const char* name = proj_get_name(best.pj);
  r->name_ = name ? name : "";
  return r;
}

bool Reprojection::Apply(GroundPoint& point) const {
  if (!proj_) return true;
  PJ* op = proj_->operation.pj;
  proj_errno_reset(op);
  const PJ_COORD c = proj_trans(op, PJ_FWD, proj_coord(point[0], point[1], point[2], 0));
  if (proj_errno(op) != 0 || !std::isfinite(c.xyz.x) || !std::isfinite(c.xyz.y) ||
      !std::isfinite(c.xyz.z) || c.xyz.x == HUGE_VAL)
    return false;
  point = {c.xyz.x, c.xyz.y, c.xyz.z};
  return true;
}

}  // namespace ulvo
