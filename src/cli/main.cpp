#include "cli/cli_app.h"

int main(int argc, char** argv) { return qv::cli::runTool(argc, argv); }
