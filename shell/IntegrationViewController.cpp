#include "shell/IntegrationViewController.h"

#include "platform/HttpClient.h"
#include "platform/Strings.h"
#include "platform/WebLink.h"
#include "platform/Workspace.h"

#include <QLabel>
#include <QPushButton>

namespace tanvill {

IntegrationViewController::IntegrationViewController(Workspace &workspace, QWidget *parent)
    : PreferencesPane(Strings::localized("PreferencesIntegration"),
                      QStringLiteral("preferences-integration"), parent),
      m_workspace(workspace)
{
    auto *about = new QLabel(Strings::localized("PreferencesExtensionText"));
    about->setTextFormat(Qt::PlainText);
    about->setWordWrap(true);
    addRow(Strings::localized("PreferencesExtensionSection"), about);

    m_downloadButton = new QPushButton(Strings::localized("PreferencesExtensionButton"));
    m_downloadButton->setAutoDefault(false);
    connect(m_downloadButton, &QPushButton::clicked, this,
            &IntegrationViewController::downloadSafariExtension);
    addRow(QString(), m_downloadButton);
    if (!extensionPageUrl().isValid()) {
        m_downloadButton->setEnabled(false);
        addNote(Strings::localized("PreferencesExtensionUnavailable"));
    }
}

QUrl IntegrationViewController::extensionPageUrl()
{
    QUrl url = serviceBaseUrl();
    if (!isWebLink(url))
        return {};
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path + QStringLiteral("/extensions/safari/"));
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

void IntegrationViewController::downloadSafariExtension()
{
    const QUrl page = extensionPageUrl();
    if (page.isValid())
        m_workspace.openURL(page);
}

} // namespace tanvill
