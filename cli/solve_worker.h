#pragma once

namespace cli {

// `varbex solve-worker [--memory-mib N]`, not for people: one of the processes that `varbex serve`
// solves in. It answers the requests framed on descriptor 3 one after another, with its address
// space capped at what it holds when idle plus N MiB, and ends when the socket closes.
int solveWorkerCommand(int argc, char** argv);

}  // namespace cli
