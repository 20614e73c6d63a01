// The page graph's headers for sources that include Qt: the graph's code uses "slots" as a name,
// which Qt's keyword macro would otherwise replace. Include this instead of sitemap/SiteMap.h.
#pragma once

#pragma push_macro("slots")
#undef slots
#include "sitemap/SiteMap.h"
#pragma pop_macro("slots")
