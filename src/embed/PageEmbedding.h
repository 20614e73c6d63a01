// Page embedding: puts the prefetching applet into a site's HTML page. The page gets one block
// with the applet tag and the script that defines the start function, before its closing BODY
// tag, and the BODY tag's onLoad attribute gets a call of that function. Embedding is
// repeatable: an old block is replaced and an existing call is left alone. Called by the
// instruction-file writer on the worker thread of a run; the functions keep no state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "site/TextBuffer.h"

class CSiteAccess;

// The name of the block element written into pages ("<Quorvane>" ... "</Quorvane>").
inline constexpr std::string_view kAppletBlockName = "Quorvane";
// What the BODY tag's onLoad attribute calls. The applet text writes the function name with a
// blank before "(", so a block never holds this text.
inline constexpr std::string_view kStartCall = "startQuorvane()";
// The fetch-file reference of a page without prefetch entries.
inline constexpr std::string_view kNoFetchFile = "@@";

// Edits the page pageName (site-relative) of the site behind access: reads it, builds the applet
// text, inserts the block and the start call, and stores the page again (replacing it whole).
// agentDirectoryPath: the agent directory as pages name it ("/tarvik"); firstFetchFile: the site
// path of the page's first fetch file, or "@@". False on failure, with the last message set:
// "Could not read file %s", "Error while preparing applet", "Could not write file %s", or the
// page-too-large message; the page file is then unchanged. Borrows access (null fails the read).
// withLoader: the block also loads the script loader (see BuildAppletText).
bool EmbedInPage(CSiteAccess* access, const std::string& pageName,
                 std::string_view agentDirectoryPath, std::string_view firstFetchFile,
                 bool withLoader = false);

// The in-memory part of EmbedInPage: InsertAppletBlock with kAppletBlockName, then
// InsertStartCall. False when the page could not grow (past 2 GiB or out of memory); the buffer
// may then hold part of the edit.
bool EmbedInBuffer(CTextBuffer& page, std::string_view appletText);

// Fills the applet template for one page into out (replacing its contents): the Codebase is the
// agent directory relative to the page, the ID parameter the page's first fetch file relative to
// the page (or "@@"). withLoader: the script loader of current browsers follows the template's
// script, as <script src="{Codebase}/quorvane.js"></script>; its startQuorvane replaces the
// template's. False when the template lost a placeholder it must have.
bool BuildAppletText(std::string_view pageName, std::string_view agentDirectoryPath,
                     std::string_view firstFetchFile, CTextBuffer& out, bool withLoader = false);

// Replaces every occurrence of key (ignoring case) by value; the search goes on after the
// inserted value. True when at least one occurrence was replaced.
bool ReplaceAll(CTextBuffer& buffer, std::string_view key, std::string_view value);

// Removes an old block: from the last "<name" before the first "</name" through the ">" that
// stands after that closing name, and the one byte after it (the CR of the block's last line).
// Nothing happens unless both are found. Returns the new length.
int32_t RemoveElement(CTextBuffer& page, std::string_view name);

// Removes any old block, then inserts "<name>" CR LF appletText CR LF "</name>" CR LF before the
// last "</BODY>", else before the first "</HTML>" after it, else at the end. Returns the new
// length, or -1 when the page could not grow.
int32_t InsertAppletBlock(CTextBuffer& page, std::string_view appletText, std::string_view name);

// Makes the BODY tag call the start function when the page loads, unless the page already holds
// the call. An onLoad attribute of the tag gets the call (and a comma, when it already runs
// something) at the start of its value; otherwise the tag gets the attribute. A page without a
// BODY tag gets one after its first "<HTML>" line (or at its start) and "</BODY>" before its
// last "</HTML>" (or at its end). Returns the new length, or -1 when the page could not grow.
int32_t InsertStartCall(CTextBuffer& page);
