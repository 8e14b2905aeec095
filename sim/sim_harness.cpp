#include "sim_harness.h"

#include "simulator.h"

#include <atomic>
#include <cstdio>
#include <exception>

#include <sys/stat.h>
#include <unistd.h>

namespace mivo::sim {

namespace {

std::string unique_link()
{
    static std::atomic<unsigned> serial{0};
    while (true) {
        const std::string path = "/tmp/mivo-sim-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
        struct stat st{};
        if (lstat(path.c_str(), &st) != 0)
            return path;
    }
}

}  // namespace

SimHarness::SimHarness(const std::vector<std::string>& args)
{
    SimOptions options = parse_options(args);
    if (options.link.empty())
        options.link = unique_link();
    sim_ = std::make_unique<Simulator>(std::move(options));
    thread_ = std::thread([this, sim = sim_.get()] {
        try {
            sim->run();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "mivo drive simulator stopped: %s\n", e.what());
        }
        finished_ = true;
    });
}

SimHarness::~SimHarness()
{
    stop();
}

const std::string& SimHarness::path() const
{
    return sim_->link_path();
}

const std::string& SimHarness::device_path() const
{
    return sim_->device_path();
}

std::vector<WireEvent> SimHarness::wire_log() const
{
    return sim_->log().events();
}

std::vector<std::string> SimHarness::rx_lines() const
{
    std::vector<std::string> lines;
    for (auto& event : sim_->log().events())
        if (event.dir == WireEvent::Rx)
            lines.push_back(std::move(event.bytes));
    return lines;
}

void SimHarness::clear_log()
{
    sim_->log().clear();
}

void SimHarness::stop()
{
    if (!thread_.joinable())
        return;
    sim_->request_stop();
    thread_.join();
    sim_->close();  // the log stays readable; the line and its link are gone
}

bool SimHarness::running() const
{
    return thread_.joinable() && !finished_;
}

double SimHarness::now_ms()
{
    return monotonic_ms();
}

}  // namespace mivo::sim
