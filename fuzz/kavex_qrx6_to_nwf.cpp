// The conversion QRX-6 to NWF with every combination of its options.
#include "fuzz_support.h"
#include "kavex/formats/qrx6_to_nwf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const unsigned flags = data[0];
  std::string_view text = fuzz::Bytes(data + 1, size - 1);
  kavex::CvtQ6to7Options options;
  options.addHeader = flags & 1;
  options.angleDegrees = flags & 2;
  options.distanceMetres = flags & 4;
  options.measuredFs = flags & 8;
  options.firstIsBs = flags & 16;
  // The dialog's edits come from the first line, through the checks the dialog makes.
  const size_t lf = text.find('\n');
  const std::string_view edits = text.substr(0, lf);
  if (auto scale = kavex::AcceptScaleText(edits.substr(0, edits.find(','))))
    options.scaleText = *scale;
  if (const size_t comma = edits.find(','); comma != std::string_view::npos)
    if (auto elevation = kavex::AcceptElevationText(edits.substr(comma + 1)))
      options.elevationText = *elevation;
  kavex::TargetCounter counter;
  kavex::ConvertQrx6TextToNwf(text, options, counter);
  return 0;
}
