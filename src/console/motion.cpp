#include "console/motion.h"

#include "console/console_context.h"
#include "console/monitoring.h"

namespace mivo {

void Motion::enable_click() {}
void Motion::disable_click() {}
void Motion::home_click() {}
void Motion::start_click() {}
void Motion::stop_click() {}

}  // namespace mivo
