// Finds what one HTML page references: the pages it links to (A HREF), the pages it loads into
// frames (FRAME SRC) and the images and embedded objects it loads (IMG SRC, EMBED SRC). A plain
// case-insensitive search for tag openers and double-quoted values, not an HTML parser. Values
// are resolved against the page's own name; links to other hosts are dropped. Stateless apart
// from the domain; any thread, one call at a time per object.
#pragma once

#include <string>
#include <string_view>

#include "base/PathRules.h"

class CTagScanner {
  public:
    // domain: the site's own host name; absolute links to any other host are dropped.
    explicit CTagScanner(std::string domain);

    // Scans the page text (borrowed for the call; the scan stops at its first zero byte, as it
    // would over a zero-terminated text) of the page named pageName, and appends to the three
    // lists, each in the order found: links that look like pages, frames that look like pages,
    // and images. Each list is then resolved and freed of names equal under SameName.
    void ScanAll(std::string_view pageName, std::string_view text, StringList& links,
                 StringList& frames, StringList& images) const;

    // One scan: every "<tag ...>" whose text after the opener holds attribute followed by a
    // double-quoted value before the tag's ">" gives that value (when pagesOnly, only if it
    // looks like a page by IsPageLink). The values are appended to list, and then every entry
    // of list is resolved by ResolveList.
    void ScanQuoted(std::string_view pageName, std::string_view text, std::string_view tag,
                    std::string_view attribute, bool pagesOnly, StringList& list) const;

    // Replaces each entry by its site-relative name (ResolveLink against pageName) and removes
    // the entries that lead outside the site, keeping the order.
    void ResolveList(std::string_view pageName, StringList& list) const;

    const std::string& Domain() const { return m_domain; }

    // With clean URLs on, links and frames whose value ends in "/" or has no extension look like
    // pages too (not those with a query, a fragment or a scheme other than the site's own
    // "http://host"); whether a file serves them is the crawl's question.
    void SetCleanUrls(bool on) { m_cleanUrls = on; }

  private:
    bool LooksLikePage(std::string_view value) const;

    std::string m_domain;
    bool m_cleanUrls = false;
};
