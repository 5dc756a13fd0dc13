#pragma once

// `varbex serve`: the packer as an HTTP service.
namespace cli {

// Runs `varbex serve [--listen HOST:PORT] [--threads N] [--queue N] [--max-body BYTES]
// [--token-file FILE] [--cors ORIGIN] [--access-log FILE|-]`, with argv[1] == "serve", until
// SIGTERM or SIGINT. Returns 0 once every accepted request is answered, 1 when it cannot start.
int serveCommand(int argc, char** argv);

}  // namespace cli
