#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace mivo {

// The system name of the port chosen in the "Comm" box: a whole number N is
// the N-th port in the platform's usual numbering (COMN, /dev/ttyS<N-1>);
// any other text is a device name or path, used as typed.
QString system_port_name(const QString& comm_text);

// A line reached over the network: "tcp://HOST:PORT" carries the line's
// bytes as they are (a device server in raw mode); "rfc2217://HOST:PORT"
// carries them in telnet with the COM-PORT option. HOST is a name, an IPv4
// address, or an IPv6 address in brackets.
struct NetworkAddress {
    bool telnet = false;
    QString host;  // without brackets
    quint16 port = 0;
};

// Whether the name asks for a network line (it may still be a bad one).
bool names_network_line(const QString& port_name);
// The address, or nothing with the reason in why.
std::optional<NetworkAddress> network_address(const QString& port_name, QString* why = nullptr);

}  // namespace mivo
