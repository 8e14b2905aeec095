#include "cli/command_table.h"

#include "cli/commands/commands.h"

#include <array>

namespace mivo::cli {

using namespace Qt::StringLiterals;

const Command* find_command(QLatin1StringView name)
{
    static const std::array<Command, 15> kCommands{{
        {.name = "scan"_L1, .run = scan},
        {.name = "read"_L1, .run = read, .values = {u"drive"_s, u"entries"_s}},
        {.name = "backup"_L1, .run = back_up, .prepare = prepare_backup, .values = {u"file"_s, u"entries"_s}},
        {.name = "compare"_L1, .run = compare, .prepare = prepare_file, .values = {u"same"_s, u"differences"_s}},
        {.name = "restore"_L1,
         .run = restore,
         .prepare = prepare_file,
         .values = {u"written"_s, u"not_taken"_s, u"saved"_s, u"reset_needed"_s}},
        {.name = "send"_L1, .run = send, .prepare = prepare_send},
        {.name = "watch"_L1, .run = watch, .each = watch_each},
        {.name = "status"_L1,
         .run = status_command,
         .values = {u"position"_s, u"state"_s, u"inputs"_s, u"state_bits"_s, u"input_bits"_s}},
        {.name = "servo"_L1, .run = servo},
        {.name = "home"_L1, .run = home},
        {.name = "move"_L1, .run = move, .prepare = prepare_move},
        {.name = "write"_L1, .run = write},
        {.name = "save"_L1, .run = save},
        {.name = "run"_L1, .run = run_recipe, .prepare = prepare_recipe},
        {.name = "bridge"_L1, .run = bridge_line, .each = bridge_stations},
    }};
    for (const Command& c : kCommands)
        if (c.name == name)
            return &c;
    return nullptr;
}

}  // namespace mivo::cli
