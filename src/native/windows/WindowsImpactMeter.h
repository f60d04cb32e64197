#pragma once

#include "platform/ImpactMeter.h"

namespace lw {

class WindowsImpactMeter : public ImpactMeter {
public:
  ImpactMeasurement measure(const std::vector<ImpactTarget> &targets,
                            std::chrono::milliseconds until, bool once) override;
};

} // namespace lw
