// kalvera-bench-launch: times two commands as whole processes, run in interleaved pairs.
//
//   kalvera-bench-launch [--runs N] [--warmup W] -- COMMAND_A ::: COMMAND_B
//
// A command is a program and its arguments; a lone "|" argument splits it into a pipeline,
// whose stages run at once, joined by pipes, as a shell would run them. The last stage's
// output goes into a pipe that this launcher drains (a real reader: GNU grep stops at the
// first match when its output is /dev/null). Standard input is /dev/null.
//
// Each pair runs A then B, or B then A, alternating, so that neither side always follows
// the other. A run's time is from just before the first fork to the moment the output has
// ended and every stage has been reaped; its memory is the largest ru_maxrss among the
// stages (wait4, in KiB; the same figure as /usr/bin/time's %M).
//
// Output, one line per measured pair: "pair I A_MS A_KIB B_MS B_KIB", then
// "summary A_MEDIAN_MS B_MEDIAN_MS RATIO_MEDIAN A_PEAK_KIB B_PEAK_KIB A_BYTES B_BYTES",
// where RATIO_MEDIAN is the median of the pairs' A/B ratios and the peaks are the largest
// over all measured runs. Exit status 0, or 1 when a stage failed (a signal, exit status
// above 1, or a program that could not be started); exit status 1 of grep ("no line") and
// of a lookup ("not found") are answers, not failures.
//
// The launcher keeps its own memory small and allocates nothing between runs: a forked
// child inherits the launcher's resident pages, and Linux counts them towards the child's
// ru_maxrss even after exec.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

constexpr int kMaxStages = 8;

struct Command {
    // Each stage's argv, null-terminated, pointing into the launcher's own argv.
    std::vector<std::vector<char*>> stages;
};

struct Sample {
    double milliseconds = 0;
    long maxRssKib = 0;
    unsigned long long bytes = 0;
    bool failed = false;
};

double Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

[[noreturn]] void ChildFailed(const char* what) {
    // Only async-signal-safe calls between fork and exec.
    const char prefix[] = "kalvera-bench-launch: cannot start ";
    (void)!write(STDERR_FILENO, prefix, sizeof prefix - 1);
    (void)!write(STDERR_FILENO, what, std::strlen(what));
    (void)!write(STDERR_FILENO, "\n", 1);
    _exit(127);
}

