// Reads back what an earlier run deployed into the agent directory (index.qvf, the fetch files
// of each page, the loader's own files), so that the log phase can tell the loader's requests
// from visits. Runs on the processing run's worker thread; touches only files of the site.
#pragma once

#include <string>

#include "log/LoaderTraffic.h"

class CSiteMap;

// The loader of the agent directory filesDirectory (as CSiteSynthesizer takes it) as the site
// serves it. Pages come from index.qvf, each with its chain of fetch files; without a readable
// index, each page of map is tied to the fetch files its index names (fetch%dx%d.qvf). A file
// that is missing or not well formed contributes nothing; no loader gives an empty directory.
// map: borrowed for the call (its site access reads the files of a static site).
CLoaderDirectory ReadDeployedLoader(CSiteMap& map, const std::string& filesDirectory,
                                    bool isDynamicSite);
