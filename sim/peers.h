// The lines the simulated printer can sit on. Each prints its address as the first line of
// standard output once it is ready, serves until a stop signal, and returns the exit status.
#pragma once

#include "sim/options.h"
#include "sim/responder.h"

namespace ordavo::sim {

// A pseudo-terminal whose slave end is linked at o.pty_path.
int RunPty(const Options& o, Responder& responder);
// A TCP listener on o.tcp_host:o.tcp_port: one connection per command, the frame followed by
// a two-byte tag, the answer, then the connection is closed.
int RunTcp(const Options& o, Responder& responder);
// The answering side of the exchange files "comando.dat" and "retorno.dat" in o.file_dir.
int RunFile(const Options& o, Responder& responder);

}  // namespace ordavo::sim
