// A file that appears whole or not at all: it is written under a temporary name in the
// folder of its final name and renamed over the final name by commit(). Until then an
// older file of that name stays untouched; an AtomicFile dropped without commit removes
// its temporary file. Writers open tempName() by name, in whatever way they write.
// A final name that is a device or a pipe (/dev/stdout, /dev/null) is written directly:
// it has no old contents to keep, and renaming over it would replace the device node. A
// symbolic link is followed, so that the file it points to is replaced, not the link, and
// the temporary file lies beside that file; a link to a file that does not exist yet makes
// that file, as a shell's > does.
#pragma once

#include <string>

class AtomicFile {
public:
    explicit AtomicFile(std::string finalName);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file (empty, with the permissions of the file it will replace,
    // or those a new file gets). False with a message naming the folder and the reason.
    bool create(std::string& error);
    const std::string& tempName() const { return temp; }
    const std::string& finalName() const { return target; }
    // Whether commit first waits for the bytes to reach the disk. Files that are quickly
    // made again (rendered frames) may skip it; a rename still never shows half a file.
    enum class Sync { kYes, kNo };
    // Renames the temporary file over the final name. False with a message naming the file
    // and the system's reason; the temporary file is then removed.
    bool commit(std::string& error, Sync sync = Sync::kYes);
    // Removes the temporary file now (also done by the destructor).
    void discard();

    // Makes SIGINT, SIGTERM and SIGHUP remove every temporary file that exists at that
    // moment before they end the process as they otherwise would (signals the process was
    // started to ignore stay ignored). For programs that do not handle them themselves.
    static void removeTempFilesOnSignals();

private:
    std::string target;
    std::string temp;
    bool direct = false; // tempName() is the final name itself
    int slot = -1;       // where the signal handler finds tempName(), -1 when nowhere
};

// "file: reason" for the errno value of a failed call on that file.
std::string fileError(const std::string& fileName, int errorNumber);

// Whether writing one name would replace what the other names: the same device and inode
// when both exist, else the same absolute name once symbolic links are followed. A tool
// refuses an output that is one of its inputs with this.
bool sameFile(const std::string& one, const std::string& other);
