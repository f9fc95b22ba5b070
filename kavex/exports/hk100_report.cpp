#include "kavex/exports/hk100_report.h"

#include "kavex/formats/number_text.h"
#include "kavex/formats/text_file.h"
#include "kavex/formats/text_format.h"
#include "kavex/formats/text_line_reader.h"

namespace kavex {
namespace {

// Resolution of each unit code: raw whole numbers times the scale, printed with the
// matching number of decimals.
struct HkUnit {
  char code;
  bool feet;
  double distance;
  int distanceDecimals;
  double reading;
  int readingDecimals;
  double gh;
  int ghDecimals;
};

constexpr HkUnit kUnits[] = {
    {'1', false, 0.01, 2, 0.001, 3, 0.001, 3},     {'2', false, 0.01, 2, 0.0001, 4, 0.001, 3},
    {'3', false, 0.001, 3, 0.00001, 5, 0.0001, 4}, {'4', true, 0.01, 2, 0.01, 2, 0.01, 2},
    {'5', true, 0.01, 2, 0.001, 3, 0.01, 2},       {'6', true, 0.01, 2, 0.0001, 4, 0.001, 3},
    {'7', false, 0.01, 2, 0.0001, 4, 0.0001, 4},   {'8', false, 0.001, 3, 0.00001, 5, 0.00001, 5},
    {'9', true, 0.01, 2, 0.001, 3, 0.001, 3},      {'A', true, 0.01, 2, 0.0001, 4, 0.0001, 4},
};

const HkUnit* FindUnit(char code) {
  for (const HkUnit& u : kUnits) {
    if (u.code == code) return &u;
  }
  return nullptr;
}

// A field split from a line; fields missing from a short line read as empty.
class Fields {
 public:
  explicit Fields(std::string_view line) : fields_(SplitHkFields(line)) {}
  const std::string& operator[](size_t i) const { return i < fields_.size() ? fields_[i] : empty_; }
  char Char(size_t field, size_t pos) const {
    const std::string& f = (*this)[field];
    return pos < f.size() ? f[pos] : '\0';
  }
  double Number(size_t field, double scale) const {
    return static_cast<double>(ReadLong((*this)[field])) * scale;
  }
  bool Zero(size_t field) const { return ReadLong((*this)[field]) == 0; }

