#pragma once
// Partial files: a job writes its output beside the target under a hidden
// temporary name and renames it once whole. The process writing one holds a
// lock on it (flock) for as long as it may write it; the lock goes with the
// process, also when it is killed, so a partial file nobody locks is one a
// dead job left behind, and the next job in that folder removes it.
#include <QString>

namespace kvaudio {

class PartFile {
public:
    PartFile() = default;
    ~PartFile() { release(); }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // Creates a new, empty, locked partial file in dir, after removing the
    // ones dead jobs left there. False when the folder takes none.
    bool create(const QString& dir);
    QString path() const { return m_path; }
    // Lets go of the file, whatever became of it (renamed or removed).
    void release();

private:
    QString m_path;
    int m_fd = -1;
};

// Locks an open temporary file of a job the way partial files are locked,
// for writers that make their own (named ".kvape-" and six characters).
bool LockAsPartFile(int fd);

// Removes the partial files in dir that no process holds; returns how many went.
int RemoveDeadPartFiles(const QString& dir);

} // namespace kvaudio
