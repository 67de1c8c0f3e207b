#pragma once

#include <csignal>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qv::test {

struct ProcessRun {
    std::vector<std::string> args;              // without the program
    std::map<std::string, std::string> env;     // set over the inherited environment
    // When not empty: a signal is sent once standard error contains this text.
    std::string interruptOn;
    // When set: the signal is sent once this answers true (asked every few
    // milliseconds), instead of on a text.
    std::function<bool()> interruptWhen;
    int interruptSignal = SIGINT;
    int interruptRepeats = 1;                   // sent this many times in a row
    // Standard error's reading end is closed after the first bytes, as a
    // reader like `grep -m1` does.
    bool closeStderrEarly = false;
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
