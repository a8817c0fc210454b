#include "checked_output.h"

#include <cerrno>
#include <csignal>

#include "core/platform.h"

namespace kalvera {

CheckedOutput::CheckedOutput(std::FILE* stream)
    : stream_(stream), flushEachLine_(platform::IsConsole(stream)) {}

void CheckedOutput::Line(std::string_view text) {
    if (error_ != 0) {
        return;
    }
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stream_) != text.size() ||
        std::fputc('\n', stream_) == EOF || (flushEachLine_ && std::fflush(stream_) == EOF)) {
        // A stream error with no errno (a stream that cannot say why) still counts.
        error_ = errno != 0 ? errno : EIO;
    }
}

int CheckedOutput::Finish() {
    if (error_ == 0) {
        errno = 0;
        if (std::fflush(stream_) == EOF || std::ferror(stream_)) {
            error_ = errno != 0 ? errno : EIO;
        }
    }
    return error_;
}

void EndAsClosedPipe() {
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_DFL);
    std::raise(SIGPIPE);
#endif
}

}  // namespace kalvera
