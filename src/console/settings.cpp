#include "console/settings.h"

#include "console/console_context.h"

namespace mivo {

void Settings::read_groups() {}
QStringList Settings::get_All_and_show_P_group() { return {}; }
QStringList Settings::get_All_and_show_V_group() { return {}; }
void Settings::key_press(int, int, qint16) {}
void Settings::save_click() {}
void Settings::get_and_show_MIVO_config() {}
void Settings::apply_click() {}
void Settings::set_new_config() {}

}  // namespace mivo
