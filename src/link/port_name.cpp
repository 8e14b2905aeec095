#include "link/port_name.h"

#include <QRegularExpression>

namespace mivo {

QString system_port_name(const QString& comm_text)
{
    static const QRegularExpression whole_number(QStringLiteral("^\\s*0*([1-9][0-9]{0,4})\\s*$"));
    const auto match = whole_number.match(comm_text);
    if (match.hasMatch()) {
        const int n = match.captured(1).toInt();
        if (n <= 32767) {
#ifdef Q_OS_WIN
            return QStringLiteral("COM%1").arg(n);
#else
            return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
        }
    }
    // Blanks around a typed path are no part of any device name.
    return comm_text.trimmed();
}

}  // namespace mivo
