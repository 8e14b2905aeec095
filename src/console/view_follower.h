#pragma once

#include <QObject>

namespace mivo {

class ConsoleContext;

// The console's view follows its state: the link light, the run light, the
// position and version boxes and the lights of the state and input words
// come from ConsoleState's changes, whoever read them. The core writes a
// value once, into the state.
class ViewFollower : public QObject {
    Q_OBJECT
public:
    explicit ViewFollower(ConsoleContext& context);
};

}  // namespace mivo
