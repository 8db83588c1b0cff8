#include "MovieCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "AtomicFile.h"
#include "movie/MovieFrame.h"

bool checkMovie(const std::string& movieFile, std::string& error, bool* hasFrame) {
    const int fd = ::open(movieFile.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = fileError(movieFile, errno);
        return false;
    }
    struct stat info {};
    const bool statted = ::fstat(fd, &info) == 0;
    const int reason = errno;
    ::close(fd);
    if (!statted) {
        error = fileError(movieFile, reason);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        error = fileError(movieFile, EISDIR);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = movieFile + ": not a regular file";
        return false;
    }
    if (info.st_size == 0) {
        error = movieFile + ": the file is empty";
        return false;
    }
    MoviePlayer probe;
    probe.openFile(movieFile.c_str());
    if (probe.hasEnded()) {
        error = "not a movie: " + movieFile + " (shorter than a movie header)";
        return false;
    }
    MovieFrame frame;
    const MoviePlayer::FrameStatus first = probe.readFrame(&frame);
    if (first != MoviePlayer::FrameStatus::kFrame && first != MoviePlayer::FrameStatus::kEnd) {
        error = "not a movie: " + movieFile + " (its first frame: " + damageText(first) + ")";
        return false;
    }
    if (hasFrame != nullptr) {
        *hasFrame = first == MoviePlayer::FrameStatus::kFrame;
    }
    return true;
}

const char* damageText(MoviePlayer::FrameStatus status) {
    switch (status) {
    case MoviePlayer::FrameStatus::kCutShort:
        return "stream cut short";
    case MoviePlayer::FrameStatus::kBadTag:
        return "bad path tag";
    case MoviePlayer::FrameStatus::kBadCount:
        return "path word count too large";
    case MoviePlayer::FrameStatus::kTooLarge:
        return "frame too large";
    default:
        return "none";
    }
}