Sample RunOnce(const Command& command) {
    Sample sample;
    const int stageCount = static_cast<int>(command.stages.size());
    pid_t pids[kMaxStages] = {};
    int output[2] = {-1, -1};

    const double start = Now();
    if (pipe2(output, O_CLOEXEC) != 0) {
        std::perror("pipe2");
        sample.failed = true;
        return sample;
    }
    int input = -1;  // the read end feeding the next stage; -1 means /dev/null
    for (int s = 0; s < stageCount; ++s) {
        int link[2] = {-1, -1};
        const bool last = s == stageCount - 1;
        if (!last && pipe2(link, O_CLOEXEC) != 0) {
            std::perror("pipe2");
            std::exit(1);
        }
        const int writeEnd = last ? output[1] : link[1];
        const pid_t pid = fork();
        if (pid < 0) {
            std::perror("fork");
            std::exit(1);
        }
        if (pid == 0) {
            const int in = input >= 0 ? input : open("/dev/null", O_RDONLY | O_CLOEXEC);
            if (in < 0 || dup2(in, STDIN_FILENO) < 0 || dup2(writeEnd, STDOUT_FILENO) < 0) {
                ChildFailed("(redirection)");
            }
            execvp(command.stages[s][0], command.stages[s].data());
            ChildFailed(command.stages[s][0]);
        }
        pids[s] = pid;
        if (input >= 0) {
            close(input);
        }
        if (!last) {
            close(link[1]);
            input = link[0];
        }
    }
    close(output[1]);

    static char drain[64 * 1024];
    for (;;) {
        const ssize_t got = read(output[0], drain, sizeof drain);
        if (got > 0) {
            sample.bytes += static_cast<unsigned long long>(got);
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    close(output[0]);

    for (int s = 0; s < stageCount; ++s) {
        int status = 0;
        rusage usage{};
        while (wait4(pids[s], &status, 0, &usage) < 0) {
            if (errno != EINTR) {
                std::perror("wait4");
                std::exit(1);
            }
        }
        sample.maxRssKib = std::max(sample.maxRssKib, usage.ru_maxrss);
        if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
            sample.failed = true;
        }
    }
    sample.milliseconds = Now() - start;
    return sample;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int Usage() {
    std::fputs(
        "Usage: kalvera-bench-launch [--runs N] [--warmup W] -- COMMAND_A ::: COMMAND_B\n"
        "       (a lone \"|\" argument separates the stages of a pipeline)\n",
        stderr);
    return 64;
}

bool ParseCount(const char* text, int minimum, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < minimum || parsed > 10000) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

// Splits argv[first..argc) at ":::" into the two commands and each at "|" into stages.
bool ParseCommands(int argc, char** argv, int first, Command& a, Command& b) {
    Command* current = &a;
    current->stages.emplace_back();
    for (int i = first; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == ":::") {
            if (current == &b) {
                return false;
            }
            current = &b;
            current->stages.emplace_back();
        } else if (arg == "|") {
            current->stages.emplace_back();
        } else {
            current->stages.back().push_back(argv[i]);
        }
    }
    if (current != &b) {
        return false;
    }
    for (Command* command : {&a, &b}) {
        if (command->stages.size() > static_cast<std::size_t>(kMaxStages)) {
            return false;
        }
        for (std::vector<char*>& stage : command->stages) {
            if (stage.empty()) {
                return false;
            }
            stage.push_back(nullptr);
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 9;
    int warmup = 1;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg == "--runs" && i + 1 < argc && ParseCount(argv[i + 1], 1, runs)) {
            ++i;
        } else if (arg == "--warmup" && i + 1 < argc && ParseCount(argv[i + 1], 0, warmup)) {
            ++i;
        } else {
            return Usage();
        }
    }
    Command a;
    Command b;
    if (!ParseCommands(argc, argv, i, a, b)) {
        return Usage();
    }

    std::vector<Sample> samplesA;
    std::vector<Sample> samplesB;
    samplesA.reserve(static_cast<std::size_t>(runs));
    samplesB.reserve(static_cast<std::size_t>(runs));
    bool failed = false;
    for (int pair = -warmup; pair < runs; ++pair) {
        Sample sa;
        Sample sb;
        if (pair % 2 == 0) {
            sa = RunOnce(a);
            sb = RunOnce(b);
        } else {
            sb = RunOnce(b);
            sa = RunOnce(a);
        }
        failed = failed || sa.failed || sb.failed;
        if (pair >= 0) {
            samplesA.push_back(sa);
            samplesB.push_back(sb);
            std::printf("pair %d %.3f %ld %.3f %ld\n", pair, sa.milliseconds, sa.maxRssKib,
                        sb.milliseconds, sb.maxRssKib);
        }
    }

    std::vector<double> timesA;
    std::vector<double> timesB;
    std::vector<double> ratios;
    long peakA = 0;
    long peakB = 0;
    for (std::size_t k = 0; k < samplesA.size(); ++k) {
        timesA.push_back(samplesA[k].milliseconds);
        timesB.push_back(samplesB[k].milliseconds);
        ratios.push_back(samplesA[k].milliseconds / samplesB[k].milliseconds);
        peakA = std::max(peakA, samplesA[k].maxRssKib);
        peakB = std::max(peakB, samplesB[k].maxRssKib);
    }
    std::printf("summary %.3f %.3f %.4f %ld %ld %llu %llu\n", Median(timesA), Median(timesB),
                Median(ratios), peakA, peakB, samplesA.front().bytes, samplesB.front().bytes);
    if (failed) {
        std::fputs("kalvera-bench-launch: a command failed\n", stderr);
        return 1;
    }
    return 0;
}
