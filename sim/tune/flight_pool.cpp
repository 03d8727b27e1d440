// SPDX-License-Identifier: MIT
#include "sim/tune/flight_pool.h"

#include "sim/tune/hold_margins.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "sim/scenario/runner.h"

namespace tune {

namespace {

struct Running {
    pid_t pid = -1;
    int fd = -1;
    size_t job = 0;
    FlightOutcome outcome;
    size_t received = 0;
};

// Reads what is there of the child's outcome; true once the pipe closed.
bool drain(Running& r) {
    auto* bytes = reinterpret_cast<char*>(&r.outcome);
    while (true) {
        const size_t room = sizeof r.outcome - r.received;
        char sink[64];
        const ssize_t n = room > 0 ? read(r.fd, bytes + r.received, room) : read(r.fd, sink, sizeof sink);
        if (n > 0) {
            if (room > 0)
                r.received += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return true;  // end of file, or an error: the child is done either way
    }
}

}  // namespace

FlightPool::FlightPool(int processes, std::string modulePath, FlightConditions conditions)
    : processes_(processes < 1 ? 1 : processes),
      modulePath_(std::move(modulePath)),
      conditions_(std::move(conditions)) {}

FlightOutcome FlightPool::flyHere(const FlightJob& job) const {
    const host::Scenario scenario = scenarioFor(job.flight, conditions_, job.parameters);
    std::ostringstream trace;
    host::RunOptions options;
    options.modulePath = modulePath_;
    options.trace = &trace;
    options.plotPath = job.plotPath;
    const host::RunResult result = host::runScenario(scenario, options);
    if (!result.flown) {
        return FlightOutcome{};
    }
    const std::string text = trace.str();
    FlightOutcome outcome = scoreTrace(job.flight, text);
    outcome.traceHash = hashText(text);
    observeIntegrals(text, job.parameters, outcome);
    for (const std::string& note : result.notes) {
        if (note.find("no trim") != std::string::npos) {
            outcome.trimmed = false;
        }
    }
    return outcome;
}

std::vector<FlightOutcome> FlightPool::fly(const std::vector<FlightJob>& jobs,
                                           const std::atomic<bool>* stop) const {
    std::vector<FlightOutcome> outcomes(jobs.size());
    std::vector<Running> running;
    size_t next = 0;
    const auto stopped = [stop] { return stop != nullptr && stop->load(); };
    while (next < jobs.size() || !running.empty()) {
        // Start flights while there is room.
        while (next < jobs.size() && static_cast<int>(running.size()) < processes_ && !stopped()) {
            int fds[2];
            if (pipe(fds) != 0) {
                break;
            }
            const pid_t pid = fork();
            if (pid == 0) {
                // The worker: Ctrl-C is for the tuner, which ends the run itself.
                signal(SIGINT, SIG_IGN);
                close(fds[0]);
                const FlightOutcome outcome = flyHere(jobs[next]);
                const char* bytes = reinterpret_cast<const char*>(&outcome);
                size_t sent = 0;
                while (sent < sizeof outcome) {
                    const ssize_t n = write(fds[1], bytes + sent, sizeof outcome - sent);
                    if (n <= 0 && errno != EINTR)
                        break;
                    if (n > 0)
                        sent += static_cast<size_t>(n);
                }
                _exit(0);
            }
            close(fds[1]);
            if (pid < 0) {
                close(fds[0]);
                break;
            }
            Running r;
            r.pid = pid;
            r.fd = fds[0];
            r.job = next++;
            running.push_back(r);
        }
        if (running.empty()) {
            if (stopped() || next >= jobs.size())
                break;
            // No process could be started: fly here rather than never.
            outcomes[next] = flyHere(jobs[next]);
            ++next;
            ++flights_;
            continue;
        }
        // Wait for any running flight to finish.
        std::vector<pollfd> waiting(running.size());
        for (size_t i = 0; i < running.size(); ++i) {
            waiting[i] = pollfd{running[i].fd, POLLIN, 0};
        }
        if (poll(waiting.data(), waiting.size(), -1) < 0 && errno != EINTR) {
            break;
        }
        for (size_t i = running.size(); i-- > 0;) {
            if ((waiting[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                continue;
            }
            Running& r = running[i];
            if (!drain(r)) {
                continue;
            }
            close(r.fd);
            int status = 0;
            while (waitpid(r.pid, &status, 0) < 0 && errno == EINTR) {
            }
            const bool clean =
                WIFEXITED(status) && WEXITSTATUS(status) == 0 && r.received == sizeof r.outcome;
            outcomes[r.job] = clean ? r.outcome : FlightOutcome{};
            ++flights_;
            running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    return outcomes;
}

}  // namespace tune
