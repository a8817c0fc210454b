#pragma once

#include <QFile>
#include <QString>
#include <chrono>
#include <cstdint>
#include <string_view>

namespace kalvera {

// A downloaded callbook on its way in is written to a file named log.txt + this + six
// letters or digits, beside log.txt. Only such names are ever cleaned up.
inline constexpr char kPendingInfix[] = ".unduhan-";

// The new callbook on its way into the program folder: a temporary file beside log.txt that
// replaces log.txt in one rename, or is removed. log.txt itself is never opened for writing.
class PendingCallbook {
  public:
    explicit PendingCallbook(QString callbookFile);
    // Removes the temporary file unless it was installed.
    ~PendingCallbook();
    PendingCallbook(const PendingCallbook&) = delete;
    PendingCallbook& operator=(const PendingCallbook&) = delete;

    // Creates the temporary file. False when the folder takes no new file or log.txt is
    // read-only: a download then fails before it asks the server for anything.
    bool Open();
    bool Write(std::string_view bytes);
    // Puts the file's data on disk, renames it over log.txt in one step and makes the rename
    // itself durable. False, with the temporary file removed, when any of it failed.
    bool Install();
    void Discard();
    // What the system said about the last failure, for logs.
    QString ErrorText() const { return error_; }

  private:
    QString callbookFile_;
    QFile file_;
    QString error_;
    bool installed_ = false;
};

// Removes the temporary files that downloads killed midway (End Task, a power cut) left
// beside `callbookFile`: only regular files named as above, and only those last written
// more than `age` ago, so that a download running in another copy of the program is spared.
// Returns how many were removed.
int RemoveLeftovers(const QString& callbookFile, std::chrono::milliseconds age);

// Member lines of the callbook at `callbookFile`; 0 when there is none or it cannot be read.
std::uint64_t CountMembers(const QString& callbookFile);

// Makes a rename in `folder` survive a power cut (POSIX: fsync of the folder). Windows has
// nothing to do here: the rename was asked to write through.
bool SyncFolder(const QString& folder);

}  // namespace kalvera
