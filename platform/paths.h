#pragma once

#include <QString>

namespace plumtide
{

// Full path of the running executable, as the system reports it for this process.
QString ExecutablePath();

// The folder of an executable path: the last component and the separator before it
// removed, except that a program in the root keeps the root ("/").
QString FolderOfExecutable(const QString& executablePath);

// The folder that holds the running program: the default doubles, source and destination.
QString ProgramFolder();

// ${XDG_CONFIG_HOME:-$HOME/.config}, read at each call so tests can point it elsewhere.
QString ConfigHome();

// Encodes a path for the file-system calls (the bytes the name has on disk).
QByteArray EncodePath(const QString& path);

} // namespace plumtide
