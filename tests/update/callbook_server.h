#pragma once

#include <httplib.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace kalvera::testing {

// A member line and a version line, as the chapter publishes them.
inline constexpr char kFreshCallbook[] =
    "versi: 2025-06-01 10:00\r\n"
    "QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2026-01-31#perpanjangan\r\n"
    "QV27XYZ#Sari#Jl. Mawar 2#Kota Contoh#0413#2025-12-31#baru\r\n";
// Callbooks with one kind of line only.
inline constexpr char kVersionOnly[] = "versi: 2025-07-01 07:00\r\n";
inline constexpr char kMembersOnly[] =
    "QV27DEF#Dewi#Jl. Kenanga 3#Kab. Contoh#0500#null#seumur hidup\r\n";

// The chapter's web server, its failure modes included, on a free port of 127.0.0.1. It runs
// on its own thread from construction to destruction.
class CallbookServer {
  public:
    CallbookServer();
    ~CallbookServer();
    CallbookServer(const CallbookServer&) = delete;
    CallbookServer& operator=(const CallbookServer&) = delete;

    std::string Url(const std::string& path) const;

    // Lets one request to /gated through; until then it waits (ten seconds at most).
    void OpenGate() { ++gatePasses_; }

    // Set once a stalling route has sent what it sends before it stalls.
    bool StallReached() const { return stallReached_; }

    // Requests that have arrived for `path` so far, answered yet or not; a redirect's target
    // counts on its own.
    int Requests(const std::string& path) const;

  private:
    void AddRoutes();
    // Holds the calling server thread until `done` says so or the test ends (ten seconds at
    // most).
    void HoldUntil(const std::function<bool()>& done);
    void Stall();

    httplib::Server server_;
    int port_ = -1;
    std::thread thread_;
    std::atomic<bool> stallReached_{false};
    std::atomic<bool> released_{false};
    std::atomic<int> gatePasses_{0};
    mutable std::mutex requestsMutex_;
    std::map<std::string, int> requests_;
};

}  // namespace kalvera::testing
