#pragma once
// File writing that never leaves a half-written file behind.

#include <QByteArray>
#include <QString>

// Replaces the file at path by data atomically: the data goes to a sibling
// temporary file, is flushed to disk, then renamed over the old file, so a
// crash, a kill or a full disk leaves either the old or the new file. A
// symbolic link is followed (its target is replaced). Raises EZelError naming
// the file and the cause when the file cannot be written; the old file then
// stays as it was.
void WriteFileAtomic(const QString& path, const QByteArray& data);

// Whether the two paths lead to the same file: the same device and inode
// when both exist (through links, hard links, "./" and "..", any spelling),
// else the same absolute path once the folders' links are resolved.
bool IsSameFile(const QString& a, const QString& b);
