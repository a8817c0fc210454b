#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>

namespace kalvera {

// Where the chapter publishes its current callbook. Not configurable by users.
inline constexpr char kCallbookSourceUrl[] = "http://callbook.korawirasena.or.id/1028/log.txt";

struct DownloadTimeouts {
    std::chrono::milliseconds connect{15000};  // until the server answers at all
    std::chrono::milliseconds idle{30000};     // longest stretch without any data
};

enum class DownloadOutcome {
    Installed,  // a complete, plausible callbook replaced the local file
    Failed,     // nothing changed on disk
    Cancelled,  // Cancel() or the application quitting ended it; nothing changed on disk
};

// Fetches a callbook over HTTP and installs it over a local file only when it arrived whole
// and looks like a callbook; the old file is never touched otherwise.
class CallbookUpdater : public QObject {
    Q_OBJECT
  public:
    explicit CallbookUpdater(QObject* parent = nullptr);
    // Safe in the middle of a Download (from inside its event loop): that Download then
    // returns Cancelled.
    ~CallbookUpdater() override;

    // Blocks the caller but not the window: waits in a local event loop, so the window keeps
    // painting. Returns at once with Failed while another download is running.
    DownloadOutcome Download(const QUrl& source, const QString& localFile);

    bool IsBusy() const;
    // Ends a running Download with Cancelled; harmless when none runs.
    void Cancel();

    void SetTimeouts(const DownloadTimeouts& timeouts);

  private:
    struct Private;
    Private* d_;
};

}  // namespace kalvera
