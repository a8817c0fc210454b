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
// The same callbook as editors save it.
inline constexpr char kCrLineEnds[] =
    "versi: 2025-06-02 10:00\r"
    "QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2026-01-31#perpanjangan\r";
inline constexpr char kCrCrLfLineEnds[] =
    "versi: 2025-06-03 10:00\r\r\n"
    "QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2026-01-31#perpanjangan\r\r\n";
// kFreshCallbook in UTF-16 with its byte-order mark.
std::string Utf16Callbook(bool bigEndian);
// A version line and `members` member lines QV27A0000, QV27A0001, ...
std::string CallbookOfMembers(int members);
// A plain-text notice whose second line mentions a version, as a hosting service may serve.
inline constexpr char kTextNotice[] =
    "Mohon maaf, layanan dipindahkan.\r\nSilakan gunakan aplikasi versi: terbaru.\r\n";

// A Wi-Fi login page as hotspots send it: status 200, no content type, no <html> or
// <!doctype> at the start, and a line of many '#'.
inline constexpr char kCaptivePortal[] =
    "<head><title>Masuk</title><style>a{color:#111}body{background:#fff}</style></head>\r\n"
    "<body><h1>Selamat datang di Wi-Fi Kafe</h1>\r\n"
    "<!-- ################################ -->\r\n"
    "<form method=\"post\" action=\"/login\"><input name=\"voucher\"></form></body>\r\n";
// The same without a single tag.
inline constexpr char kPortalAsText[] =
    "Silakan masuk ke jaringan Wi-Fi Kafe\r\n"
    "################################\r\n"
    "Kode voucher#nama#kamar#tanggal#jam#harga#catatan\r\n";

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

    // Bytes the dripping routes have sent so far, over all their requests.
    std::size_t Dripped() const { return dripped_; }

    // Requests that have arrived for `path` so far, answered yet or not; a redirect's target
    // counts on its own.
    int Requests(const std::string& path) const;

  private:
    void AddRoutes();
    // Holds the calling server thread until `done` says so or the test ends (ten seconds at
    // most).
    void HoldUntil(const std::function<bool()>& done);
    void Stall();
    // Sends one byte of an endless callbook every 50 ms until the client or the test ends.
    bool Drip(httplib::DataSink& sink);

    httplib::Server server_;
    int port_ = -1;
    std::thread thread_;
    std::atomic<bool> stallReached_{false};
    std::atomic<bool> released_{false};
    std::atomic<int> gatePasses_{0};
    std::atomic<std::size_t> dripped_{0};
    mutable std::mutex requestsMutex_;
    std::map<std::string, int> requests_;
};

}  // namespace kalvera::testing
