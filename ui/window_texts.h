#pragma once

#include <QString>
#include <array>

#include "kalvera/version.h"

namespace kalvera {

inline constexpr char kWindowCaption[] =
    "Callbook KORA Wirasena (Versi Offline " KALVERA_VERSION_MAJOR_MINOR ")";
// Title of the boxes that are not about the callbook file: the application's title.
inline constexpr char kApplicationTitle[] = "Kalvera";

inline constexpr char kDownloadingCaption[] = "Sedang mengunduh database, mohon tunggu..";
inline constexpr char kDownloadDoneCaption[] = "Selesai";
inline constexpr char kDownloadFailedMessage[] =
    "Database gagal diunduh. Database lama tetap dipakai.";

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

// Two lines joined by CR LF: the rights holder with `year`, then the association and its
// province.
QString FooterNotice(int year);

// The code of ethics: 28 lines joined by CR LF, with no line break after the last.
QString CodeOfEthicsText();

}  // namespace kalvera