 private:
  std::vector<std::string> fields_;
  std::string empty_;
};

// "%-8s" that keeps every byte of the text.
std::string Left8(const std::string& text) {
  std::string s = text;
  if (s.size() < 8) s.resize(8, ' ');
  return s;
}

// "%.2s/%.2s/%.2s  %.2s:%.2s" over a YYMMDDhhmm field; a short field gives short pieces.
std::string DateTime(const std::string& f) {
  auto piece = [&](size_t pos) { return pos < f.size() ? f.substr(pos, 2) : std::string(); };
  return piece(0) + "/" + piece(2) + "/" + piece(4) + "  " + piece(6) + ":" + piece(8);
}

const char* UnitName(const HkUnit& u) {
  return u.feet ? "ft" : "m";
}

bool MetreTitles(char code) {
  return code >= '1' && code <= '3';
}
bool FeetTitles(char code) {
  return code >= '4' && code <= '6';
}
// The adjustment value lines exist for these codes only.
bool HasAdjustmentValues(char code) {
  return code >= '1' && code <= '6';
}

const char* AdjustmentLabel(char mode) {
  switch (mode) {
    case '1':
      return "     A   a (normal)  ";
    case '2':
      return "     A   a (reverse) ";
    case '3':
      return "     A   b (normal)  ";
    case '4':
      return "     A   b (reverse) ";
    case '5':
      return "     B   a (normal)  ";
    case '6':
      return "     B   a (reverse) ";
    case '7':
      return "     B   b (compe)   ";
    case '8':
      return "     B   a (compe)   ";
    default:
      return nullptr;
  }
}

const char* ResultLabel(char mode) {
  switch (mode) {
    case '1':
      return "     B   b (normal)  ";
    case '2':
      return "     B   b (reverse) ";
    case '3':
      return "     B   a (compe)   ";
    case '4':
      return "     B   b (compe)   ";
    default:
      return nullptr;
  }
}

}  // namespace

std::vector<std::string> SplitHkFields(std::string_view line) {
  std::vector<std::string> fields;
  std::string current;
  for (char c : line) {
    if (c == ',') {
      fields.push_back(std::move(current));
      current.clear();
      if (fields.size() == kHkMaxFields) break;
    } else {
      current.push_back(c);
      if (current.size() > kHkMaxFieldLength) break;
    }
  }
  return fields;
}

void Hk100Report::AddLine(std::string_view line) {
  const Fields f(line);
  const char type = f.Char(0, 0);
  const char code = f.Char(1, 1);
  const HkUnit* unit = FindUnit(code);

  auto valueLine = [&](const HkUnit& u) {
    Emit(Format("%10.*f %8.*f", u.distanceDecimals, f.Number(3, u.distance), u.readingDecimals,
                f.Number(2, u.reading)));
  };
  auto jobHeading = [&](size_t bm, size_t gh, size_t dateTime) {
    Blank();
    Blank();
    Emit("   Leveling ");
    Blank();
    Emit("   JOB#:" + Left8(f[2]) + "  START BM#:" + Left8(f[bm]) + "  " + DateTime(f[dateTime]));
    if (!unit) return;
    Emit(Format(unit->feet ? "   GH(ft):%*.*f" : "   GH(m):%*.*f",
                (unit->feet ? 10 : 9) + unit->ghDecimals, unit->ghDecimals,
                f.Number(gh, unit->gh)));
    Blank();
    if (unit->feet) {
      Emit("                       Dist.(ft)         Staf.(ft)");
      Emit("     P#      Flag     Bk.       Fr.      Bk.     Fr.      GH      Note");
    } else {
      Emit("                       Dist.(m)          Staf.(m)");
    }
  };
  auto summary = [&](const HkUnit& u) {
    const char* n = UnitName(u);
    Emit(Format("   Relative Height(%s): %10.*f  Total Relative Height(%s): %10.*f", n,
                u.ghDecimals, f.Number(5, u.gh), n, u.ghDecimals, f.Number(6, u.gh)));
    Emit(Format("   Distance(%s): %10.*f  Total Distance(%s): %10.*f", n, u.distanceDecimals,
                f.Number(7, u.distance), n, u.distanceDecimals, f.Number(8, u.distance)));
    Emit(Format("   GH(%s): %10.*f", n, u.ghDecimals, f.Number(9, u.gh)));
  };

  switch (type) {
    case 'a':
      Blank();
      Blank();
      Emit("   Measure");
      Blank();
      Emit("   JOB#:" + Left8(f[2]) + "  MEASURE#:" + Left8(f[3]) + "  " + DateTime(f[5]));
      if (MetreTitles(code)) {
        Blank();
        Emit("   P#            Dist.(m)    Staf.(m)      Note");
      } else if (FeetTitles(code)) {
        Blank();
        Emit("   P#            Dist.(ft)   Staf.(ft)     Note");
      }
      break;
    case 'b':
      jobHeading(3, 4, 5);
      break;
    case 'c':
      jobHeading(18, 19, 20);
      break;
    case 'f':
      if (unit) {
        Emit("   " + Left8(f[7]) +
             Format("  %10.*f  %10.*f", unit->distanceDecimals, f.Number(3, unit->distance),
                    unit->readingDecimals, f.Number(2, unit->reading)));
      }
      break;
    case 'g':
    case 'h':
    case 'i':
    case 'j':
    case 'k':
    case 'l': {
      if (unit) {
        const int dd = unit->distanceDecimals;
        const int rd = unit->readingDecimals;
        const double distance = f.Number(3, unit->distance);
        const double reading = f.Number(2, unit->reading);
        const std::string gh = Format("%10.*f", unit->ghDecimals, f.Number(4, unit->gh));
        const bool withGh = type == 'k' || type == 'l' || (type != 'g' && !f.Zero(4));
        std::string row;
        if (type == 'g' || type == 'h') {
          row = Format("    %10.*f          %8.*f", dd, distance, rd, reading) +
                (withGh ? "        " + gh : std::string(18, ' '));
        } else {
          const char* flag = type == 'k'   ? "  I         "
                             : type == 'l' ? "  S         "
                                           : "            ";
          row = Format("%s  %10.*f        %8.*f", flag, dd, distance, rd, reading) +
                (withGh ? gh : std::string(10, ' '));
        }
        Emit("   " + Left8(f[7]) + row);
      }
      switch (static_cast<unsigned char>(f.Char(1, 0)) & 0x0C) {
        case 0x04:
          Emit(" Operation Error");
          break;
        case 0x08:
          Emit(" Evaluation Error");
          break;
        case 0x0C:
          Emit(" Read Error");
          break;
        default:
          break;
      }
      break;
    }
    case 'm':
      if (previousType_ != 'm') {
        Blank();
        Blank();
        Blank();
        Emit("   Adjusting");
        if (MetreTitles(code)) {
          Blank();
          Blank();
          Emit("   From  To              Dist.(m) Staf.(m)");
        } else if (FeetTitles(code)) {
          Blank();
          Blank();
          Emit("   From  To             Dist.(ft) Staf.(ft)");
        }
      }
      if (const char* label = AdjustmentLabel(f.Char(1, 2))) Emit(label);
      if (unit && HasAdjustmentValues(code)) valueLine(*unit);
      break;
    case 'n': {
      if (const char* label = ResultLabel(f.Char(1, 2))) Emit(label);
      if (unit && HasAdjustmentValues(code)) valueLine(*unit);
      const char correction = f.Char(7, 0);
      if (unit && (correction == '0' || correction == '1')) {
        Emit(Format("   Difference:%10.5f Correction: %s", f.Number(4, unit->reading),
                    correction == '0' ? "No       " : "Yes      ") +
             DateTime(f[9]));
      }
      break;
    }
    case 't':
      Emit("   END JOB#:" + Left8(f[2]) + "   " + DateTime(f[4]));
      break;
    case 'u':
      Emit("   END JOB#:" + Left8(f[2]) + "  LAST MEASURE#:" + Left8(f[3]) + "  " + DateTime(f[4]));
      break;
    case 'v':
      Blank();
      Emit("   CHANGING#:" + Left8(f[3]) + "  " + DateTime(f[4]));
      if (unit) summary(*unit);
      break;
    case 'w':
      Emit("   END BM#:" + Left8(f[3]) + "  " + DateTime(f[4]));
      if (unit) summary(*unit);
      break;
    default:
      break;
  }
  previousType_ = type;
}

bool MakeHk100ReportFromFile(const std::filesystem::path& input, const Hk100Report::Output& output,
                             const std::function<void(int percent)>& betweenLines) {
  TextLineReader reader;
  if (!reader.Open(input)) return false;
  Hk100Report report(output);
  report.Start();
  std::string line;
  bool lf = false;
  for (size_t n = 1; reader.Next(line, lf); ++n) {
    report.AddLine(line);
    if (betweenLines && n % 32 == 0) betweenLines(reader.Percent());
  }
  return true;
}

std::vector<std::string> MakeHk100Report(std::string_view text) {
  std::vector<std::string> lines;
  Hk100Report report([&](const std::string& line) { lines.push_back(line); });
  report.Start();
  for (const std::string& line : SplitLines(text)) report.AddLine(line);
  return lines;
}

}  // namespace kavex
