#pragma once

#include <QString>
#include <array>

#include "kalvera/version.h"
#include "update/download_result.h"

namespace kalvera {

inline constexpr char kWindowCaption[] =
    "Callbook KORA Wirasena (Versi Offline " KALVERA_VERSION_MAJOR_MINOR ")";
// Title of the boxes that are not about the callbook file: the application's title.
inline constexpr char kApplicationTitle[] = "Kalvera";

inline constexpr char kDownloadingCaption[] = "Sedang mengunduh database, mohon tunggu..";
inline constexpr char kDownloadDoneCaption[] = "Selesai";
// The failure box: this line, one that says why (DownloadFailureReason), and the last line
// only when an old callbook is there to go on with.
inline constexpr char kDownloadFailedLine[] = "Database gagal diunduh.";
inline constexpr char kOldCallbookKeptLine[] = "Database lama tetap dipakai.";
// The question before a callbook with far fewer members replaces the installed one.
inline constexpr char kShrinkQuestion[] =
    "Database baru hanya berisi %1 anggota; database yang terpasang berisi %2 anggota. "
    "Tetap pasang?";
// Start-up, when log.txt is there but holds no member at all.
inline constexpr char kDamagedCallbookMessage[] =
    "Database rusak atau kosong: log.txt tidak berisi data anggota.\n"
    "Unduh database terbaru lewat Menu \u2192 Unduh Database.";

// "Menu" is a label, out of the Tab order: how the keyboard opens its pop-up, for screen readers.
inline constexpr char kMenuHint[] = "F10 atau Alt+M membuka menu";

// Index 0 is Sunday.
inline constexpr std::array<const char*, 7> kDayNames = {
    "Minggu", "Senin", "Selasa", "Rabu", "Kamis", "Jumat", "Sabtu",
};
// Index 0 is January.
inline constexpr std::array<const char*, 12> kMonthNames = {
    "Januari", "Pebruari", "Maret",     "April",   "Mei",      "Juni",
    "Juli",    "Agustus",  "September", "Oktober", "Nopember", "Desember",
};

// Why a download failed, in one line a member can act on; empty for a download that did not
// fail (installed, declined by the member, or cancelled).
QString DownloadFailureReason(const DownloadResult& result);

// Two lines joined by CR LF: the rights holder with `year`, then the association and its
// province.
QString FooterNotice(int year);

// The code of ethics: 28 lines joined by CR LF, with no line break after the last.
QString CodeOfEthicsText();

}  // namespace kalvera
