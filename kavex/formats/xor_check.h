#pragma once

#include <string>
#include <string_view>

namespace kavex {

// The exclusive-or check of the QRX-6 layout: the blocks, the measurement fields and the
// coordinate upload's initial block each end with three decimal digits of the exclusive-or
// of the characters they cover.
unsigned XorOf(std::string_view text);
// "%03u" of XorOf(text).
std::string XorCheckText(std::string_view text);

}  // namespace kavex
