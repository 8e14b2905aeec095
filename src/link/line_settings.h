#pragma once

#include <QSerialPort>
#include <QString>

#include <optional>

namespace mivo {

// A settings text in the form "115200,N,8,1": baud rate, parity letter,
// data bits, stop bits.
struct LineSettings {
    qint32 baud_rate = 115200;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits data_bits = QSerialPort::Data8;
    QSerialPort::StopBits stop_bits = QSerialPort::OneStop;
};

std::optional<LineSettings> parse_line_settings(const QString& text);

// The system name of the port chosen in the "Comm" box: a whole number N is
// the N-th port in the platform's usual numbering (COMN, /dev/ttyS<N-1>);
// any other text is a device name or path, used as typed.
QString system_port_name(const QString& comm_text);

}  // namespace mivo
