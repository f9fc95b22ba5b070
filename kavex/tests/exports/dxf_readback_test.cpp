// The drawing read back by independent DXF readers from Debian (python3-ezdxf, gdal-bin).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kavex/exports/dxf_export.h"
#include "kavex/formats/text_file.h"
#include "kavex/tests/comm/test_blocks.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

struct Feature {
  std::string kind;  // POINT or TEXT
  std::string layer;
  std::string text;
  double x = 0, y = 0, z = 0;
};

std::string RunCommand(const std::string& command, int& status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    status = -1;
    return out;
  }
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  status = pclose(pipe);
  return out;
}

// A job of four points, coordinates in millimetres as the coordinate conversion writes them.
const char* const kStream =
    "_+BM1       _ x1234567891_ y7654321012_ z +00012345"
    "_+P2        _ x1234600000_ y7654300500_ z +00011000"
    "_+CORNER0003_ x1234550250_ y7654350750_ z -00000500"
    "_+T4        _ x1234580000_ y7654310000_ z +00000000_";

// Where every point and label must be: E = y / 1000, N = x / 1000; labels 0.01005 up and
// right (height 0.002 x 50.25 m).
std::vector<Feature> Expected() {
  const struct {
    const char* name;
    double e, n, z;
  } points[] = {{"BM1", 7654321.012, 1234567.891, 12.345},
                {"P2", 7654300.5, 1234600.0, 11.0},
                {"CORNER0003", 7654350.75, 1234550.25, -0.5},
                {"T4", 7654310.0, 1234580.0, 0.0}};
  std::vector<Feature> features;
  for (const auto& p : points) {
    features.push_back({"POINT", "CoordinateData", "", p.e, p.n, p.z});
    features.push_back({"TEXT", "PointName", p.name, p.e + 0.01005, p.n + 0.01005, p.z});
  }
  return features;
}

class DxfReadBack : public ::testing::Test {
 public:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kavex_dxf_readback_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    // The block lines of the stream, then the drawing saved as Save writes it.
    std::ofstream qr6(dir / "job.qr6", std::ios::binary);
    for (size_t i = 0; i * 128 < std::strlen(kStream); ++i)
      qr6 << testing::BlockLine(std::string(kStream).substr(i * 128, 128), static_cast<int>(i));
    qr6.close();
    std::vector<std::string> lines;
    ASSERT_EQ(ExportDxf(dir / "job.qr6", [&](const std::string& l) { lines.push_back(l); }),
              DxfResult::Done);
    ASSERT_TRUE(WriteTextFile(dir / "job.dxf", JoinLines(lines)));
  }
  void TearDown() override { fs::remove_all(dir); }

  static void ExpectFeatures(const std::vector<Feature>& got) {
    const std::vector<Feature> want = Expected();
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(got[i].kind, want[i].kind) << i;
      EXPECT_EQ(got[i].layer, want[i].layer) << i;
      EXPECT_EQ(got[i].text, want[i].text) << i;
      // Ten significant digits of seven-digit coordinates keep the millimetre.
      EXPECT_NEAR(got[i].x, want[i].x, 0.0005) << i;
      EXPECT_NEAR(got[i].y, want[i].y, 0.0005) << i;
      EXPECT_NEAR(got[i].z, want[i].z, 0.0005) << i;
    }
  }

  fs::path dir;
};

TEST_F(DxfReadBack, Ezdxf) {
  int status = 0;
  RunCommand("/usr/bin/python3 -c 'import ezdxf' 2>/dev/null", status);
  if (status != 0) GTEST_SKIP() << "python3-ezdxf is not installed (scripts/deps installs it)";
  const std::string script =
      "import sys, ezdxf\n"
      "doc = ezdxf.readfile(sys.argv[1])\n"
      "for e in doc.modelspace():\n"
      "    p = e.dxf.location if e.dxftype() == 'POINT' else e.dxf.insert\n"
      "    t = e.dxf.text if e.dxftype() == 'TEXT' else '-'\n"
      "    print(e.dxftype(), e.dxf.layer, t, repr(p.x), repr(p.y), repr(p.z))\n";
  std::ofstream(dir / "read.py") << script;
  const std::string out = RunCommand(
      "/usr/bin/python3 " + (dir / "read.py").string() + " " + (dir / "job.dxf").string(), status);
  ASSERT_EQ(status, 0) << out;
  std::vector<Feature> got;
  std::istringstream in(out);
  Feature f;
  while (in >> f.kind >> f.layer >> f.text >> f.x >> f.y >> f.z) {
    if (f.text == "-") f.text.clear();
    got.push_back(f);
  }
  ExpectFeatures(got);
}

TEST_F(DxfReadBack, GdalOgrinfo) {
  int status = 0;
  RunCommand("ogrinfo --version >/dev/null 2>&1", status);
  if (status != 0) GTEST_SKIP() << "gdal-bin's ogrinfo is not installed (scripts/deps installs it)";
  const std::string out = RunCommand("ogrinfo -ro -al -q " + (dir / "job.dxf").string(), status);
  ASSERT_EQ(status, 0) << out;
  // Each feature: "Layer (String) = ...", for texts "Text (String) = ...", then its
  // "POINT Z (x y z)".
  std::vector<Feature> got;
  Feature f;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    const auto value = [&](const std::string& key) {
      return line.substr(line.find(key) + key.size());
    };
    if (line.find("Layer (String) = ") != std::string::npos) {
      f = Feature{};
      f.layer = value("Layer (String) = ");
    } else if (line.find("Text (String) = ") != std::string::npos) {
      f.text = value("Text (String) = ");
    } else if (line.find("POINT Z (") != std::string::npos) {
      std::istringstream xyz(value("POINT Z ("));
      xyz >> f.x >> f.y >> f.z;
      f.kind = f.layer == "PointName" ? "TEXT" : "POINT";
      got.push_back(f);
    }
  }
  ExpectFeatures(got);
}

}  // namespace
}  // namespace kavex
