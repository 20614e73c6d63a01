#include "ui/HelpLinks.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#include "ui/MessagePrompt.h"
#include "ui/ResText.h"

namespace {

QUrl ManualPage(const QString& page, const QString& anchor = QString()) {
    QUrl url = QUrl::fromLocalFile(QDir(ManualDir()).filePath(page));
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    return url;
}

QUrl Configured(const char* value, const QString& page) {
    const QString configured = QString::fromUtf8(value);
    return configured.isEmpty() ? ManualPage(page) : QUrl(configured);
}

}  // namespace

QString ManualDir() {
    QString fromEnv = qEnvironmentVariable("TARVIK_HELP_DIR");
    if (!fromEnv.isEmpty())
        return fromEnv;
    const QString installed =
        QDir(QCoreApplication::applicationDirPath()).filePath("../share/tarvik/help");
    if (QFileInfo::exists(installed + "/index.html"))
        return QDir::cleanPath(installed);
    return QString::fromUtf8(TARVIK_SOURCE_HELP_DIR);
}

QUrl HelpUrl(int topic) {
    switch (topic) {
        case kHelpUpload:
            return ManualPage("index.html", "upload");
        case kHelpCheck:
            return ManualPage("index.html", "check");
        default:
            return ManualPage("index.html");
    }
}

QUrl HomePageUrl() {
    return Configured(TARVIK_HOME_URL, "index.html");
}

QUrl FaqUrl() {
    return Configured(TARVIK_FAQ_URL, "faq.html");
}

bool OpenInBrowser(QWidget* parent, const QUrl& url) {
    if (QDesktopServices::openUrl(url))
        return true;
    ShowPlainMessage(parent, ResFormat(IDS_BROWSER_FAILED, url.toDisplayString()),
                     ResText(IDS_APP_TITLE));
    return false;
}
