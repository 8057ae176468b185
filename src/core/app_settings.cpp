#include "core/app_settings.h"

namespace qf {

DisplayOptions AppSettings::displayOptions() const {
  return {.dms = on(Switch::DmsFormat),
          .compass = on(Switch::CompassDirection),
          .metric = on(Switch::MetricUnit),
          .adjacentDistance = adjacentDistance,
          .showDistance = on(Switch::ShowDistance)};
}

}  // namespace qf
