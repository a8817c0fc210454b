#include "chapter_answers.h"

#include <cstdio>
#include <string_view>

#include "update/callbook_content_check.h"

namespace kalvera::testing {
namespace {

using Then = ScriptedAnswer::Then;

// Member lines repeated to at least `atLeast` bytes.
QByteArray MemberLines(qsizetype atLeast) {
    constexpr std::string_view line =
        "QV27AAA#Anggota#Jl. Panjang 1#Kab. Contoh#0001#2030-12-31#seumur hidup\r\n";
    QByteArray text;
    while (text.size() < atLeast) {
        text.append(line.data(), static_cast<qsizetype>(line.size()));
    }
    return text;
}

// `body` as gzip would carry it uncompressed, in stored blocks, cut off after them: no last
// block and no checksum, as a transfer that broke off leaves it.
QByteArray GzipWithoutItsEnd(const QByteArray& body) {
    QByteArray gzip("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
    for (qsizetype at = 0; at < body.size(); at += 0xffff) {
        const QByteArray block = body.mid(at, 0xffff);
        const auto length = static_cast<quint16>(block.size());
        const auto inverse = static_cast<quint16>(~length);
        gzip += '\0';  // not the last block, stored
        for (const quint16 value : {length, inverse}) {
            gzip += static_cast<char>(value & 0xff);
            gzip += static_cast<char>(value >> 8);
        }
        gzip += block;
    }
    return gzip;
}

// The body of `text` up to `fraction` of its bytes, cut in the middle of a line.
QByteArray CutMidLine(const QByteArray& text, double fraction) {
    const auto at = static_cast<qsizetype>(static_cast<double>(text.size()) * fraction);
    return text.left(text.at(at - 1) == '\n' ? at + 5 : at);
}

}  // namespace

QByteArray Utf16Callbook(bool bigEndian) {
    QByteArray text = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char c : std::string_view(kFreshCallbook)) {  // ASCII: the high byte is zero
        text += bigEndian ? '\0' : c;
        text += bigEndian ? c : '\0';
    }
    return text;
}

QByteArray CallbookOfMembers(int members) {
    QByteArray text = "versi: 2025-08-01 09:00\r\n";
    for (int i = 0; i < members; ++i) {
        char callsign[16];
        std::snprintf(callsign, sizeof callsign, "QV27A%04d", i);
        text +=
            QByteArray(callsign) + "#Anggota#Jl. Panjang 1#Kab. Contoh#0001#2030-12-31#baru\r\n";
    }
    return text;
}

void AnswerAsTheChapter(ScriptedHttpServer& server) {
    const QByteArray fresh(kFreshCallbook);
    QByteArray withNul = fresh;
    withNul[20] = '\0';
    struct Whole {
        const char* path;
        int status;
        QByteArray type;
        QByteArray body;
    };
    const Whole wholes[] = {
        {"/1028/log.txt", 200, "text/plain", fresh},
        {"/version-only", 200, "text/plain", kVersionOnly},
        {"/members-only", 200, "text/plain", kMembersOnly},
        {"/server-error", 500, "text/plain", fresh},
        {"/html", 200, "text/html; charset=utf-8",
         "<!DOCTYPE html><html><body>Situs sedang perbaikan</body></html>"},
        // Claims to be plain text, behind a byte-order mark and blank lines.
        {"/html-as-text", 200, "text/plain",
         "\xEF\xBB\xBF\r\n  <HTML>\r\n<p>a#b#c#d#e#f#g</p></HTML>\r\n"},
        {"/empty", 200, "text/plain", ""},
        {"/with-nul", 200, "text/plain", withNul},
        {"/no-callbook-line", 200, "text/plain",
         "Maaf, berkas tidak tersedia.\r\nSilakan coba lagi#nanti\r\n"},
        {"/odd-lines", 200, "text/plain",
         QByteArray(kMembersOnly) + "Daftar anggota\r\ncatatan 1\r\ncatatan 2\r\n-- akhir --\r\n"},
        {"/captive-portal", 200, "", kCaptivePortal},
        {"/portal-as-text", 200, "", kPortalAsText},
        {"/utf16le", 200, "text/plain", Utf16Callbook(false)},
        {"/utf16be", 200, "text/plain", Utf16Callbook(true)},
        {"/cr-only", 200, "text/plain", kCrLineEnds},
        {"/cr-cr-lf", 200, "text/plain", kCrCrLfLineEnds},
        {"/elsewhere/log.txt", 200, "text/plain", fresh},
        {"/notice", 200, "text/plain", kTextNotice},
    };
    for (const Whole& whole : wholes) {
        server.Answer(whole.path, LengthAnswer(whole.status, whole.body, whole.type));
    }
    for (const int members : {0, 3, 4, 5, 7}) {
        server.Answer("/members/" + QByteArray::number(members),
                      LengthAnswer(200, CallbookOfMembers(members)));
    }
    server.Answer("/gzip", LengthAnswer(200, fresh, "text/plain", "Content-Encoding: gzip\r\n"));
    server.Answer("/chunked", ChunkedAnswer(fresh, true));

    // Redirects: relative, absolute to the same origin, to another name for this very server,
    // to another port, round and round, and /hops/N that takes N of them.
    const QByteArray here = server.Url(QString()).toLatin1();
    server.Answer("/moved", RedirectAnswer("/1028/log.txt"));
    server.Answer("/moved-to-cut-short", RedirectAnswer("/cut-short"));
    server.Answer("/moved-to-chunked", RedirectAnswer("/chunked"));
    server.Answer("/moved-to-no-length-cut", RedirectAnswer("/no-length-cut", "Dipindahkan.\r\n"));
    server.Answer("/loop", RedirectAnswer("/loop"));
    server.Answer("/to-same-host", RedirectAnswer(here + "/1028/log.txt"));
    server.Answer("/to-other-host",
                  RedirectAnswer("http://localhost:" + QByteArray::number(server.serverPort()) +
                                 "/elsewhere/log.txt"));
    server.Answer("/to-other-port", RedirectAnswer("http://127.0.0.1:1/1028/log.txt"));
    server.Answer("/hops/0", LengthAnswer(200, fresh));
    for (int left = 1; left <= 6; ++left) {
        server.Answer("/hops/" + QByteArray::number(left),
                      RedirectAnswer("/hops/" + QByteArray::number(left - 1)));
    }

    // Bodies that end before their framing says they are whole.
    server.Answer("/cut-short",
                  "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                  "Content-Length: 1000\r\n\r\n" +
                      MemberLines(100));
    server.Answer("/no-length", CloseFramedHead() + fresh);
    server.Answer("/no-length-cut", CloseFramedHead() + fresh + "QV27AAA#Anggota#Jl. Panjang 1#");
    // A chunk ending in the middle of a line, then the close instead of the last chunk.
    QByteArray chunkedCut = ChunkedAnswer(fresh, true);
    chunkedCut.chop(5);
    server.Answer("/chunked-cut", chunkedCut + "1e\r\nQV27AAA#Anggota#Jl. Panjang 1#\r\n");
    // Chunks that end at line ends, then the close: every line that came is whole.
    server.Answer("/chunked-cut-at-line-end", ChunkedAnswer(CallbookOfMembers(200), false));

    // Header sections that HTTP calls malformed, each around a callbook cut mid-line that
    // only the closing connection ends.
    const QByteArray cut = CutMidLine(CallbookOfMembers(50), 0.6);
    const std::pair<const char*, QByteArray> malformed[] = {
        {"/blank-before-colon", CloseFramedHead("Transfer-Encoding : chunked\r\n") + cut},
        {"/tab-before-colon", CloseFramedHead("Transfer-Encoding\t: chunked\r\n") + cut},
        {"/folded-line",
         CloseFramedHead("X-Catatan: lihat\r\n Transfer-Encoding: chunked\r\n") + cut},
        {"/interim-framing",
         "HTTP/1.1 100 Continue\r\nTransfer-Encoding: chunked\r\n\r\n"
         "http/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n" +
             cut},
    };
    for (const auto& [path, answer] : malformed) {
        server.Answer(path, answer);
    }
    // The whole body's length, then the length of the part that is sent.
    const QByteArray whole = CallbookOfMembers(50);
    const QByteArray part = whole.left(whole.size() * 6 / 10);
    server.Answer("/two-lengths",
                  "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                  "Content-Length: " +
                      QByteArray::number(whole.size()) + "\r\nContent-Length: " +
                      QByteArray::number(part.size()) + "\r\nConnection: close\r\n\r\n" + part);
    // 60% of the members, gzipped, its stream cut off, in chunks up to the last one.
    QByteArray gzipped = ChunkedAnswer(GzipWithoutItsEnd(part), true);
    gzipped.replace("Transfer-Encoding: chunked", "Transfer-Encoding: gzip, chunked");
    server.Answer("/gzip-chunked", gzipped);

    // Bodies larger than a callbook may be, sent only as the client takes them.
    static const QByteArray block = MemberLines(64 * 1024);
    server.Answer("/oversized", {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                                 "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n",
                                 [](qint64 streamed) {
                                     if (streamed > qint64{kMaxCallbookBytes} * 2) {
                                         return QByteArray();
                                     }
                                     return QByteArray::number(block.size(), 16) + "\r\n" + block +
                                            "\r\n";
                                 }});
    server.Answer("/announced-too-large",
                  {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                       QByteArray::number(qint64{kMaxCallbookBytes} + 1) + "\r\n\r\n",
                   [](qint64 streamed) {
                       return streamed > qint64{kMaxCallbookBytes} ? QByteArray() : block;
                   }});
    // A version line of 60 MB, as long as announced.
    constexpr qint64 kLongLine = 60'000'000;
    server.Answer("/long-version-line",
                  {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                       QByteArray::number(kLongLine) + "\r\n\r\nversi: ",
                   [](qint64 streamed) {
                       return QByteArray(std::min<qint64>(64 * 1024, kLongLine - 7 - streamed),
                                         'x');
                   }});

    // Answers that stop: before the headers, mid-body, in an error page.
    server.Answer("/stall-before-headers", {{}, {}, Then::Stall});
    server.Answer("/stall-mid-body",
                  {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                   "Content-Length: " +
                       QByteArray::number(fresh.size()) + "\r\n\r\n" + fresh.left(40),
                   {},
                   Then::Stall});
    server.Answer("/error-then-stall", {"HTTP/1.1 503 Service Unavailable\r\nContent-Type: "
                                        "text/plain\r\nContent-Length: 1000\r\n\r\n"
                                        "Sedang sibuk\r\n",
                                        {},
                                        Then::Stall});
    // Drips for the first request of each path only; answers every later one at once.
    for (const char* path : {"/drip-once/a", "/drip-once/again", "/drip-once/row"}) {
        server.AnswerInTurn(
            path, {{CloseFramedHead(), {}, Then::Drip, fresh}, {LengthAnswer(200, fresh)}});
    }
    server.Answer("/gated", {LengthAnswer(200, fresh), {}, Then::Close, {}, true});
}

}  // namespace kalvera::testing
