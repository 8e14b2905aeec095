#pragma once

#include "console/console_state.h"
#include "console/console_view.h"
#include "console/settings_file.h"
#include "protocol/command_lines.h"
#include "protocol/reply_values.h"

#include <QObject>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

// A view without widgets: it keeps what the console shows (its messages and
// questions, and what it follows of the console's state), as a window
// would show it. What the test "types" it passes to the console as
// values. Its initial state is the window's at load.
class FakeView : public mivo::ConsoleView {
public:
    // Messages, in order; on_message runs while a message is "up".
    QStringList messages;
    std::function<void(const QString&)> on_message;
    QStringList take_messages() { return std::exchange(messages, {}); }
    // Questions asked, and the answer to every one.
    QStringList questions;
    bool answer = false;

    mivo::Availability::State availability;
    bool link_light = false;
    bool run_light = false;
    int ticks_shown = 0;  // times the run light went red
    std::array<bool, 8> state_lights{};
    std::array<bool, 5> input_lights{};  // the fifth has no bit of its own
    std::array<QString, 5> values{"0", "0", "0", "0", "0"};  // lb_rv_feedback(0), (3), (4)
    QStringList station_list;
    QString station;  // the station box's text
    QString command;  // "Command", which the console clears
    QString transcript;
    std::array<std::array<QString, 16>, 2> parameters = zeros();
    std::array<std::array<bool, 16>, 2> unwritten{};
    // What cbb_config(0..5) show, as list indexes; -1 for text naming none.
    std::array<int, 6> config{2, 0, 0, 0, 0, 1};
    // The "FeedBack" boxes, which "Stop" ticks.
    bool position_box = true;
    bool states_box = true;

    void show_message(const QString& text) override
    {
        messages << text;
        if (on_message)
            on_message(text);
    }
    // A question is "up" like a message.
    bool ask(const QString& question) override
    {
        questions << question;
        if (on_message)
            on_message(question);
        return answer;
    }
    // Shows what the console's state shows from now on, as the window's
    // StateFollower does.
    void follow(const mivo::ConsoleState& state)
    {
        using mivo::ConsoleState;
        context_ = std::make_unique<QObject>();
        QObject* c = context_.get();
        if (state.availability())
            availability = *state.availability();
        QObject::connect(&state, &ConsoleState::availability_changed, c, [this](const auto& s) { availability = s; });
        QObject::connect(&state, &ConsoleState::link_changed, c, [this](bool open) { link_light = open; });
        QObject::connect(&state, &ConsoleState::polling_changed, c, [this](bool running) {
            ticks_shown += running && !run_light;
            run_light = running;
        });
        QObject::connect(&state, &ConsoleState::live_value_changed, c,
                         [this](qint16 n, const std::optional<QString>& value) { show_live_value(n, value); });
        QObject::connect(&state, &ConsoleState::station_list_changed, c, [this](const QList<int>& stations) {
            station_list.clear();
            for (int n : stations)
                station_list << QString::number(n);
        });
        QObject::connect(&state, &ConsoleState::sweeping_changed, c, [this](std::optional<int> n) {
            station = n ? QString::number(*n) : QString();
        });
        QObject::connect(&state, &ConsoleState::feedback_changed, c, [this](bool position, bool states) {
            position_box = position;
            states_box = states;
        });
        QObject::connect(&state, &ConsoleState::entry_read, c, [this](int entry, std::optional<qint16> value) {
            parameters.at(group_of(entry)).at(index_of(entry)) = value ? QString::number(*value) : QString();
        });
        QObject::connect(&state, &ConsoleState::unwritten_changed, c, [this](int entry, bool marked) {
            unwritten.at(group_of(entry)).at(index_of(entry)) = marked;
        });
        QObject::connect(&state, &ConsoleState::config_word_read, c, [this](std::optional<qint16> word) {
            values.at(mivo::kConfigWordBox) = word ? QString::number(*word) : QString();
            if (word) {
                const auto indexes = mivo::protocol::decode_config(*word);
                std::copy(indexes.begin(), indexes.end(), config.begin());
            }
        });
        QObject::connect(&state, &ConsoleState::terminal_line, c, [this](const QString& line, const QString& received) {
            transcript += line + QStringLiteral("\r\n") + received;
            command.clear();
        });
        QObject::connect(&state, &ConsoleState::transcript_cleared, c, [this] { transcript.clear(); });
    }

    // "R" for a red light, "g" for a green one.
    template <std::size_t N>
    static QString colours(const std::array<bool, N>& lights)
    {
        QString s;
        for (bool red : lights)
            s += red ? u'R' : u'g';
        return s;
    }

private:
    std::unique_ptr<QObject> context_;

    static std::size_t group_of(int entry) { return std::size_t(mivo::settings_file::group_of(entry)); }
    static std::size_t index_of(int entry) { return std::size_t(mivo::settings_file::index_of(entry)); }

    void show_live_value(qint16 n, const std::optional<QString>& value)
    {
        using namespace mivo::protocol;
        if (n == kValuePosition && value)
            values[0] = *value;
        else if (n == kValueVersion)
            values[4] = value.value_or(QString());
        else if (n == kValueState) {
            if (const auto lit = mivo::protocol::state_lights(value.value_or(QString())))
                state_lights = *lit;
        } else if (n == kValueInputs) {
            if (const auto lit = mivo::protocol::input_lights(value.value_or(QString())))
                std::copy(lit->begin(), lit->end(), input_lights.begin());
        }
    }

    static std::array<std::array<QString, 16>, 2> zeros()
    {
        std::array<std::array<QString, 16>, 2> z;
        for (auto& group : z)
            group.fill(QStringLiteral("0"));
        return z;
    }
};
