#pragma once
// File writing that never leaves a half-written file behind.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

// Replaces the file at path by data atomically: the data goes to a sibling
// temporary file, is flushed to disk, then renamed over the old file, so a
// crash, a kill or a full disk leaves either the old or the new file. A
// symbolic link is followed (its target is replaced). Raises EZelError naming
// the file and the cause when the file cannot be written; the old file then
// stays as it was.
void WriteFileAtomic(const QString& path, const QByteArray& data);
// Copies a file the same way: the target is replaced only by a complete
// copy. Raises EZelError naming the file that failed and the cause; a copy
// onto the source itself does nothing.
void CopyFileAtomic(const QString& from, const QString& to);

// Whether the two paths lead to the same file: the same device and inode
// when both exist (through links, hard links, "./" and "..", any spelling),
// else the same absolute path once the folders' links are resolved.
bool IsSameFile(const QString& a, const QString& b);

// A file written and read straight through the system: nothing is buffered
// behind the caller's back, writes resume after short writes and
// interruptions, and a failure keeps the system's own reason (a full disk, a
// file size limit) for ErrorText. Closed by the destructor.
class TRawFile {
public:
    struct TPiece {
        const void* Data;
        size_t Size;
    };

    TRawFile() = default;
    ~TRawFile();
    TRawFile(const TRawFile&) = delete;
    TRawFile& operator=(const TRawFile&) = delete;

    // Creates or empties the file; readable also opens it for ReadAt.
    bool Create(const QString& path, bool readable = false);
    bool IsOpen() const { return FFd >= 0; }
    // A regular file, not a device or pipe the name leads to: only such a
    // file is the caller's to remove after a failure.
    bool IsPlainFile() const;
    bool Write(const void* data, size_t size);
    // The pieces in order, gathered into calls of a bounded size.
    bool WriteGather(const TPiece* pieces, int count);
    bool WriteAt(int64_t offset, const void* data, size_t size);
    // False also when the file ends before size bytes.
    bool ReadAt(int64_t offset, void* data, size_t size);
    // A failing close can be the first word of a failed write (quotas,
    // network folders): false then.
    bool Close();
    QString ErrorText() const { return FError; }

private:
    bool Fail(int err);
    int FFd = -1;
    QString FError;
};
