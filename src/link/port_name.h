#pragma once

#include <QString>

namespace mivo {

// The system name of the port chosen in the "Comm" box: a whole number N is
// the N-th port in the platform's usual numbering (COMN, /dev/ttyS<N-1>);
// any other text is a device name or path, used as typed.
QString system_port_name(const QString& comm_text);

}  // namespace mivo
