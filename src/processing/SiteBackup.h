// The site backup that runs before any page is changed: the site's pages, or every file under
// its root, go into one ZIP archive. Runs on the worker thread of a processing run.
#pragma once

#include <string>

class CProgressSink;
class CSiteMap;

// Backs up the site. pagesOnly: the pages of the graph that exist (their sizes are asked once
// through the graph's access object); otherwise every file under rootDirectory, recursively.
// A site that is not on the local disk (FTP, HTTP) is read through the graph's access object
// instead: its existing pages, or for all files also every other file the graph knows.
// On failure reports "Site Backup failed. Aborting..." through the sink (unless stopped), leaves
// it as the last message and returns false; an earlier archive of that name stays whole.
// Borrows map and sink (sink may be null).
bool Backup(CSiteMap& map, const std::string& rootDirectory, bool pagesOnly,
            const std::string& zipName, CProgressSink* sink);
