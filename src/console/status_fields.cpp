#include "console/status_fields.h"

#include <QJsonArray>

namespace mivo {

namespace {

template <typename T>
QJsonValue number_or_null(const std::optional<T>& v)
{
    return v ? QJsonValue(double(*v)) : QJsonValue(QJsonValue::Null);
}

}  // namespace

QJsonObject status_fields(const DriveOperations::Status& s)
{
    return {
        {QStringLiteral("position"), number_or_null(s.position)},
        {QStringLiteral("state"), number_or_null(s.state)},
        {QStringLiteral("inputs"), number_or_null(s.inputs)},
        {QStringLiteral("state_bits"),
         QJsonArray::fromStringList(s.state ? DriveOperations::state_bit_names(*s.state) : QStringList())},
        {QStringLiteral("input_bits"),
         QJsonArray::fromStringList(s.inputs ? DriveOperations::input_bit_names(*s.inputs) : QStringList())},
    };
}

}  // namespace mivo
