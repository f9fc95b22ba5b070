#pragma once

#include "ulvo/transfer/port_names.h"

namespace ulvo {

// The machine's ports as the system describes them, in device order.
class SystemPortLister final : public PortLister {
 public:
  std::vector<PortInfo> Ports() const override;
};

}  // namespace ulvo
