#pragma once

#include <QString>

namespace plumtide
{

// Full path of the running executable, as the system reports it for this process.
QString ExecutablePath();

// The folder of an executable path: the last component and the separator before it
// removed, except that a program in the root keeps the root ("/").
QString FolderOfExecutable(const QString& executablePath);

// The folder that holds the running program: the default source and destination.
QString ProgramFolder();

// Where doubles go unless the user chose a folder: "Plumtide doubles" in the user's music
// folder, or in the home folder where there is none. Nothing makes it until a run first sets
// a double aside; a folder the user chose is never made (a typo must not become a folder).
QString DefaultDoublesFolder();
bool IsDefaultDoublesFolder(const QString& folder);

// ${XDG_CONFIG_HOME:-$HOME/.config}, read at each call so tests can point it elsewhere.
QString ConfigHome();

// ${XDG_STATE_HOME:-$HOME/.local/state} and ${XDG_DATA_HOME:-$HOME/.local/share}, read at
// each call as ConfigHome is.
QString StateHome();
QString DataHome();

// "name (n).ext" for a file name: the number before the last dot, or at the end.
QString NumberedFileName(const QString& fileName, int number);

// `folder` and `name` with exactly one '/' between them; a folder that already ends in '/'
// (the root, or a path typed that way) gets none added.
QString JoinPath(const QString& folder, const QString& name);

// The last component of a path: a file's name.
QString FileNameOf(const QString& path);

// The folder part of a path: everything before its last '/', "/" for an entry of the root,
// "." for a bare name.
QString FolderOf(const QString& path);

// The part of `folder`'s path below `destination`: "/music/Pop/Madonna" below "/music"
// (or "/music/") is "Pop/Madonna", and below "/" it is "music/Pop/Madonna". Empty when
// `folder` is not below `destination`.
QString RelativeFolderName(const QString& destination, const QString& folder);

// Encodes a path for the file-system calls (the bytes the name has on disk).
QByteArray EncodePath(const QString& path);

// `path` from the root, against the current folder when it is relative, with "." and ".."
// resolved by name (links are not followed: the path stays the one the user gave). Empty
// stays empty.
QString AbsolutePath(const QString& path);
// Whether `path` is not from the root (empty counts as relative).
bool IsRelativePath(const QString& path);

} // namespace plumtide
