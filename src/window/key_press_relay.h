#pragma once

#include <QtGlobal>

#include <functional>

class QWidget;

namespace mivo {

// Calls handler with the character code of every character key typed into
// the box (Enter gives 13), before the box itself receives the key.
void relay_key_presses(QWidget* box, std::function<void(qint16)> handler);

}  // namespace mivo
