#pragma once

// The Integration preference pane: a button that opens the download page of the browser
// extension, which hands apps from the store's web pages to the application. Part of the
// preferences window.

#include "shell/PreferencesPane.h"

#include <QUrl>

class QPushButton;

namespace tanvill {

class Workspace;

class IntegrationViewController : public PreferencesPane
{
    Q_OBJECT
public:
    explicit IntegrationViewController(Workspace &workspace, QWidget *parent = nullptr);

    QPushButton *downloadButton() const { return m_downloadButton; }

    // The extension's page on the service's web site (TANVILL_SERVICE_URL); invalid when no
    // web site is configured.
    static QUrl extensionPageUrl();

    // The button's action: opens the extension's page in the browser.
    void downloadSafariExtension();

private:
    Workspace &m_workspace;
    QPushButton *m_downloadButton = nullptr;
};

} // namespace tanvill
