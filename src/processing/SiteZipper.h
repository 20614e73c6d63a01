// Writes the backup archive of a site and turns the archive writer's status reports into
// progress-sink calls. Runs on the worker thread of a processing run.
#pragma once

#include <string>
#include <vector>

class CProgressSink;
class CSiteAccess;

class CSiteZipper {
  public:
    // Borrows the sink (may be null: no progress, never stopped).
    explicit CSiteZipper(CProgressSink* sink) : m_sink(sink) {}

    // Writes zipName from the item list (forward slashes; they are handed over as backslashes).
    // False when the archive could not be written or the user stopped it; an earlier archive of
    // that name is then left whole.
    bool Zip(const std::string& zipName, const std::string& itemList, bool recurse);

    // Writes zipName from files read through a site access object (borrowed), one file at a
    // time, for sites that are not on the local disk. names: site names; they are stored without
    // their leading "/". False when a file cannot be read, the archive cannot be written or the
    // user stopped; an earlier archive of that name is then left whole.
    bool ZipFromSite(const std::string& zipName, CSiteAccess& access,
                     const std::vector<std::string>& names);

    // The archive writer's status callback: with callback data (a sink) it shows the item and
    // the progress and answers nonzero once Stop was pressed; without, it answers 0.
    static int StatusCallback(const char* item, int progress, void* data);

  private:
    CProgressSink* m_sink;
};
