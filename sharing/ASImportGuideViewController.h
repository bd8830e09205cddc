#pragma once

// Leads the wish-list import window through its steps: the user name, the download with its
// progress, and the choice of how to import what was found, which it then imports through the
// lists controller, leaving out every application already kept (archived ones too). It owns
// the importer of the last submitted name; closing the window stops it, and nothing the
// importer still had under way reaches the guide afterwards.

#include "sharing/ASImportViewController.h"
#include "sharing/ASUserViewController.h"
#include "sharing/AppShopperImporter.h"

#include <QPointer>
#include <QPropertyAnimation>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

namespace tanvill {

class ListsController;

class ASImportGuideViewController : public QWidget,
                                    public ASUserViewControllerDelegate,
                                    public ASImportViewControllerDelegate
{
    Q_OBJECT
public:
    explicit ASImportGuideViewController(ListsController &lists, QWidget *parent = nullptr);
    ~ASImportGuideViewController() override;

    // Called once, when the window is about to close (by the user or after an import).
    std::function<void()> completionHandler;

    // The step on show: an ASUserViewController, ASDownloadViewController or
    // ASImportViewController.
    QWidget *currentStep() const { return m_currentStep; }
    // The importer of the last submitted name, while the window is open.
    AppShopperImporter *importer() const { return m_importer.get(); }

    void userViewControllerDidSubmitUsername(ASUserViewController *step,
                                             const QString &username) override;
    void importViewControllerDidSelectList(List *list) override;
    void importViewControllerWantsNewList() override;
    void importViewControllerWantsSeparateLists() override;

    // The window's change of size between steps takes this long; 0 makes it instant (tests).
    static void setAnimationDuration(int milliseconds);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showStep(QWidget *step);
    // A fresh user-name step holding the name last submitted, so that the user may correct it
    // or submit it again.
    void showUserStep();
    void identifiersFound(qint64 count);
    void appsDownloaded(qint64 downloaded, qint64 overall);
    void downloadFinished(std::optional<AppShopperImporter::Result> result,
                          std::optional<Error> error);
    // Claims the single import this window makes; false when one was made already.
    bool beginImport();
    void windowWillClose();

    ListsController &m_lists;
    std::unique_ptr<AppShopperImporter> m_importer;
    // The applications that can be imported, by platform; set while the import step shows.
    std::optional<AppShopperImporter::Result> m_apps;
    // The name last submitted: a user-name step shown again after a failure starts with it.
    QString m_username;
    QPointer<QWidget> m_currentStep;
    QPointer<QPropertyAnimation> m_resizeAnimation;
    // A QObject pointer: the window is compared while it may be mid-destruction.
    QPointer<QObject> m_observedWindow;
    bool m_imported = false;
    bool m_closed = false;
};

} // namespace tanvill
