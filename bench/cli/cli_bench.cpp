// The command-line tool on a 24-megapixel photo: full size, default
// settings, JPEG out, as a user runs it. Each iteration is one process; the
// peak resident memory of the processes is reported per pixel.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "camera_jpeg.h"
#include "working_set.h"

extern char** environ;

namespace qv::bench {
namespace {

// Runs the tool with its output streams closed; its exit code, or -1.
int runTool(std::vector<std::string> args)
{
    args.insert(args.begin(), QV_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

void CliFullSizeJpeg(benchmark::State& bm)
{
    const std::string& input = cameraJpeg();
    // A home of its own, so that no stored settings of the user take part.
    ::setenv("HOME", "/tmp/quorvelin_cli_bench_home", 1);
    ::setenv("XDG_CONFIG_HOME", "/tmp/quorvelin_cli_bench_home/.config", 1);
    for (auto _ : bm)
        if (runTool({input, "-o", "/tmp/quorvelin_cli_bench_out.jpg", "--quiet"}) != 0) {
            bm.SkipWithError("the tool failed");
            return;
        }
    // The largest peak of the processes this program waited for.
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    reportBytesPerPixel(bm, std::size_t(usage.ru_maxrss) * 1024, std::size_t(kCameraJpegWidth) * kCameraJpegHeight);
}
BENCHMARK(CliFullSizeJpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

}  // namespace
}  // namespace qv::bench
