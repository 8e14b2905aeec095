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

}  // namespace mivo
