#include "window_texts.h"

#include <QStringList>

namespace kalvera {

QString DownloadFailureReason(const DownloadResult& result) {
    switch (result.failure) {
        case DownloadFailure::None:
        case DownloadFailure::Declined:
        case DownloadFailure::Cancelled:
            return {};
        case DownloadFailure::WriteFailed:
            return QStringLiteral(
                "Folder program tidak bisa ditulisi. Pindahkan folder Kalvera "
                "ke Dokumen, lalu coba lagi.");
        case DownloadFailure::DiskFull:
            return QStringLiteral("Disk penuh. Kosongkan sebagian ruang disk, lalu coba lagi.");
        case DownloadFailure::Unreachable:
            return QStringLiteral(
                "Tidak bisa tersambung ke server database. Periksa sambungan "
                "internet, lalu coba lagi.");
        case DownloadFailure::ConnectTimeout:
            return QStringLiteral(
                "Server database tidak menjawab. Periksa sambungan internet, "
                "lalu coba lagi.");
        case DownloadFailure::HttpStatus:
            return QStringLiteral(
                       "Server database menjawab dengan kesalahan (HTTP %1). Coba lagi "
                       "nanti.")
                .arg(result.httpStatus);
        case DownloadFailure::NotCallbook:
        case DownloadFailure::MalformedAnswer:
        case DownloadFailure::Compressed:
        case DownloadFailure::TooLarge:
            return QStringLiteral("Berkas yang dikirim server bukan database anggota.");
        case DownloadFailure::RedirectToOtherHost:
        case DownloadFailure::TooManyRedirects:
        case DownloadFailure::UnsupportedSource:
            return QStringLiteral(
                "Server mengalihkan unduhan ke alamat lain; database hanya "
                "diambil dari server KORA.");
        case DownloadFailure::BadCertificate:
            return QStringLiteral(
                "Sertifikat keamanan server database tidak sah, jadi database tidak diambil. "
                "Periksa tanggal dan jam komputer, lalu coba lagi.");
        case DownloadFailure::CutShort:
        case DownloadFailure::NetworkError:
            return QStringLiteral("Unduhan terputus sebelum selesai. Coba lagi nanti.");
        case DownloadFailure::IdleTimeout:
        case DownloadFailure::DeadlineExceeded:
            return QStringLiteral("Unduhan terlalu lambat dan dihentikan. Coba lagi nanti.");
    }
    return {};
}

QString FooterNotice(int year) {
    return QStringLiteral("Hak Cipta %1 - Biro Data dan Informasi KORA Wirasena").arg(year) +
           QStringLiteral("\r\n") +
           QStringLiteral("Komunitas Operator Radio Antarpenduduk - Daerah Wirasena");
}

QString CodeOfEthicsText() {
    const QStringList lines = {
        QStringLiteral("KODE ETIK KORA (5)"),
        QStringLiteral("1. Santun di Udara"),
        QStringLiteral("Setiap anggota berbicara dengan sopan, jujur dan menghargai pengguna "
                       "frekuensi yang lain."),
        QString(),
        QStringLiteral("2. Taat Aturan"),
        QStringLiteral("Setiap anggota memakai perangkat dan frekuensi sesuai izin dan peraturan "
                       "yang berlaku."),
        QString(),
        QStringLiteral("3. Rukun Bersaudara"),
        QStringLiteral("Setiap anggota menjaga kerukunan dan saling menolong tanpa memandang "
                       "asal-usul."),
        QString(),
        QStringLiteral("4. Sigap Membantu"),
        QStringLiteral("Setiap anggota siap menyampaikan berita penting dan membantu warga ketika "
                       "terjadi bencana."),
        QString(),
        QStringLiteral("5. Cinta Tanah Air"),
        QStringLiteral("Setiap anggota memakai radionya untuk mempererat persatuan dan kepentingan "
                       "orang banyak."),
        QString(),
        QString(38, QLatin1Char('+')),
        QString(),
        QStringLiteral("PANCA BHAKTI KORA (5)"),
        QStringLiteral("1. Kami menjaga tutur kata di udara sebagai cermin budi pekerti."),
        QString(),
        QStringLiteral("2. Kami menaati hukum negara dalam setiap kegiatan berkomunikasi."),
        QString(),
        QStringLiteral("3. Kami mendahulukan kepentingan masyarakat di atas kepentingan pribadi."),
        QString(),
        QStringLiteral("4. Kami menjaga nama baik organisasi di mana pun kami berada."),
        QString(),
        QStringLiteral(
            "5. Kami siap membantu sesama dengan ikhlas, terutama dalam keadaan darurat."),
    };
    return lines.join(QStringLiteral("\r\n"));
}

}  // namespace kalvera
