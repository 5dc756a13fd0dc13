#pragma once

// `varbex batch`: one request per input line, solved on several threads, one response per output
// line in input order.
namespace cli {

// Runs `varbex batch [IN.jsonl|-] [-o OUT.jsonl] [--jobs N]`, with argv[1] == "batch". Returns
// the exit status: 2 when some line was rejected, else 3 when some item was left unplaced, else 0;
// 1 for a usage or input/output error.
int batchCommand(int argc, char** argv);

}  // namespace cli
