#pragma once

#include <QString>

namespace plumtide
{

// Opens `address` with the desktop's default handler for it (a browser for a web page, the
// mail program for "mailto:"). The address reaches the handler exactly as given, as one
// argument: Qt's own opener parses and re-encodes it on the way (lower-cased hosts,
// escaped spaces, "http://https://x" turned into "http://https//x"). Whether the handler
// manages to open it is not known here.
void OpenWithDefaultHandler(const QString& address);

} // namespace plumtide
