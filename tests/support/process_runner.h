#pragma once

#include <map>
#include <string>
#include <vector>

namespace qv::test {

struct ProcessRun {
    std::vector<std::string> args;              // without the program
    std::map<std::string, std::string> env;     // set over the inherited environment
    // When not empty: SIGINT is sent once standard error contains this text.
    std::string interruptOn;
    int timeoutSeconds = 300;                   // then the process is killed
    bool stderrIsTerminal = false;              // standard error goes to a pseudo-terminal
};

struct ProcessResult {
    int exitCode = -1;  // -1 when it did not exit normally
    bool interruptSent = false;
    std::string out;
    std::string err;
};

// Starts the program, collects both output streams and waits for it to end.
ProcessResult runProcess(const std::string& program, const ProcessRun& run);

}  // namespace qv::test
