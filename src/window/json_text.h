#pragma once

#include <QJsonValue>
#include <QString>

namespace mivo {

// A check's value as the dialogs show it: numbers without a needless
// exponent, texts as they are, "-" for none.
inline QString json_value_text(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::Double: return QString::number(v.toDouble(), 'g', 15);
    case QJsonValue::String: return v.toString();
    case QJsonValue::Bool: return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default: return QStringLiteral("-");
    }
}

}  // namespace mivo
