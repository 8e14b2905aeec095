#pragma once

#include "console/console_view.h"

#include <QStringList>

#include <array>
#include <functional>

// A view without widgets: it keeps what the console shows, in the state a
// window would show it. What the test "types" it passes to the console as
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
    void apply_availability(const mivo::Availability::State& state) override { availability = state; }
    void show_link_light(bool linked) override { link_light = linked; }
    void show_run_light(bool running) override
    {
        ticks_shown += running && !run_light;
        run_light = running;
    }
    void show_state_lights(const std::array<bool, 8>& lit) override { state_lights = lit; }
    void show_input_lights(const std::array<bool, 4>& lit) override
    {
        std::copy(lit.begin(), lit.end(), input_lights.begin());
    }
    void show_value(qint16 index, const QString& text) override { values.at(std::size_t(index)) = text; }
    void clear_station_list() override { station_list.clear(); }
    void append_station(int n) override { station_list << QString::number(n); }
    void show_station_text(const QString& text) override { station = text; }
    void show_parameter(int group, int index, const QString& text) override
    {
        parameters.at(std::size_t(group)).at(std::size_t(index)) = text;
    }
    void mark_unwritten(int group, int index, bool marked) override
    {
        unwritten.at(std::size_t(group)).at(std::size_t(index)) = marked;
    }
    void show_config(const mivo::protocol::ConfigIndexes& indexes) override
    {
        std::copy(indexes.begin(), indexes.end(), config.begin());
    }
    void append_transcript(const QString& text) override { transcript += text; }
    void clear_transcript() override { transcript.clear(); }
    void clear_command() override { command.clear(); }
    void tick_feedback_boxes() override { position_box = states_box = true; }

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
    static std::array<std::array<QString, 16>, 2> zeros()
    {
        std::array<std::array<QString, 16>, 2> z;
        for (auto& group : z)
            group.fill(QStringLiteral("0"));
        return z;
    }
};
