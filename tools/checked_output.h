#pragma once

#include <cstdio>
#include <string_view>

namespace kalvera {

// Lines written to a stdio stream, with the first failed write remembered: a tool must not
// end with success when its output never arrived (a full disk, /dev/full). Once a write has
// failed, later lines are dropped.
class CheckedOutput {
  public:
    explicit CheckedOutput(std::FILE* stream);

    // Writes `text` and a line feed.
    void Line(std::string_view text);

    // Flushes the stream. Returns the errno of the first write that failed, or 0.
    int Finish();

  private:
    std::FILE* stream_;
    bool flushEachLine_;  // a console shows each line as it comes
    int error_ = 0;
};

// For a write that failed with EPIPE (standard output is a pipe whose reader has gone, while
// SIGPIPE is ignored): ends the process the way the default SIGPIPE action does, silently.
// Returns only where that signal does not exist or is blocked.
void EndAsClosedPipe();

}  // namespace kalvera
