#pragma once

namespace mivo::cli {

struct Invocation;

// results: the runs kept in --results STORE, or one run's reports (--id).
// Needs no port; the exit status.
int results_command(const Invocation& inv);

}  // namespace mivo::cli
