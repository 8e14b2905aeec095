#pragma once

#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

namespace mivo::cli {

struct Job;

// The tool's commands, a family a file; the table in command_table.cpp
// names them.

// line_commands.cpp
int scan(Job& job);
int status_command(Job& job);
int prepare_send(Job& job);
int send(Job& job);
// settings_commands.cpp
int prepare_backup(Job& job);
int prepare_file(Job& job);
int read(Job& job);
int back_up(Job& job);
int compare(Job& job);
int restore(Job& job);
int write(Job& job);
int save(Job& job);
// motion_commands.cpp
int servo(Job& job);
int home(Job& job);
int prepare_move(Job& job);
int move(Job& job);
// bridge_command.cpp
int bridge_line(Job& job);
int bridge_stations(Job& job, const QList<int>& stations);
// watch.cpp
int watch(Job& job);
int watch_each(Job& job, const QList<int>& stations);
// run_recipe.cpp
int prepare_recipe(Job& job);
int run_recipe(Job& job);
// The reports of every station's run, once all have run.
int write_reports(Job& job, int status);

// A number, or null for a value that did not come.
template <typename T>
QJsonValue json_or_null(const std::optional<T>& v)
{
    return v ? QJsonValue(double(*v)) : QJsonValue(QJsonValue::Null);
}
// A number as the tool writes it, or "-" for one that did not come.
QString number_text(const std::optional<double>& v);

}  // namespace mivo::cli
