#pragma once

namespace mivo {

// Gives the console's own widgets the roles assistive technology expects:
// the window is a window, a light a graphic (Qt's indicator role reads as
// "unknown" on Linux). Safe to call more than once.
void install_accessibility_roles();

}  // namespace mivo
