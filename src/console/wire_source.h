#pragma once

#include "link/command_exchange.h"

#include <QString>

namespace mivo {

// Tags what a handler sends and reads in the wire log for as long as it
// runs; a handler that runs inside another's wait tags its own lines and
// gives the tag back when it returns.
class WireSource {
public:
    WireSource(CommandExchange& exchange, const QString& source) : exchange_(exchange), previous_(exchange.source())
    {
        exchange_.set_source(source);
    }
    ~WireSource() { exchange_.set_source(previous_); }
    WireSource(const WireSource&) = delete;
    WireSource& operator=(const WireSource&) = delete;

private:
    CommandExchange& exchange_;
    QString previous_;
};

}  // namespace mivo
