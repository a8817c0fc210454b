#pragma once

#include <QByteArray>

#include "scripted_http_server.h"

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

// kFreshCallbook in UTF-16 with its byte-order mark.
QByteArray Utf16Callbook(bool bigEndian);
// A version line and `members` member lines QV27A0000, QV27A0001, ...
QByteArray CallbookOfMembers(int members);

// The chapter's web server, every way it can fail included, each under a path of its own
// ("/1028/log.txt" is the callbook as published).
void AnswerAsTheChapter(ScriptedHttpServer& server);

}  // namespace kalvera::testing
