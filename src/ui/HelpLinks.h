// Where every help request of the desktop program ends: the HTML manual, opened in the user's
// default web browser (help contents, search, context help, the completion dialog's topics), and
// the two pages of the Quorvane menu. User-interface thread only.
#pragma once

#include <QString>
#include <QUrl>

class QWidget;

// The topics the program asks for by number.
enum HelpTopic : int {
    kHelpContents = 0,
    kHelpUpload = 98343,  // uploading the processed site
    kHelpCheck = 98344,   // checking in the browser that prefetching works
};

// The folder of the manual: $TARVIK_HELP_DIR, else share/tarvik/help beside the installed program,
// else the manual of the source tree the program was built from.
QString ManualDir();
// The manual's page for the topic (a page of the manual with the topic's anchor).
QUrl HelpUrl(int topic);
// The pages of the Quorvane menu: configured when the program was built, else the manual's
// start page and its questions page.
QUrl HomePageUrl();
QUrl FaqUrl();

// Opens the url in the default browser; when that fails, says so in a message box owned by
// parent (borrowed; may be null). False on failure.
bool OpenInBrowser(QWidget* parent, const QUrl& url);
