#pragma once

#include <QString>
#include <cstdint>
#include <string_view>
#include <system_error>

#include "core/platform.h"

namespace kalvera {

// A downloaded callbook on its way in is written to a file named log.txt + this + six
// letters or digits, beside log.txt. Only such names are ever cleaned up.
inline constexpr char kPendingInfix[] = ".unduhan-";

// Why the new callbook could not be written.
enum class WriteProblem {
    None,
    DiskFull,     // no room left on the disk, or the user's quota is used up
    NotWritable,  // the folder or log.txt refuses writing (permissions, read-only), or else
};

// The new callbook on its way into the program folder: a temporary file beside log.txt that
// replaces log.txt in one rename, or is removed. log.txt itself is never opened for writing.
// While the object lives the file is held open, and on Linux locked (flock), so that another
// copy of the program never takes it for a leftover (RemoveLeftovers), however long it waits.
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
    // What made the last step fail, and what the system said about it (for logs).
    WriteProblem Problem() const { return problem_; }
    QString ErrorText() const { return error_; }
    // The temporary file's path; empty while there is none.
    QString FileName() const { return fileName_; }

  private:
    bool Fail(const char* step, const std::error_code& error);

    QString callbookFile_;
    QString fileName_;
    platform::HeldFile file_;
    WriteProblem problem_ = WriteProblem::None;
    QString error_;
    bool installed_ = false;
};

// Removes the temporary files that downloads killed midway (End Task, a power cut) left
// beside `callbookFile`: only regular files named as above that no live download holds (on
// Linux, that can be locked; on Windows, that can be deleted). Returns how many were removed.
int RemoveLeftovers(const QString& callbookFile);

// Member lines of the callbook at `callbookFile`; 0 when there is none or it cannot be read.
std::uint64_t CountMembers(const QString& callbookFile);

// Makes a rename in `folder` survive a power cut (POSIX: fsync of the folder). Windows has
// nothing to do here: the rename was asked to write through.
bool SyncFolder(const QString& folder);

}  // namespace kalvera
