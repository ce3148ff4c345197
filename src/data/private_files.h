#pragma once
// The data folder is private to its user: the files' keys are public, so the permissions
// are what keeps other local users out. Folders 0700, files 0600.
#include <QString>
#include <sys/types.h>

namespace PrivateFiles {

constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;

// Adds 077 to the process's umask (both programs do this first), remembering the user's own.
void restrictUmask();
// The umask the user started the program with: files written for the user (exports) get
// the mode it gives a new file.
mode_t userUmask();

// Sets mode on a folder or file the process owns; a link, or an entry of another owner,
// is left alone. With followLink the path may be a link to a folder (backup/ on another disk).
void setMode(const QString &path, mode_t mode, bool followLink = false);

// At start: the data folder, its files, backup/ and every set in it lose any access by
// group or others. Entries of another owner and links inside backup/ are left alone.
void tighten(const QString &dataDir);

} // namespace PrivateFiles
